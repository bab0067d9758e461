#pragma once

#include "ui/WizardPage.h"

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

namespace lignado {
struct UploadRequest;
}

namespace lignado::ui {

// ts7: the FTP account the site is sent to.
class PageCompte : public WizardPage {
  Q_OBJECT

 public:
  explicit PageCompte(TfmWebAssistant& wizard);

  // The account, remote root and encryption of an upload; false when the server field names a
  // port that is not one.
  bool fillRequest(UploadRequest& request) const;
  QString serverField() const;
  bool sftp() const;

  bool isComplete() const override;
  void load(const WizardSettings& settings) override;
  void save(WizardSettings& settings) const override;

 private:
  void cbFtpFolderClick();
  void Button6Click();
  void protocolChanged();
  void browseKey();

  QLineEdit *eFtpHost, *eFtpPath, *eFtpFolder, *eFtpUser, *eFtpPass;
  QLabel* Label47;
  QCheckBox* cbFtpFolder;
  QCheckBox* cbFtpTls;
  QCheckBox* cbFtpPlain;     // plain FTP allowed even towards a server once reached over TLS
  QComboBox* cbFtpProtocol;  // FTP (FTPS included) or SFTP
  QLineEdit* eFtpKey;        // SFTP: a private key file
  QLabel* lFtpKey;
  QPushButton* bFtpKey;
};

}  // namespace lignado::ui
