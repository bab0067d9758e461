#pragma once

#include <QDialog>
#include <filesystem>
#include <optional>
#include <string>

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QUrl;
class QWebEngineView;
class QWidget;

namespace lignado {
class Host;
class TBD;
}  // namespace lignado

namespace lignado::ui {

class Dialogs;

// The template preview: runs a template page on the imported data, shows it from the scratch
// page "temp.html" of the template folder, and runs the page each clicked link names instead
// of following it. The code area edits the page's template; F9 saves it and runs it again.
class TfmWeb : public QDialog {
  Q_OBJECT

 public:
  // templateDir: the template folder (file-system path ending with "/"), which must be
  // writable; caption: the wizard's.
  TfmWeb(QWidget* owner, const QString& caption, std::string templateDir, const TBD& db,
         Dialogs& dialogs, Host* host);
  ~TfmWeb() override;

  // Windows-1252 page name (an anchor after "#" is dropped) and parameter text.
  void ShowPage(const std::string& pageName, const std::string& parameterText);

  std::string CurrentTemplateFile;  // empty when the last page asked for did not exist

 protected:
  void showEvent(QShowEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void FormShow();
  // False cancels the navigation.
  bool wbBeforeNavigate2(const QUrl& target, bool mainFrame);
  void cbCodeClick();
  void bSauveClick();
  void Panel1Resize();
  void bFermerClick();
  void followReference(const QString& reference);

  std::string templateDir_;
  const TBD& db_;
  Dialogs& dialogs_;
  Host* host_;
  bool shown_ = false;

  QWebEngineView* wb;
  QSplitter* Splitter1;
  QPlainTextEdit* mCode;
  QWidget* Panel1;
  QCheckBox* cbCode;
  QLabel* Label1;
  QPushButton* bSauve;
  QPushButton* bFermer;
};

// A per-user copy of a template whose folder cannot be written (an installed one), in
// UserDataFolder() + "modele/" under the same name; an existing copy is used as it is. None, with
// the French reason, when it cannot be made.
std::optional<std::filesystem::path> UserCopyOfTemplate(const std::filesystem::path& templateDir,
                                                        std::string& reason);

// The page reference a browser target stands for: the file name of a local file, percent
// decoded (query included), in Windows-1252; any other address whole.
std::string ReferenceOfTarget(const QUrl& target);

}  // namespace lignado::ui
