#include "ui/PageModele.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <algorithm>
#include <filesystem>

#include "genealogy/Sosa.h"
#include "ui/Dialogs.h"
#include "ui/PageDestination.h"
#include "ui/PageFichier.h"
#include "ui/QtHost.h"
#include "ui/QtText.h"
#include "ui/Settings.h"
#include "ui/uAssistant.h"
#include "ui/uWeb.h"
#include "util/IniFile.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::ui {

namespace fs = std::filesystem;

namespace {

constexpr int kFoundMax = 100;

// A name as the search compares it: letters without accents, in lower case.
QString folded(const QString& text) {
  QString out;
  for (QChar c : text.normalized(QString::NormalizationForm_D))
    if (c.category() != QChar::Mark_NonSpacing) out += c.toLower();
  return out;
}

QString shownName(const TBD& db, int32_t p) {
  QString name = FromCp1252(db.GetSurname(p) + " " + db.GetGivenNames(p), true).trimmed();
  const TFiche* f = db.Person(p);
  if (f && !f->Pointer.empty()) name += " (" + FromCp1252(f->Pointer) + ")";
  return name;
}

}  // namespace

PageModele::PageModele(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts4", "S\xE9lection du mod\xE8le",
                 "Quel mod\xE8le voulez-vous utiliser ?",
                 "Cliquez sur \"Suivant\" pour choisir le dossier de destination") {
  body()->addWidget(NewLabel("Choisissez le mod\xE8le de mise en page dans la liste :", this));
  auto* row = new QHBoxLayout;
  lbModele = new QListWidget(this);
  lbModele->setObjectName("lbModele");
  row->addWidget(lbModele, 1);
  bTest = new QPushButton(T("Tester ce mod\xE8le"), this);
  bTest->setObjectName("bTest");
  row->addWidget(bTest, 0, Qt::AlignTop);
  body()->addLayout(row, 1);
  body()->addWidget(
      NewLabel("Personne de r\xE9"
               "f\xE9rence des num\xE9ros Sosa (le num\xE9ro 1) : cherchez-la par son nom",
               this));
  eRacine = new QLineEdit(this);
  eRacine->setObjectName("eRacine");
  eRacine->setPlaceholderText(T("Nom ou pr\xE9nom"));
  body()->addWidget(eRacine);
  lbRacine = new QListWidget(this);
  lbRacine->setObjectName("lbRacine");
  body()->addWidget(lbRacine, 1);
  lRacine = NewLabel("", this, "lRacine");
  lRacine->setWordWrap(true);
  body()->addWidget(lRacine);
  connect(lbModele, &QListWidget::itemSelectionChanged, this, &PageModele::lbModeleClick);
  connect(bTest, &QPushButton::clicked, this, &PageModele::bTestClick);
  connect(eRacine, &QLineEdit::textChanged, this, &PageModele::eRacineChanged);
  connect(lbRacine, &QListWidget::itemClicked, this, &PageModele::lbRacineClick);
  connect(lbRacine, &QListWidget::itemActivated, this, &PageModele::lbRacineClick);
}

PageModele::~PageModele() = default;

void PageModele::initializePage() {
  lbModele->clear();
  templates_ = ListTemplates(TemplateRoots());
  for (const TemplateChoice& t : templates_) lbModele->addItem(FromCp1252(t.name));
  // The template saved at the last close, read now: a choice made earlier in this run is not it.
  QString last = P(ReadSettings(IniFile(wizard().SettingsFile())).lastTemplate);
  int at = RowNoCase(lbModele, last);
  if (at >= 0) lbModele->setCurrentRow(at);
  lbModeleClick();

  // The reference person: the one chosen in this run for this file, else the one saved with
  // this file, else the file's own.
  const TBD& db = wizard().Database();
  keys_.assign(static_cast<size_t>(std::max(db.PersonCount, 0)) + 1, QString());
  for (int32_t p = 1; p <= db.PersonCount; ++p)
    if (db.IsPersonUsed(p))
      keys_[static_cast<size_t>(p)] =
          folded(FromCp1252(db.GetSurname(p) + " " + db.GetGivenNames(p), true));
  const std::string file = wizard().fichier().selectedFile();
  if (file != rootFile_) {
    const WizardSettings saved = ReadSettings(IniFile(wizard().SettingsFile()));
    root_ = saved.lastFile == file ? saved.root : std::string();
    rootFile_ = file;
  }
  const int32_t chosen = root_.empty() ? 0 : FindRoot(db, root_);
  setRoot(chosen ? chosen : DefaultRoot(db));
  if (!root_.empty() && chosen == 0) {
    lRacine->setText(T(UnknownRootText(root_) + " ; celle du fichier est prise.\n") +
                     lRacine->text());
    root_.clear();
  }
  eRacineChanged();
}

