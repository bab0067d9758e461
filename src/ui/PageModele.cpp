#include "ui/PageModele.h"

#include <QCoreApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>
#include <filesystem>

#include "ui/Dialogs.h"
#include "ui/PageDestination.h"
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
  connect(lbModele, &QListWidget::itemSelectionChanged, this, &PageModele::lbModeleClick);
  connect(bTest, &QPushButton::clicked, this, &PageModele::bTestClick);
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
}

}  // namespace lignado::ui
