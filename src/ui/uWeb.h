#pragma once

#include <QDialog>
#include <filesystem>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "genealogy/Vivants.h"
#include "pages/Medias.h"
#include "pages/TemplateProblems.h"

class QCheckBox;
class QLabel;
class QListWidget;
class QListWidgetItem;
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
// clicked link names instead of following it. The problems met in the template's files are listed
// under the page; a click on one opens its file in the code area at its place. The code area
// edits the page's template (or the file of the problem clicked); F9 saves it and runs the page
// again.
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

  // Opens a template file (named as a problem names it) in the code area, the cursor at line and
  // column (from 1); false, with the message, when it is not in the template folder.
  bool OpenCode(const std::string& file, int line, int column);

  // The file of the code area, which F9 saves; empty when the last page asked for did not exist.
  std::string CurrentTemplateFile;
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
  void lbProblemesClick(QListWidgetItem* item);
  // Loads a file into the code area, unless it holds that text already.
  bool loadCode(const std::string& path);
  void showProblems(std::vector<TemplateProblem> problems);
  void followReference(const QString& reference, const QString& anchor);
  // The folder's links to the template's own files, made once.
  void linkTemplateFiles();
  // Writes the script pages the page's sources name and points the sources at them; adds the
  // problems of those scripts to `problems`.
  std::string writeScripts(const std::string& page, std::vector<TemplateProblem>& problems);

  std::string templateDir_;
  const TBD& db_;
  Dialogs& dialogs_;
  Host* host_;
  bool shown_ = false;
  TVivants vivants_;
  MediaRules media_;
  std::unique_ptr<QTemporaryDir> preview_;
  bool templateLinked_ = false, mediaCopied_ = false;
  // References -> the problems met when they ran, until a save changes the template.
  std::map<std::string, std::vector<TemplateProblem>> scriptsWritten_;
  std::string shownReference_;                  // the page on display: name "|" parameters
  std::vector<TemplateProblem> shownProblems_;  // the rows of lbProblemes
  int loads_ = 0;  // makes every page's address new: it opens at its top

  QWebEngineView* wb;
  QSplitter* Splitter1;
  QListWidget* lbProblemes;
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

// The folder where the preview of a template runs and saves edits: the template's own folder when
// it is one of the user's (under UserDataFolder() + "modele/", or "modele" beside a program that
// keeps its files beside itself, exeDir) and writable; otherwise the user's copy, copied = true.
// A shipped template is never edited in place, even by a user who may write there (root).
std::optional<std::filesystem::path> EditableTemplate(const std::filesystem::path& templateDir,
                                                      const std::string& exeDir, bool& copied,
                                                      std::string& reason);

// The page reference a browser target stands for: the file name of a local file, percent
// decoded (query included), in Windows-1252; any other address whole.
std::string ReferenceOfTarget(const QUrl& target);

// The page reference a site page file name stands for ("personne_n_3.html" ->
// "personne|n=3"), the longest template name of templateDir first; empty when none fits.
std::string ReferenceOfPageFile(const std::string& fileName, const std::string& templateDir);

}  // namespace lignado::ui
