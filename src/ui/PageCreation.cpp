#include "ui/PageCreation.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>
#include <exception>

#include "ui/Dialogs.h"
#include "ui/PageDestination.h"
#include "ui/QtText.h"
#include "ui/Settings.h"
#include "ui/uAssistant.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::ui {

PageCreation::PageCreation(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts6",
                 "Les pages sont maintenant enregistr\xE9"
                 "es",
                 "Comment voir le r\xE9sultat ?", "") {
  QVBoxLayout* body = this->body();
  body->addWidget(
      NewLabel("Cr\xE9"
               "ation des fichiers en cours :",
               this));
  ProgressBar2 = new QProgressBar(this);
  ProgressBar2->setObjectName("ProgressBar2");
  ProgressBar2->setRange(0, 100);
  ProgressBar2->setValue(0);
  body->addWidget(ProgressBar2);
  Panel7 = new QWidget(this);
  Panel7->setObjectName("Panel7");
  auto* panel = new QGridLayout(Panel7);
  panel->setContentsMargins(0, 8, 0, 0);
  panel->addWidget(NewLabel("F\xE9licitation. Les pages sont maintenant pr\xEAtes. Elles se "
                            "trouvent dans le dossier :",
                            Panel7),
                   0, 0, 1, 2);
  Label21 = NewLabel("", Panel7, "Label21");
  QFont bold = Label21->font();
  bold.setBold(true);
  Label21->setFont(bold);
  panel->addWidget(Label21, 1, 0, 1, 2);
  panel->addWidget(NewLabel("Vous pouvez vous rendre dans ce dossier afin d'en consulter le "
                            "contenu :",
                            Panel7),
                   2, 0);
  auto* Button5 = new QPushButton(T("Se rendre dans ce dossier"), Panel7);
  Button5->setObjectName("Button5");
  panel->addWidget(Button5, 2, 1);
  panel->addWidget(NewLabel("Vous pouvez tester l'enregistrement avec votre navigateur par "
                            "d\xE9"
                            "faut :",
                            Panel7),
                   3, 0);
  auto* Button4 = new QPushButton(T("Voir le r\xE9sultat obtenu"), Panel7);
  Button4->setObjectName("Button4");
  panel->addWidget(Button4, 3, 1);
  cbFtp = new QCheckBox(T("Envoyer les pages sur Internet maintenant"), Panel7);
  cbFtp->setObjectName("cbFtp");
  panel->addWidget(cbFtp, 4, 0, 1, 2);
  Label35 = NewLabel(
      "Cliquez sur \"Suivant\" pour s\xE9lectionner les param\xE8tres de votre "
      "compte Internet",
      Panel7, "Label35");
  panel->addWidget(Label35, 5, 0, 1, 2);
  Label36 = NewLabel(
      "Vous pouvez graver le contenu du dossier et distribuer le CD-ROM \xE0 "
      "vos amis.",
      Panel7, "Label36");
  panel->addWidget(Label36, 6, 0, 1, 2);
  panel->setColumnStretch(0, 1);
  body->addWidget(Panel7);
  body->addStretch(1);
  Panel7->hide();
  connect(Button5, &QPushButton::clicked, this, &PageCreation::Button5Click);
  connect(Button4, &QPushButton::clicked, this, &PageCreation::Button4Click);
  connect(cbFtp, &QCheckBox::toggled, this, &PageCreation::cbFtpClick);
}

void PageCreation::initializePage() {
  GeneratePages();
  wizard().workEnded();
}

void PageCreation::cleanupPage() {
  Panel7->hide();
}

bool PageCreation::hasNext() const {
  return cbFtp->isChecked();
}

