#include "ui/uWeb.h"

#include <QCheckBox>
#include <QDir>
#include <QEvent>
#include <QFrame>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QShortcut>
#include <QSplitter>
#include <QTemporaryDir>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTimer>
#include <QUrl>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <functional>
#include <set>

#include "pages/Medias.h"
#include "pages/TemplateAssets.h"
#include "pages/TemplateCode.h"
#include "pages/TemplateFiles.h"
#include "pages/uParser.h"
#include "ui/Dialogs.h"
#include "ui/QtText.h"
#include "util/IniFile.h"
#include "util/SettingsPlace.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado::ui {

namespace {

// A page that asks before every navigation.
class PreviewPage : public QWebEnginePage {
 public:
  using Ask = std::function<bool(const QUrl&, bool)>;
  PreviewPage(Ask ask, QObject* parent) : QWebEnginePage(parent), ask_(std::move(ask)) {}

 protected:
  bool acceptNavigationRequest(const QUrl& url, NavigationType, bool isMainFrame) override {
    return ask_(url, isMainFrame);
  }

 private:
  Ask ask_;
};

// The reference before the first "|", and the parameter text between it and a second one.
void SplitReference(const std::string& ref, std::string& page, std::string& parameters) {
  size_t bar = ref.find('|');
  page = ref.substr(0, bar);
  parameters.clear();
  if (bar != std::string::npos) {
    size_t second = ref.find('|', bar + 1);
    parameters = ref.substr(bar + 1, second == std::string::npos ? second : second - bar - 1);
  }
}

}  // namespace

std::optional<std::filesystem::path> UserCopyOfTemplate(const std::filesystem::path& templateDir,
                                                        std::string& reason) {
  namespace fs = std::filesystem;
  fs::path source = templateDir.has_filename() ? templateDir : templateDir.parent_path();
  fs::path copy = fs::path(UserDataFolder()) / "modele" / source.filename();
  std::error_code ec;
  if (fs::is_directory(copy, ec)) return copy;
  fs::create_directories(copy.parent_path(), ec);
  fs::path partial = copy.string() + ".partiel";
  fs::remove_all(partial, ec);
  ec.clear();
  fs::copy(source, partial, fs::copy_options::recursive, ec);
  // Shipped files may be read-only: the copy is there to be edited.
  if (!ec) fs::permissions(partial, fs::perms::owner_all, fs::perm_options::add, ec);
  for (fs::recursive_directory_iterator it(partial, ec), end; !ec && it != end; it.increment(ec))
    fs::permissions(it->path(), fs::perms::owner_read | fs::perms::owner_write,
                    fs::perm_options::add, ec);
  if (!ec) fs::rename(partial, copy, ec);
  if (ec) {
    fs::remove_all(partial, ec);
    reason =
        "Impossible de copier le mod\xE8le dans le dossier \"" + Utf8ToCp1252(copy.string()) + "\"";
    return std::nullopt;
  }
  return copy;
}

std::optional<std::filesystem::path> EditableTemplate(const std::filesystem::path& templateDir,
                                                      const std::string& exeDir, bool& copied,
                                                      std::string& reason) {
  namespace fs = std::filesystem;
  copied = false;
  const fs::path folder = templateDir.has_filename() ? templateDir : templateDir.parent_path();
  std::error_code ec;
  auto in = [&](const fs::path& root) {
    return !root.empty() && fs::equivalent(folder.parent_path(), root, ec);
  };
  const bool own = in(fs::path(UserDataFolder()) / "modele") ||
                   (KeepsFilesBeside(exeDir) && in(fs::path(exeDir) / "modele"));
  if (own && FolderWritable(folder.string())) return folder;
  std::optional<fs::path> copy = UserCopyOfTemplate(folder, reason);
  copied = copy.has_value();
  return copy;
}

std::string ReferenceOfTarget(const QUrl& target) {
  if (!target.isLocalFile()) return ToCp1252(QUrl::fromPercentEncoding(target.toEncoded()));
  QString name = target.fileName(QUrl::FullyDecoded);
  if (target.hasQuery()) name += "?" + target.query(QUrl::FullyDecoded);
  return ToCp1252(name);
}