void PageModele::eRacineChanged() {
  lbRacine->clear();
  found_.clear();
  const QStringList words = folded(eRacine->text()).split(' ', Qt::SkipEmptyParts);
  if (words.isEmpty()) return;
  const TBD& db = wizard().Database();
  for (size_t p = 1; p < keys_.size() && found_.size() < kFoundMax; ++p) {
    bool all = !keys_[p].isEmpty();
    for (const QString& w : words) all = all && keys_[p].contains(w);
    if (!all) continue;
    found_.push_back(static_cast<int32_t>(p));
    lbRacine->addItem(shownName(db, static_cast<int32_t>(p)));
  }
}

void PageModele::lbRacineClick() {
  const int row = lbRacine->currentRow();
  if (row < 0 || static_cast<size_t>(row) >= found_.size()) return;
  const int32_t p = found_[static_cast<size_t>(row)];
  const TFiche* f = wizard().Database().Person(p);
  root_ = f ? f->Pointer : std::string();
  rootFile_ = wizard().fichier().selectedFile();
  setRoot(p);
}

void PageModele::setRoot(int32_t person) {
  const TSosa* numbers = wizard().Database().Numbering();
  if (!numbers || numbers->Root() != person) {
    std::unique_ptr<TBD> db = wizard().takeDatabase();
    NumberTree(*db, person);
    wizard().setDatabase(std::move(db));
  }
  const TBD& db = wizard().Database();
  lRacine->setText(person > 0 ? T("Personne de r\xE9"
                                  "f\xE9rence : ") +
                                    shownName(db, person)
                              : T("Aucune personne dans le fichier."));
}

bool PageModele::isComplete() const {
  return !lbModele->selectedItems().isEmpty();
}

void PageModele::lbModeleClick() {
  QList<QListWidgetItem*> selected = lbModele->selectedItems();
  bTest->setEnabled(!selected.isEmpty());
  if (!selected.isEmpty()) {
    size_t row = static_cast<size_t>(lbModele->row(selected.first()));
    if (row < templates_.size()) wizard().TemplateDir = templates_[row].folder.string() + "/";
  }
  emit completeChanged();
}

void PageModele::bTestClick() {
  std::string& dir = wizard().TemplateDir;
  if (dir.empty()) return;
  Dialogs& dialogs = wizard().dialogs();
  // The preview writes beside the template's files and saves edits there: a shipped template is
  // never changed, the preview works on the user's own copy.
  bool copied = false;
  std::string reason;
  std::optional<fs::path> editable =
      EditableTemplate(dir, QCoreApplication::applicationDirPath().toStdString(), copied, reason);
  if (!editable) {
    dialogs.message(&wizard(), T(reason));
    return;
  }
  dir = editable->string() + "/";
  if (copied)
    dialogs.message(&wizard(), T("Ce mod\xE8le est install\xE9 avec le programme : l'aper\xE7u et "
                                 "vos modifications utilisent une copie, dans le dossier \"" +
                                 Utf8ToCp1252(editable->string()) + "\"."));
  // The living persons as the site will show them: the mode chosen, the saved one at first.
  const PageDestination& destination = wizard().destination();
  MediaRules media;
  for (const std::string& folder : {wizard().GedcomFolder, destination.mediaFolder()})
    if (!folder.empty()) media.folders.push_back(folder);
  TfmWeb web(&wizard(), wizard().windowTitle(), dir, wizard().Database(), dialogs, wizard().host(),
             destination.living(), media, destination.livingYears());
  web.setObjectName("fmWeb");
  web.exec();
}

void PageModele::save(WizardSettings& settings) const {
  if (QListWidgetItem* item = lbModele->currentItem(); item && item->isSelected())
    settings.lastTemplate = P(item->text());
  // The root belongs to the file saved with it; without a visit here, the saved pair stays.
  const std::string file = wizard().fichier().selectedFile();
  if (rootFile_.empty()) {
    const WizardSettings saved = ReadSettings(IniFile(wizard().SettingsFile()));
    if (saved.lastFile == file) settings.root = saved.root;
  } else if (rootFile_ == file) {
    settings.root = root_;
  }
}

}  // namespace lignado::ui