void PageCreation::GeneratePages() {
  generated_ = false;
  cbFtpClick();
  Dialogs& dialogs = wizard().dialogs();
  const PageDestination& destination = wizard().destination();
  std::string folder = P(destination.exportPath());
  if (!folder.empty() && folder.back() != '/') folder += '/';
  if (!DestinationConfirmed(folder)) {
    wizard().back();
    return;
  }
  if (!MakeExportFolder(folder).ok) {
    dialogs.message(&wizard(), T("Impossible de cr\xE9"
                                 "er le dossier\"" +
                                 Utf8ToCp1252(folder) + "\""));
    return;
  }
  const LivingMode living = destination.living();
  MediaOptions media;
  if (!destination.mediaFolder().empty()) media.folders.push_back(destination.mediaFolder());
  GenerateOutcome outcome;
  // A stop asked by the user is said in its own words, and the user may start again at once.
  do {
    ProgressBar2->setValue(0);
    outcome = GenerateOutcome();
    if (!wizard().runWork(nullptr, ProgressBar2, [&](Host* host) {
          outcome = GeneratePublication(wizard().Database(), wizard().TemplateDir, folder, host,
                                        living, 0, wizard().GedcomFolder, media,
                                        destination.livingYears(), destination.referencing());
        }))
      outcome.done = false;
  } while (outcome.stopped && !wizard().closeRequested() &&
           dialogs.ask(&wizard(), T(std::string(kGenerationStopped) +
                                    ".\r\nLes pages d\xE9j\xE0 \xE9"
                                    "crites sont enti\xE8res, mais le site n'est pas complet."
                                    "\r\nRecommencer la cr\xE9"
                                    "ation des pages ?")));
  if (outcome.done) ProgressBar2->setValue(100);
  // An unfinished site is not offered for upload: back to the destination, or start again.
  if (outcome.stopped) return;
  if (!outcome.done) {
    std::string text = "La sauvegarde n'a pas abouti";
    if (!outcome.failure.empty() && outcome.failure != text) text += "\r\n" + outcome.failure;
    dialogs.message(&wizard(), T(text));
    return;
  }
  std::vector<std::string> lines = outcome.pagesLimited;
  lines.insert(lines.end(), outcome.mediaMissing.begin(), outcome.mediaMissing.end());
  if (!lines.empty()) {
    std::string text;
    for (size_t i = 0; i < lines.size() && i < 20; ++i) text += (i ? "\r\n" : "") + lines[i];
    if (lines.size() > 20) text += "\r\n...";
    dialogs.message(&wizard(), T(text));
  }
  Panel7->show();
  Label21->setText(P(folder));
  Label36->setVisible(destination.forCD());
  cbFtp->setVisible(destination.forWeb());
  if (destination.forCD()) cbFtp->setChecked(false);
  generated_ = true;
  cbFtpClick();
  if (!outcome.warning.empty()) dialogs.message(&wizard(), T(outcome.warning));
}

// A folder that holds files no generation wrote may be the user's own (a home folder chosen by
// mistake): the pages, and later the upload of all it holds, go there only on the user's word.
bool PageCreation::DestinationConfirmed(const std::string& folder) {
  if (DestinationState(folder) != FolderState::Other) return true;
  return wizard().dialogs().ask(
      &wizard(), T("Le dossier \"" + Utf8ToCp1252(folder) +
                   "\" contient d\xE9j\xE0 des fichiers qui ne viennent pas d'une cr\xE9"
                   "ation de pages.\r\nLes pages y seront ajout\xE9"
                   "es, et un envoi sur Internet enverra aussi ces fichiers.\r\nEnregistrer quand "
                   "m\xEAme les pages dans ce dossier ?"));
}

void PageCreation::cbFtpClick() {
  Label35->setVisible(cbFtp->isChecked());
  emit completeChanged();
}

void PageCreation::Button5Click() {
  const QString folder = wizard().destination().exportPath();
  if (!wizard().dialogs().openUrl(QUrl::fromLocalFile(folder)))
    wizard().dialogs().message(
        &wizard(), T("Aucun gestionnaire de fichiers n'a pu \xEAtre ouvert. Les pages se "
                     "trouvent dans le dossier :\r\n" +
                     ToCp1252(folder)));
}

void PageCreation::Button4Click() {
  QString folder = wizard().destination().exportPath();
  if (!folder.endsWith('/')) folder += '/';
  if (!wizard().dialogs().openUrl(QUrl::fromLocalFile(folder + "index.html")))
    wizard().dialogs().message(
        &wizard(), T("Aucun navigateur n'a pu \xEAtre ouvert. Ouvrez vous-m\xEAme la page "
                     "d'accueil :\r\n" +
                     ToCp1252(folder + "index.html")));
}

void PageCreation::load(const WizardSettings& settings) {
  cbFtp->setChecked(settings.ftpNow);
}

void PageCreation::save(WizardSettings& settings) const {
  settings.ftpNow = cbFtp->isChecked();
}

}  // namespace lignado::ui
