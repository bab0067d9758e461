#pragma once

#include <QDialog>
#include <filesystem>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "genealogy/Vivants.h"
#include "pages/Medias.h"

class QCheckBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QSplitter;
class QTemporaryDir;
class QUrl;
class QWebEngineView;
class QWidget;

namespace lignado {
class Host;
class TBD;
class TKSParse;
}  // namespace lignado

namespace lignado::ui {

class Dialogs;

// The template preview: runs a template page on the imported data as the site would show it
// (living persons as the mode says, their pictures, the template's script pages), shows it
// from the scratch page "temp.html" of a preview folder of its own, and runs the page each
// clicked link names instead of following it. The code area edits the page's template; F9
// saves it and runs it again.
class TfmWeb : public QDialog {
  Q_OBJECT

 public:
  // templateDir: the template folder (file-system path ending with "/"), which must be
  // writable; caption: the wizard's; media: where the persons' pictures may be read from.
  TfmWeb(QWidget* owner, const QString& caption, std::string templateDir, const TBD& db,
         Dialogs& dialogs, Host* host, LivingMode living = LivingMode::Hide, MediaRules media = {},
         int livingYears = kLivingYears);
  ~TfmWeb() override;

  // Windows-1252 page name (an anchor after "#" is dropped) and parameter text.
  void ShowPage(const std::string& pageName, const std::string& parameterText);

  std::string CurrentTemplateFile;  // empty when the last page asked for did not exist
  // The folder of the scratch page (file-system path ending with "/").
  std::string PreviewDir() const;

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
  void followReference(const QString& reference, const QString& anchor);
  // The folder's links to the template's own files, made once.
  void linkTemplateFiles();
  // Writes the script pages the page's sources name and points the sources at them.
  std::string writeScripts(const std::string& page);

  std::string templateDir_;
  const TBD& db_;
  Dialogs& dialogs_;
  Host* host_;
  bool shown_ = false;
  TVivants vivants_;
  MediaRules media_;
  std::unique_ptr<QTemporaryDir> preview_;
  bool templateLinked_ = false, mediaCopied_ = false;
  std::set<std::string> scriptsWritten_;  // references, until a save changes the template
  int loads_ = 0;                         // makes every page's address new: it opens at its top

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

// The page reference a site page file name stands for ("personne_n_3.html" ->
// "personne|n=3"), the longest template name of templateDir first; empty when none fits.
std::string ReferenceOfPageFile(const std::string& fileName, const std::string& templateDir);

}  // namespace lignado::ui
