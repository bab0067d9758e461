#pragma once

#include "genealogy/Vivants.h"
#include "pages/Referencement.h"
#include "ui/WizardPage.h"

class QCheckBox;
class QLabel;
class QComboBox;
class QLineEdit;
class QRadioButton;
class QSpinBox;

namespace lignado::ui {

// ts5: where the pages go (a folder, for the web or a CD-ROM, in a sub-folder or not), what
// they show of living persons, the folder of photos, and what the site says to crawlers (its
// address, optional, and who may read it).
class PageDestination : public WizardPage {
  Q_OBJECT

 public:
  explicit PageDestination(TfmWebAssistant& wizard);

  // The folder the pages go to, as the field shows it.
  QString exportPath() const;
  bool forWeb() const;
  bool forCD() const;
  LivingMode living() const;
  int livingYears() const;              // the own-birth limit of the living rule
  std::string mediaFolder() const;      // "Dossier des photos"; empty when none
  SiteReferencing referencing() const;  // the address as checked (empty: none) and robots.txt

  void initializePage() override;
  bool isComplete() const override;
  void load(const WizardSettings& settings) override;
  void save(WizardSettings& settings) const override;

 private:
  void Button3Click();
  void bPhotosClick();
  void cbInternetClick();
  void eSiteUrlChange();

  QLineEdit* ePathExport;
  QRadioButton* rbDestineWeb;
  QRadioButton* rbDestineCD;
  QCheckBox* cbInternet;
  QComboBox* cbVivants;
  QSpinBox* seVivantsAns;
  QLineEdit* ePhotos;
  QLineEdit* eSiteUrl;
  QLabel* lSiteUrl;  // why the address is refused
  QComboBox* cbRobots;
};

}  // namespace lignado::ui