std::string ReferenceOfPageFile(const std::string& fileName, const std::string& templateDir) {
  if (fileName.size() <= 5 || FoldCase(fileName.substr(fileName.size() - 5)) != ".html" ||
      fileName.find_first_of("|/\\") != std::string::npos)
    return {};
  const std::string name = fileName.substr(0, fileName.size() - 5);
  // The file name turned "=" and "|" into "_": the template's name is the longest that exists.
  for (size_t end = name.size(); end > 0 && end != std::string::npos;
       end = name.rfind('_', end - 1)) {
    const std::string page = name.substr(0, end);
    if (!FindNoCase(templateDir, page + ".kshtml")) continue;
    if (end == name.size()) return page;
    const std::string rest = name.substr(end + 1);
    std::string parameters;
    for (size_t start = 0; start <= rest.size();) {
      const size_t amp = std::min(rest.find('&', start), rest.size());
      std::string one = rest.substr(start, amp - start);
      if (size_t bar = one.find('_'); bar != std::string::npos) one[bar] = '=';
      parameters += (start ? "&" : "") + one;
      start = amp + 1;
    }
    return page + "|" + parameters;
  }
  return {};
}

TfmWeb::TfmWeb(QWidget* owner, const QString& caption, std::string templateDir, const TBD& db,
               Dialogs& dialogs, Host* host, LivingMode living, MediaRules media, int livingYears)
    : QDialog(owner),
      templateDir_(std::move(templateDir)),
      db_(db),
      dialogs_(dialogs),
      host_(host),
      vivants_(db, living, SystemClock(), livingYears),
      media_(std::move(media)),
      preview_(std::make_unique<QTemporaryDir>(QDir::tempPath() + "/lignado-apercu-XXXXXX")) {
  setObjectName("fmWeb");
  setWindowTitle(caption);
  resize(643, 480);

  auto* Panel4 = new QFrame(this);
  Panel4->setObjectName("Panel4");
  Panel4->setFixedHeight(65);
  Panel4->setAutoFillBackground(true);
  QPalette white = Panel4->palette();
  white.setColor(QPalette::Window, Qt::white);
  white.setColor(QPalette::WindowText, Qt::black);
  Panel4->setPalette(white);
  auto* Label11 = new QLabel(
      FromCp1252(
          "Voil\xE0 ce que vous obtiendrez avec ce mod\xE8le dans votre navigateur Internet"),
      Panel4);
  Label11->setObjectName("Label11");
  QFont bold = Label11->font();
  bold.setBold(true);
  Label11->setFont(bold);
  auto* Label12 = new QLabel(FromCp1252("Le r\xE9sultat vous convient ?"), Panel4);
  Label12->setObjectName("Label12");
  auto* heading = new QVBoxLayout(Panel4);
  heading->setContentsMargins(16, 8, 16, 8);
  heading->addWidget(Label11);
  heading->addWidget(Label12);

  auto* Bevel4 = new QFrame(this);
  Bevel4->setObjectName("Bevel4");
  Bevel4->setFrameShape(QFrame::HLine);
  Bevel4->setFrameShadow(QFrame::Sunken);

  Splitter1 = new QSplitter(Qt::Vertical, this);
  Splitter1->setObjectName("Splitter1");
  Splitter1->setChildrenCollapsible(false);
  wb = new QWebEngineView(Splitter1);
  wb->setObjectName("wb");
  wb->setPage(new PreviewPage(
      [this](const QUrl& url, bool mainFrame) { return wbBeforeNavigate2(url, mainFrame); }, wb));
  // Under the page, shown when the page met problems.
  lbProblemes = new QListWidget(Splitter1);
  lbProblemes->setObjectName("lbProblemes");
  lbProblemes->setVisible(false);
  mCode = new QPlainTextEdit(Splitter1);
  mCode->setObjectName("mCode");
  QFont courier("Courier");
  courier.setStyleHint(QFont::TypeWriter);
  courier.setFixedPitch(true);
  mCode->setFont(courier);
  mCode->setLineWrapMode(QPlainTextEdit::NoWrap);
  mCode->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mCode->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
  mCode->installEventFilter(this);
  Splitter1->addWidget(wb);
  Splitter1->addWidget(lbProblemes);
  Splitter1->addWidget(mCode);
  Splitter1->setStretchFactor(0, 1);
  Splitter1->setSizes({480 - 65 - 41 - 158 - 70, 70, 158});

  Panel1 = new QWidget(this);
  Panel1->setObjectName("Panel1");
  Panel1->setFixedHeight(41);
  Panel1->installEventFilter(this);
  cbCode = new QCheckBox(QString::fromUtf8("Voir le code source"), Panel1);
  cbCode->setObjectName("cbCode");
  cbCode->move(8, 12);
  cbCode->adjustSize();
  Label1 = new QLabel(Panel1);
  Label1->setObjectName("Label1");
  Label1->setGeometry(cbCode->x() + cbCode->width() + 16, 12, 200, 17);
  bSauve = new QPushButton(QString::fromUtf8("Sauver && rafraichir (F9)"), Panel1);
  bSauve->setObjectName("bSauve");
  bSauve->resize(150, 25);
  bFermer = new QPushButton(QString::fromUtf8("&Fermer"), Panel1);
  bFermer->setObjectName("bFermer");
  bFermer->resize(75, 25);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(0, 0, 0, 0);
  layout->setSpacing(0);
  layout->addWidget(Panel4);
  layout->addWidget(Bevel4);
  layout->addWidget(Splitter1, 1);
  layout->addWidget(Panel1);

  connect(cbCode, &QCheckBox::clicked, this, &TfmWeb::cbCodeClick);
  connect(bSauve, &QPushButton::clicked, this, &TfmWeb::bSauveClick);
  connect(bFermer, &QPushButton::clicked, this, &TfmWeb::bFermerClick);
  connect(lbProblemes, &QListWidget::itemClicked, this, &TfmWeb::lbProblemesClick);
  connect(lbProblemes, &QListWidget::itemActivated, this, &TfmWeb::lbProblemesClick);
  // The web page keeps the keys it is given: Escape must reach the window before it.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &TfmWeb::bFermerClick);
}

