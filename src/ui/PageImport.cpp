#include "ui/PageImport.h"

#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QVBoxLayout>

#include "data/Base.h"
#include "ui/Dialogs.h"
#include "ui/PageFichier.h"
#include "ui/QtText.h"
#include "ui/uAssistant.h"
#include "workflow/Publication.h"

namespace lignado::ui {

namespace {

// Why an import leaves nothing to publish, in French; empty when it can go on.
std::string ImportRefusal(const ImportOutcome& outcome, const TBD& db) {
  std::string why;
  if (!outcome.failure.empty())
    why = outcome.failure;
  else if (db.PersonCount == 0)
    why = "Aucune personne \xE0 publier dans ce fichier.";
  else
    return {};
  return why +
         "\r\nCliquez sur \"Pr\xE9"
         "c\xE9"
         "dent\" pour choisir un autre fichier.";
}

}  // namespace

PageImport::PageImport(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts3", "Aper\xE7u de votre fichier GEDCOM",
                 "Votre fichier est-il correct ?",
                 "Cliquez sur \"Suivant\" pour choisir le mod\xE8le de mise en page") {
  Label7 = NewLabel("", this, "Label7");
  body()->addWidget(Label7);
  ProgressBar1 = new QProgressBar(this);
  ProgressBar1->setObjectName("ProgressBar1");
  ProgressBar1->setRange(0, 100);
  ProgressBar1->setValue(0);
  body()->addWidget(ProgressBar1);
  body()->addWidget(
      NewLabel("Voici la liste des 100 premi\xE8res personnes pr\xE9sentes dans "
               "votre fichier :",
               this));
  lbPers = new QListWidget(this);
  lbPers->setObjectName("lbPers");
  body()->addWidget(lbPers, 1);
}

void PageImport::initializePage() {
  imported_ = false;
  const std::string file = wizard().fichier().selectedFile();
  if (file.empty()) return;
  lbPers->clear();
  Label7->clear();
  ProgressBar1->setValue(0);
  ImportOutcome outcome;
  std::unique_ptr<TBD> previous = wizard().takeDatabase();
  const bool ran = wizard().runWork(Label7, ProgressBar1, [&](Host* host) {
    outcome = ImportForPublication(file, ImportOptions{}, host, std::move(previous));
  });
  if (!ran) outcome.failure = "Erreur \xE0 l'import";
  wizard().setDatabase(outcome.db ? std::move(outcome.db) : std::make_unique<TBD>());
  const TBD& db = wizard().Database();
  wizard().GedcomFolder = QFileInfo(P(file)).absolutePath().toStdString();
  if (!outcome.failure.empty()) wizard().dialogs().message(&wizard(), T(outcome.failure));
  if (outcome.failure.empty() && !outcome.result.aborted) ProgressBar1->setValue(100);
  // The import counts every 182 records: a small file would be left showing "0 / 0".
  if (outcome.failure.empty() && outcome.dropped.empty())
    Label7->setText(T("Nombre de personnes et d'unions : " + std::to_string(db.PersonCount) +
                      " / " + std::to_string(db.UnionCount)));
  // A refused file must not lead to a site generated empty over the user's real one.
  const std::string refusal = ImportRefusal(outcome, db);
  if (!refusal.empty()) Label7->setText(T(refusal));
  lbPers->setUpdatesEnabled(false);
  for (const std::string& line : PersonLines(db)) lbPers->addItem(FromCp1252(line, true));
  lbPers->setUpdatesEnabled(true);
  imported_ = refusal.empty();
  emit completeChanged();
}

}  // namespace lignado::ui
