#pragma once

#include "ui/WizardPage.h"

class QCheckBox;
class QListWidget;
class QPushButton;

namespace lignado {
struct UploadOutcome;
struct UploadRequest;
}  // namespace lignado

namespace lignado::ui {

// ts8: the upload of the site, its log, and the button that starts or stops it.
class PageEnvoi : public WizardPage {
  Q_OBJECT

 public:
  explicit PageEnvoi(TfmWebAssistant& wizard);

  void initializePage() override;
  bool hasNext() const override { return false; }
  void load(const WizardSettings& settings) override;
  void save(WizardSettings& settings) const override;

 private:
  void bFtpClick();
  std::string UploadWithTrust(UploadRequest& request, UploadOutcome& outcome);
  void ConfirmHeldDeletions(UploadRequest& request, UploadOutcome& outcome);
  // One run of the upload off the window's thread; the log lines reach lbFtp as they come.
  void upload(const UploadRequest& request, UploadOutcome& outcome);

  QListWidget* lbFtp;
  QPushButton* bFtp;
  QCheckBox* cbFtpVerify;  // list the server and send again what it lacks
};

}  // namespace lignado::ui
