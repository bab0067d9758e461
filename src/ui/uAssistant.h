#pragma once

#include <QWidget>
#include <functional>
#include <memory>
#include <string>
#include <vector>

class QLabel;
class QProgressBar;
class QPushButton;
class QStackedWidget;

namespace lignado {
class Host;
class TBD;
}  // namespace lignado

namespace lignado::ui {

class Dialogs;
class PageCompte;
class PageDestination;
class PageFichier;
class QtHost;
class TBrowseFolder;
class WizardPage;

struct WizardOptions {
  std::string exeDir;        // the program's folder with "/"; empty: where the program lies
  std::string settingsFile;  // empty: SettingsFilePath(exeDir)
  std::string openFile{};    // a GEDCOM file to start with, on the file page, chosen
};

// The publishing wizard: eight pages from a GEDCOM file to a generated site and its upload.
// The window holds what the pages share (the database, the chosen template and destination)
// and moves between them; each page is a WizardPage of its own.
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
  std::string GedcomFolder;     // of the file imported: its media are looked for there
  bool UploadFinished = true;   // saved as "Fini"

  const TBD& Database() const { return *db_; }
  const std::string& SettingsFile() const { return settingsFile_; }
  // True while an import, a generation or an upload runs.
  bool Busy() const;

  // What the pages share.
  Dialogs& dialogs() const { return dialogs_; }
  QtHost* host() const { return host_; }
  TBrowseFolder& browseFolder() const { return *BrowseFolder1; }
  const PageFichier& fichier() const { return *fichier_; }
  const PageDestination& destination() const { return *destination_; }
  const PageCompte& compte() const { return *compte_; }
  std::unique_ptr<TBD> takeDatabase();
  void setDatabase(std::unique_ptr<TBD> db);

  // Runs long work (import, generation, upload) with the buttons held, its status and
  // progress on the label and bar given (either may be null), Escape and the close box asking
  // it to stop. False when the work threw.
  bool runWork(QLabel* status, QProgressBar* progress, const std::function<void(Host*)>& work);
  // The window was asked to close during the work: it closes once the work has returned.
  bool closeRequested() const { return closeWhenDone_; }
  void workEnded();
  // "Précédent", as the button does it.
  void back();
  // A new publication gives up the offer to resume the last upload.
  void giveUpResume();

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  template <typename Page>
  Page* addPage();
  WizardPage* currentPage() const;
  void updateButtons();
  void FormShow();
  void FormClose();
  void bSuivantClick();
  void bQuitterClick();
  void bFtpResumeClick();

  Dialogs& dialogs_;
  std::string settingsFile_;
  std::string openFile_;
  std::unique_ptr<TBD> db_;
  QtHost* host_;
  TBrowseFolder* BrowseFolder1;
  bool shown_ = false;
  bool closeWhenDone_ = false;
  bool resumeOnly_ = false;  // straight to the upload: no way back or forward

  QStackedWidget* PageControl1;
  std::vector<WizardPage*> pages_;
  PageFichier* fichier_;
  PageDestination* destination_;
  PageCompte* compte_;
  QPushButton *bPrecedent = nullptr, *bSuivant = nullptr, *bQuitter = nullptr,
              *bFtpResume = nullptr;
};

// The FTP server field: "host", "host:port" or "[IPv6]:port"; port 21 when none is given.
// False when a port is written but is not a number from 1 to 65535.
bool SplitHostPort(const std::string& field, std::string& host, int& port, int defaultPort = 21);

}  // namespace lignado::ui
