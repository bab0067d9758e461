#include "ui/PageDestination.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QVBoxLayout>

#include "ui/BrowseFolder.h"
#include "ui/Settings.h"
#include "ui/uAssistant.h"
#include "util/Text.h"
#include "workflow/Publication.h"

namespace lignado::ui {

PageDestination::PageDestination(TfmWebAssistant& wizard)
    : WizardPage(wizard, "ts5", "S\xE9lection du dossier ou enregistrer les pages",
                 "O\xF9 sauvegarder les pages ?",
                 "Cliquez sur \"Suivant\" pour lancer la cr\xE9"
                 "ation des pages") {
  QVBoxLayout* body = this->body();
  body->addWidget(NewLabel("Enregistrer les pages dans le dossier :", this));
  auto* row = new QHBoxLayout;
  ePathExport = new QLineEdit(this);
  ePathExport->setObjectName("ePathExport");
  ePathExport->setReadOnly(true);
  row->addWidget(ePathExport, 1);
  auto* Button3 = new QPushButton(T("Parcourir..."), this);
  Button3->setObjectName("Button3");
  row->addWidget(Button3);
  body->addLayout(row);
  body->addSpacing(12);
  body->addWidget(
      NewLabel("Ces pages sont destin\xE9"
               "es \xE0 \xEAtre :",
               this));
  rbDestineWeb = new QRadioButton(T("Envoy\xE9"
                                    "es sur Internet"),
                                  this);
  rbDestineWeb->setObjectName("rbDestineWeb");
  rbDestineCD = new QRadioButton(T("Grav\xE9"
                                   "es sur un CD-ROM"),
                                 this);
  rbDestineCD->setObjectName("rbDestineCD");
  auto* kinds = new QButtonGroup(this);
  kinds->addButton(rbDestineWeb);
  kinds->addButton(rbDestineCD);
  body->addWidget(rbDestineWeb);
  body->addWidget(rbDestineCD);
  body->addSpacing(12);
  cbInternet = new QCheckBox(T("Cr\xE9"
                               "er un sous dossier (Recommand\xE9)"),
                             this);
  cbInternet->setObjectName("cbInternet");
  cbInternet->setChecked(true);
  body->addWidget(cbInternet);
  body->addSpacing(12);
  // Dates and places of living persons are not published without their consent by default.
  auto* livingRow = new QHBoxLayout;
  QLabel* livingLabel = NewLabel("Personnes vivantes :", this);
  livingLabel->setWordWrap(false);  // the colon stays with its words
  livingRow->addWidget(livingLabel);
  cbVivants = new QComboBox(this);
  cbVivants->setObjectName("cbVivants");
  cbVivants->addItem(T("Masquer leurs dates, lieux, notes et sources"),
                     LivingModeName(LivingMode::Hide));
  cbVivants->addItem(T("Les rendre anonymes (\"Personne vivante\")"),
                     LivingModeName(LivingMode::Anonymous));
  cbVivants->addItem(T("Tout publier"), LivingModeName(LivingMode::Publish));
  livingRow->addWidget(cbVivants, 1);
  body->addLayout(livingRow);
  // Who counts as living: without a death, born less than this many years ago.
  auto* yearsRow = new QHBoxLayout;
  QLabel* yearsLabel = NewLabel(
      "Sans d\xE9"
      "c\xE8s connu, est vivant qui est n\xE9 il y a moins de",
      this);
  yearsRow->addWidget(yearsLabel);
  seVivantsAns = new QSpinBox(this);
  seVivantsAns->setObjectName("seVivantsAns");
  seVivantsAns->setRange(40, 150);
  seVivantsAns->setValue(kLivingYears);
  seVivantsAns->setSuffix(T(" ans"));
  yearsLabel->setBuddy(seVivantsAns);
  yearsRow->addWidget(seVivantsAns);
  yearsRow->addStretch(1);
  body->addLayout(yearsRow);
  // Media are copied only from the GEDCOM file's folder and this one.
  auto* photos = new QHBoxLayout;
  photos->addWidget(NewLabel("Dossier des photos :", this));
  ePhotos = new QLineEdit(this);
  ePhotos->setObjectName("ePhotos");
  photos->addWidget(ePhotos, 1);
  auto* bPhotos = new QPushButton(T("Parcourir..."), this);
  bPhotos->setObjectName("bPhotos");
  photos->addWidget(bPhotos);
  body->addLayout(photos);
  // The site's address gives it a sitemap and canonical links; robots.txt is always written.
  auto* address = new QHBoxLayout;
  QLabel* addressLabel = NewLabel("Adresse du site (facultatif) :", this);
  addressLabel->setWordWrap(false);
  address->addWidget(addressLabel);
  eSiteUrl = new QLineEdit(this);
  eSiteUrl->setObjectName("eSiteUrl");
  eSiteUrl->setPlaceholderText(T("https://..."));
  addressLabel->setBuddy(eSiteUrl);
  address->addWidget(eSiteUrl, 1);
  body->addLayout(address);
  lSiteUrl = NewLabel("", this);
  lSiteUrl->setObjectName("lSiteUrl");
  lSiteUrl->setStyleSheet("color: #b00020");
  lSiteUrl->hide();
  body->addWidget(lSiteUrl);
  auto* robots = new QHBoxLayout;
  QLabel* robotsLabel = NewLabel("Robots :", this);
  robotsLabel->setWordWrap(false);
  robots->addWidget(robotsLabel);
  cbRobots = new QComboBox(this);
  cbRobots->setObjectName("cbRobots");
  cbRobots->addItem(T("Moteurs de recherche oui, robots des entreprises d'IA non"),
                    RobotsModeName(RobotsMode::Search));
  cbRobots->addItem(T("Tous les robots"), RobotsModeName(RobotsMode::All));
  cbRobots->addItem(T("Aucun robot"), RobotsModeName(RobotsMode::None));
  robotsLabel->setBuddy(cbRobots);
  robots->addWidget(cbRobots, 1);
  body->addLayout(robots);
  body->addStretch(1);
  connect(eSiteUrl, &QLineEdit::textChanged, this, &PageDestination::eSiteUrlChange);
  connect(bPhotos, &QPushButton::clicked, this, &PageDestination::bPhotosClick);
  connect(Button3, &QPushButton::clicked, this, &PageDestination::Button3Click);
  for (QAbstractButton* b :
       {static_cast<QAbstractButton*>(rbDestineWeb), static_cast<QAbstractButton*>(rbDestineCD),
        static_cast<QAbstractButton*>(cbInternet)})
    connect(b, &QAbstractButton::toggled, this, &PageDestination::cbInternetClick);
}

QString PageDestination::exportPath() const {
  return ePathExport->text();
}

bool PageDestination::forWeb() const {
  return rbDestineWeb->isChecked();
}

bool PageDestination::forCD() const {
  return rbDestineCD->isChecked();
}

LivingMode PageDestination::living() const {
  return LivingModeNamed(cbVivants->currentData().toString().toStdString())
      .value_or(LivingMode::Hide);
}

int PageDestination::livingYears() const {
  return seVivantsAns->value();
}

std::string PageDestination::mediaFolder() const {
  return P(ePhotos->text());
}

SiteReferencing PageDestination::referencing() const {
  return {CheckSiteAddress(P(eSiteUrl->text())).url,
          RobotsModeNamed(cbRobots->currentData().toString().toStdString())
              .value_or(RobotsMode::Search)};
}

void PageDestination::eSiteUrlChange() {
  const std::string complaint = CheckSiteAddress(P(eSiteUrl->text())).complaint;
  lSiteUrl->setText(T(complaint));
  lSiteUrl->setVisible(!complaint.empty());
  emit completeChanged();
}

void PageDestination::initializePage() {
  cbInternetClick();
}

bool PageDestination::isComplete() const {
  return !wizard().ExportBase.empty() && (forWeb() || forCD()) &&
         CheckSiteAddress(P(eSiteUrl->text())).complaint.empty();
}

void PageDestination::Button3Click() {
  TBrowseFolder& chooser = wizard().browseFolder();
  std::string& base = wizard().ExportBase;
  chooser.Directory = P(base);
  if (chooser.Execute()) base = P(chooser.Directory);
  // An empty base stays empty: "/" alone would send the pages to the root of the disk.
  if (!base.empty() && base.back() != '/') base += '/';
  cbInternetClick();
}

void PageDestination::bPhotosClick() {
  TBrowseFolder& chooser = wizard().browseFolder();
  chooser.Directory = ePhotos->text();
  if (chooser.Execute()) ePhotos->setText(chooser.Directory);
}

void PageDestination::cbInternetClick() {
  std::string& sub = wizard().ExportSubFolder;
  if (forWeb()) sub = lignado::ExportSubFolder(Destine::Web);
  if (forCD()) sub = lignado::ExportSubFolder(Destine::CD);
  const std::string& base = wizard().ExportBase;
  if (!base.empty()) ePathExport->setText(P(cbInternet->isChecked() ? base + sub : base));
  emit completeChanged();
}

void PageDestination::load(const WizardSettings& settings) {
  wizard().ExportBase = settings.exportFolder;
  ePathExport->setText(P(settings.exportFolder));
  if (settings.destine == "CD") rbDestineCD->setChecked(true);
  if (settings.destine == "WEB") rbDestineWeb->setChecked(true);
  if (forCD() || forWeb()) cbInternetClick();
  int at = cbVivants->findData(QString::fromStdString(settings.living));
  cbVivants->setCurrentIndex(at >= 0 ? at : 0);
  ePhotos->setText(P(settings.photos));
  const std::optional<int32_t> years = ParseInt32(settings.livingYears);
  seVivantsAns->setValue(years && *years >= 40 && *years <= 150 ? *years : kLivingYears);
  eSiteUrl->setText(P(settings.siteUrl));
  at = cbRobots->findData(QString::fromStdString(settings.robots));
  cbRobots->setCurrentIndex(at >= 0 ? at : 0);
}

void PageDestination::save(WizardSettings& settings) const {
  settings.exportFolder = wizard().ExportBase;
  if (forCD()) settings.destine = "CD";
  if (forWeb()) settings.destine = "WEB";
  settings.living = cbVivants->currentData().toString().toStdString();
  settings.photos = P(ePhotos->text());
  settings.livingYears = std::to_string(seVivantsAns->value());
  settings.siteUrl = P(eSiteUrl->text());  // as typed: a refused one is kept to be corrected
  settings.robots = cbRobots->currentData().toString().toStdString();
}

}  // namespace lignado::ui