std::string TfmWeb::PreviewDir() const {
  return preview_->path().toStdString() + "/";
}

void TfmWeb::linkTemplateFiles() {
  namespace fs = std::filesystem;
  if (templateLinked_) return;
  templateLinked_ = true;
  std::error_code ec;
  const fs::path to = PreviewDir();
  for (fs::directory_iterator it(templateDir_, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    // The pages are run, not shown; the site's media come from the GEDCOM file's folder.
    if (FoldCase(it->path().extension().string()) == ".kshtml" || name == "temp.html" ||
        name + "/" == kMediaFolder)
      continue;
    std::error_code made;
    const fs::path absolute = fs::absolute(it->path(), made);
    if (it->is_directory(made))
      fs::create_directory_symlink(absolute, to / name, made);
    else
      fs::create_symlink(absolute, to / name, made);
    if (made) fs::copy(it->path(), to / name, fs::copy_options::recursive, made);
  }
}

std::string TfmWeb::writeScripts(const std::string& page, std::vector<TemplateProblem>& problems) {
  TTemplateAssets assets(templateDir_, PreviewDir());
  std::unique_ptr<TKSParse> parser;
  std::string out;
  size_t pos = 0;
  for (size_t src; (src = page.find("src=\"", pos)) != std::string::npos;) {
    const size_t start = src + 5, close = page.find('"', start);
    if (close == std::string::npos) break;
    const std::string target = page.substr(start, close - start);
    out.append(page, pos, start - pos);
    pos = close;
    if (!assets.TakeScript(target)) {
      out += target;
      continue;
    }
    const std::string file = ScriptFileName(target);
    out += file;
    const std::string key = FoldCase(target);
    if (auto known = scriptsWritten_.find(key); known != scriptsWritten_.end()) {
      problems.insert(problems.end(), known->second.begin(), known->second.end());
      continue;
    }
    if (!parser) {
      parser = std::make_unique<TKSParse>(db_, host_);
      parser->Vivants = &vivants_;
    }
    TemplateProblems met;
    parser->Problems = &met;
    std::optional<std::string> text = parser->RunPage(target, templateDir_);
    std::vector<TemplateProblem>& kept = scriptsWritten_[key];
    for (const TemplateProblems::Entry& e : met.Entries()) kept.push_back(e.problem);
    problems.insert(problems.end(), kept.begin(), kept.end());
    // A script is written in the charset of the page that names it, as the site does.
    PageCharset charset = DeclaredCharset(page);
    if (!text || !WriteWholeFile(PreviewDir() + file, PageBytes(*text, charset)))
      scriptsWritten_.erase(key);
  }
  out.append(page, pos, std::string::npos);
  return out;
}

TfmWeb::~TfmWeb() = default;

void TfmWeb::showEvent(QShowEvent* event) {
  QDialog::showEvent(event);
  if (!shown_) {
    shown_ = true;
    FormShow();
  }
}

void TfmWeb::FormShow() {
  if (parentWidget()) {
    setWindowTitle(parentWidget()->window()->windowTitle());
    if (QScreen* screen = parentWidget()->screen())
      move(screen->availableGeometry().center() - rect().center());
  }
  cbCodeClick();
  Label1->setText("index");
  ShowPage("index", "");
}

void TfmWeb::ShowPage(const std::string& pageName, const std::string& parameterText) {
  const size_t hash = pageName.find('#');
  std::string name = pageName.substr(0, hash);
  std::string anchor = hash == std::string::npos ? std::string() : pageName.substr(hash + 1);
  CurrentTemplateFile.clear();
  auto file = FindInFolder(templateDir_, name + ".kshtml");
  if (!file || !loadCode(file->string())) {
    dialogs_.message(
        this, FromCp1252("Fichier \"" + Utf8ToCp1252(templateDir_) + name + ".kshtml\"introuvable",
                         true));
    return;
  }
  shownReference_ = parameterText.empty() ? name : name + "|" + parameterText;

  // Run as the site runs it, so that problems name the file as the site's build does.
  TemplateProblems met;
  TKSParse parser(db_, host_);
  parser.Vivants = &vivants_;
  parser.Problems = &met;
  std::string page = parser.RunPage(name + "|" + parameterText, templateDir_).value_or("");
  std::vector<TemplateProblem> problems;
  for (const TemplateProblems::Entry& e : met.Entries()) problems.push_back(e.problem);
  linkTemplateFiles();
  // The persons' pictures, copied once from where the site takes them.
  if (!mediaCopied_ && !media_.folders.empty() && page.find(kMediaFolder) != std::string::npos) {
    mediaCopied_ = true;
    CopyMedia(db_, media_, PreviewDir(), &vivants_);
  }
  page = writeScripts(page, problems);
  showProblems(std::move(problems));
  std::string scratch = PreviewDir() + "temp.html";
  PageCharset charset = PageCharset::None;
  if (!preview_->isValid() || !WriteWholeFile(scratch, PageBytes(page, charset))) {
    dialogs_.message(
        this, FromCp1252("Impossible d'enregistrer le fichier \"" + Utf8ToCp1252(scratch) + "\""));
    return;
  }
  // A new address each time: the browser would keep the scroll position of the same one.
  QUrl url = QUrl::fromLocalFile(QString::fromStdString(scratch));
  url.setQuery("v=" + QString::number(++loads_));
  if (!anchor.empty()) url.setFragment(FromCp1252(anchor));
  wb->setUrl(url);
}

bool TfmWeb::loadCode(const std::string& path) {
  std::optional<std::string> source = ReadWholeFile(path);
  if (!source) return false;
  CurrentTemplateFile = path;
  std::vector<std::string> lines = SplitLines(*source);
  std::string shown;
  for (size_t i = 0; i < lines.size(); ++i) shown += (i ? "\n" : "") + lines[i];
  // The same text stays as it is: the editor keeps its place after a save.
  QString code = FromCp1252(shown), current = mCode->document()->toRawText();
  current.replace(QChar::ParagraphSeparator, '\n').replace(QChar::LineSeparator, '\n');
  if (code != current) mCode->setPlainText(code);
  return true;
}

void TfmWeb::showProblems(std::vector<TemplateProblem> problems) {
  shownProblems_.clear();
  lbProblemes->clear();
  std::set<std::string> seen;  // a script's include may also be the page's
  for (TemplateProblem& p : problems) {
    if (!seen.insert(p.Text()).second) continue;
    lbProblemes->addItem(FromCp1252(p.Text()));
    shownProblems_.push_back(std::move(p));
  }
  lbProblemes->setVisible(!shownProblems_.empty());
}

void TfmWeb::lbProblemesClick(QListWidgetItem* item) {
  const int row = lbProblemes->row(item);
  if (row < 0 || static_cast<size_t>(row) >= shownProblems_.size()) return;
  const TemplateProblem p = shownProblems_[static_cast<size_t>(row)];
  OpenCode(p.file, p.line, p.column);
}

bool TfmWeb::OpenCode(const std::string& file, int line, int column) {
  std::optional<std::filesystem::path> path = FindInFolder(templateDir_, file);
  if (!path || !loadCode(path->string())) {
    dialogs_.message(
        this, FromCp1252("Fichier \"" + Utf8ToCp1252(templateDir_) + file + "\"introuvable"));
    return false;
  }
  if (!cbCode->isChecked()) {
    cbCode->setChecked(true);
    cbCodeClick();
  }
  // Opened to be mended: F9 saves it and runs again the page on display, whose problem it is.
  Label1->setText(FromCp1252(shownReference_));
  // A Windows-1252 byte is one character of the editor: the column counts both alike.
  QTextBlock block = mCode->document()->findBlockByNumber(std::max(line, 1) - 1);
  QTextCursor cursor(mCode->document());
  if (block.isValid())
    cursor.setPosition(block.position() + std::clamp(column - 1, 0, block.length() - 1));
  else
    cursor.movePosition(QTextCursor::End);
  mCode->setTextCursor(cursor);
  mCode->centerCursor();
  mCode->setFocus();
  return true;
}

bool TfmWeb::wbBeforeNavigate2(const QUrl& target, bool mainFrame) {
  // The scratch page itself, or an anchor in it.
  if (target.isLocalFile() &&
      target.toLocalFile() == QString::fromStdString(PreviewDir() + "temp.html"))
    return true;
  // A frame of the page loads on its own; only the page itself turns into a page run.
  if (!mainFrame) return true;
  // The page runs after the browser has been told no, never inside its own call.
  QString shown = FromCp1252(ReferenceOfTarget(target));
  QString anchor = target.fragment(QUrl::FullyDecoded);
  QTimer::singleShot(0, this, [this, shown, anchor] { followReference(shown, anchor); });
  return false;
}

void TfmWeb::followReference(const QString& reference, const QString& anchor) {
  std::string page, parameters;
  std::string ref = ToCp1252(reference);
  SplitReference(ref, page, parameters);
  // A script's link names the page file ("personne_n_3.html"): back to its reference.
  if (!FindNoCase(templateDir_, page + ".kshtml"))
    if (std::string mapped = ReferenceOfPageFile(ref, templateDir_); !mapped.empty()) {
      ref = mapped;
      SplitReference(ref, page, parameters);
    }
  Label1->setText(FromCp1252(ref));
  ShowPage(anchor.isEmpty() ? page : page + "#" + ToCp1252(anchor), parameters);
}

void TfmWeb::cbCodeClick() {
  bool on = cbCode->isChecked();
  mCode->setVisible(on);
  Label1->setVisible(on);
  bSauve->setVisible(on);
  if (!on) Label1->clear();
}

void TfmWeb::bSauveClick() {
  if (CurrentTemplateFile.empty() || Label1->text().isEmpty()) return;
  // The document's raw text keeps non-breaking spaces that the plain text would turn into blanks.
  QString text = mCode->document()->toRawText();
  text.replace(QChar::LineSeparator, QChar::ParagraphSeparator);
  std::string bytes;
  for (const QString& line : text.split(QChar::ParagraphSeparator))
    bytes += ToCp1252(line) + "\r\n";
  if (!WriteWholeFile(CurrentTemplateFile, bytes)) {
    dialogs_.message(this, FromCp1252("Impossible d'enregistrer le fichier \"" +
                                      Utf8ToCp1252(CurrentTemplateFile) + "\""));
    return;
  }
  // The scripts may come from the template just saved.
  scriptsWritten_.clear();
  // Positions, not a cursor: a cursor follows the text that the page run replaces.
  const int anchor = mCode->textCursor().anchor(), position = mCode->textCursor().position();
  const int vertical = mCode->verticalScrollBar()->value();
  const int horizontal = mCode->horizontalScrollBar()->value();
  const std::string saved = CurrentTemplateFile;
  std::string page, parameters;
  SplitReference(ToCp1252(Label1->text()), page, parameters);
  ShowPage(page, parameters);
  // An include opened from a problem stays in the code area.
  if (CurrentTemplateFile.empty() || (CurrentTemplateFile != saved && !loadCode(saved))) return;
  // The editor stays where the user was.
  const int last = mCode->document()->characterCount() - 1;
  QTextCursor kept(mCode->document());
  kept.setPosition(std::min(anchor, last));
  kept.setPosition(std::min(position, last), QTextCursor::KeepAnchor);
  mCode->setTextCursor(kept);
  mCode->verticalScrollBar()->setValue(vertical);
  mCode->horizontalScrollBar()->setValue(horizontal);
}

void TfmWeb::Panel1Resize() {
  int m = cbCode->x();
  int y = (Panel1->height() - bFermer->height()) / 2;
  bFermer->move(Panel1->width() - m - bFermer->width(), y);
  bSauve->move(bFermer->x() - m - bSauve->width(), y);
}

void TfmWeb::bFermerClick() {
  close();
}

bool TfmWeb::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Panel1 && event->type() == QEvent::Resize) Panel1Resize();
  if (watched == mCode && event->type() == QEvent::KeyPress &&
      static_cast<QKeyEvent*>(event)->key() == Qt::Key_F9) {
    bSauveClick();
    return true;
  }
  return QDialog::eventFilter(watched, event);
}

}  // namespace lignado::ui
