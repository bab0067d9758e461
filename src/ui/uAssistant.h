#pragma once

#include <QWidget>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QListWidget;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QStackedWidget;

namespace lignado {
class TBD;
class TFtpObserver;
struct TemplateChoice;
struct UploadOutcome;
struct UploadRequest;
}  // namespace lignado

namespace lignado::ui {

class Dialogs;
class QtHost;
class TBrowseFolder;

struct WizardOptions {
  std::string exeDir;        // the program's folder with "/"; empty: where the program lies
  std::string settingsFile;  // empty: SettingsFilePath(exeDir)
};

// The publishing wizard: eight pages from a GEDCOM file to a generated site and its upload.
// Paths are file-system bytes (UTF-8) with "/" between folders; folders end with "/".
class TfmWebAssistant : public QWidget {
  Q_OBJECT

 public:
  explicit TfmWebAssistant(Dialogs& dialogs, WizardOptions options = {});
  ~TfmWebAssistant() override;

  std::string ExeDir;
  std::string TemplateDir;      // the chosen template's folder; read by the preview
  std::string ExportBase;       // the destination chosen by the user
  std::string ExportSubFolder;  // "Internet/" or "A graver/" once a kind is chosen
  bool UploadFinished = true;   // saved as "Fini"

  const TBD& Database() const { return *db_; }
  const std::string& SettingsFile() const { return settingsFile_; }
  // True while an import, a generation or an upload runs.
  bool Busy() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void buildPages();
  void FormShow();
  void FormClose();
  void readSettings();
  void bSuivantClick();
  void bPrecedentClick();
  void bQuitterClick();
  void Button1Click();
  void lbFichierClick();
  void lbModeleClick();
  void bTestClick();
  void Button3Click();
  void bPhotosClick();
  void cbInternetClick();
  void Button4Click();
  void Button5Click();
  void cbFtpClick();
  void Button6Click();
  void cbFtpFolderClick();
  void eFtpChange();
  void bFtpClick();
  void bFtpResumeClick();
  std::string UploadWithTrust(UploadRequest& request, UploadOutcome& outcome, TFtpObserver& owner);
  void ConfirmHeldDeletions(UploadRequest& request, UploadOutcome& outcome, TFtpObserver& owner);
  bool DestinationConfirmed(const std::string& folder);
  void ImportSelectedFile();
  void FillTemplateList();
  void EnterDestinationPage();
  void GeneratePages();
  void enterPage(int index);
  bool fileSelected() const;
  void workEnded();

  Dialogs& dialogs_;
  std::string settingsFile_;
  std::unique_ptr<TBD> db_;
  std::string gedcomFolder_;  // of the file imported: its media are looked for there
  QtHost* host_;
  TBrowseFolder* BrowseFolder1;
  std::vector<TemplateChoice> templates_;  // the entries of lbModele
  bool shown_ = false;
  bool closeWhenDone_ = false;

  QStackedWidget* PageControl1;
  QWidget *ts1, *ts2, *ts3, *ts4, *ts5, *ts6, *ts7, *ts8;
  QListWidget* lbFichier;
  QLabel* Label7;
  QProgressBar* ProgressBar1;
  QListWidget* lbPers;
  QListWidget* lbModele;
  QPushButton* bTest;
  QLineEdit* ePathExport;
  QRadioButton* rbDestineWeb;
  QRadioButton* rbDestineCD;
  QComboBox* cbVivants;  // what the site shows of living persons
  QLineEdit* ePhotos;    // a media folder added to the GEDCOM file's ("Dossier des photos")
  QCheckBox* cbInternet;
  QProgressBar* ProgressBar2;
  QWidget* Panel7;
  QLabel* Label21;
  QCheckBox* cbFtp;
  QLabel* Label35;
  QLabel* Label36;
  QLineEdit *eFtpHost, *eFtpPath, *eFtpFolder, *eFtpUser, *eFtpPass;
  QLabel* Label47;
  QCheckBox* cbFtpFolder;
  QCheckBox* cbFtpTls;
  QCheckBox* cbFtpPlain;   // plain FTP allowed even towards a server once reached over TLS
  QCheckBox* cbFtpVerify;  // list the server and send again what it lacks
  QListWidget* lbFtp;
  QPushButton* bFtp;
  QPushButton *bPrecedent, *bSuivant, *bQuitter, *bFtpResume;
};

// The FTP server field: "host", "host:port" or "[IPv6]:port"; port 21 when none is given.
// False when a port is written but is not a number from 1 to 65535.
bool SplitHostPort(const std::string& field, std::string& host, int& port);

}  // namespace lignado::ui
