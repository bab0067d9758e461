#include "ui/PageFichier.h"

#include <QFileInfo>
#include <QHBoxLayout>
#include <QListWidget>
#include <QPushButton>
#include <QVBoxLayout>

#include "ui/Dialogs.h"
#include "ui/Settings.h"
#include "ui/uAssistant.h"

namespace lignado::ui {

PageFichier::PageFichier(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts2", "S\xE9lectionnez votre fichier GEDCOM",
                 "Quel est votre fichier \xE0 visualiser sur Internet ?",
                 "Cliquez sur \"Suivant\" pour lancer l'importation du fichier") {
  auto* Button1 = new QPushButton(T("Parcourir..."), this);
  Button1->setObjectName("Button1");
  auto* row = new QHBoxLayout;
  row->addStretch(1);
  row->addWidget(Button1);
  body()->addLayout(row);
  lbFichier = new QListWidget(this);
  lbFichier->setObjectName("lbFichier");
  body()->addWidget(lbFichier, 1);
  connect(Button1, &QPushButton::clicked, this, &PageFichier::Button1Click);
  connect(lbFichier, &QListWidget::itemSelectionChanged, this, &WizardPage::completeChanged);
}

std::string PageFichier::selectedFile() const {
  QList<QListWidgetItem*> selected = lbFichier->selectedItems();
  return selected.isEmpty() ? std::string() : P(selected.first()->text());
}

void PageFichier::addFile(const QString& path) {
  int at = RowNoCase(lbFichier, path);
  if (at < 0) {
    lbFichier->addItem(path);
    at = lbFichier->count() - 1;
  }
  lbFichier->setCurrentRow(at);
}

void PageFichier::initializePage() {
  // A new publication gives up the offer to resume the last upload.
  wizard().giveUpResume();
}

bool PageFichier::isComplete() const {
  return !lbFichier->selectedItems().isEmpty();
}

void PageFichier::Button1Click() {
  QString start;
  if (isComplete()) start = QFileInfo(P(selectedFile())).path();
  QString chosen = wizard().dialogs().openFile(&wizard(), T("Fichier GEDCOM (*.ged)"), start);
  if (!chosen.isEmpty()) addFile(chosen);
  emit completeChanged();
}

void PageFichier::load(const WizardSettings& settings) {
  // Files that are gone are dropped; the next close numbers the rest again.
  for (const std::string& file : settings.recentFiles)
    if (QFileInfo(P(file)).isFile()) lbFichier->addItem(P(file));
  int last = RowNoCase(lbFichier, P(settings.lastFile));
  if (last >= 0) lbFichier->setCurrentRow(last);
}

void PageFichier::save(WizardSettings& settings) const {
  if (QListWidgetItem* item = lbFichier->currentItem(); item && item->isSelected())
    settings.lastFile = P(item->text());
  for (int i = 0; i < lbFichier->count(); ++i)
    settings.recentFiles.push_back(P(lbFichier->item(i)->text()));
}

}  // namespace lignado::ui
