#include "ui/PageAccueil.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPixmap>
#include <QVBoxLayout>

namespace lignado::ui {

PageAccueil::PageAccueil(TfmWebAssistant& wizard) : WizardPage(wizard, "ts1", "", "", "") {
  auto* row = new QHBoxLayout;
  auto* picture = new QLabel(this);
  picture->setObjectName("Image1");
  picture->setPixmap(QPixmap(":/lignado/accueil.jpg"));
  picture->setAlignment(Qt::AlignTop);
  row->addWidget(picture);
  auto* texts = new QVBoxLayout;
  texts->setContentsMargins(20, 20, 20, 14);
  QLabel* title = NewLabel("Bienvenue dans Lignado", this);
  QFont big = title->font();
  big.setBold(true);
  big.setPointSizeF(big.pointSizeF() * 1.5);
  title->setFont(big);
  texts->addWidget(title);
  texts->addSpacing(12);
  texts->addWidget(
      NewLabel("Diffusez votre g\xE9n\xE9"
               "alogie \xE0 vos amis !",
               this));
  texts->addSpacing(20);
  texts->addWidget(
      NewLabel("Ce logiciel permet de cr\xE9"
               "er automatiquement des pages\r\nWeb \xE0 partir d'un fichier au "
               "format GEDCOM.\r\nIl peut les envoyer sur votre site Internet ou "
               "les pr\xE9parer\r\npour les graver sur CD-ROM.",
               this));
  texts->addStretch(1);
  texts->addWidget(NewLabel("Cliquez sur \"Suivant\" pour s\xE9lectionner un fichier", this));
  row->addLayout(texts, 1);
  body()->addLayout(row);
}

}  // namespace lignado::ui
