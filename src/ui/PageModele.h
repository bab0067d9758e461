#pragma once

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

#include "ui/WizardPage.h"

class QLabel;
class QLineEdit;
class QListWidget;
class QPushButton;

namespace lignado {
struct TemplateChoice;
}

namespace lignado::ui {

// ts4: the page template, and its preview with "Tester ce modèle"; the reference person of the
// Sosa and d'Aboville numbers, found by name, kept in the settings by its GEDCOM pointer with
// the file it belongs to (the pointer of one file names someone else in another).
class PageModele : public WizardPage {
  Q_OBJECT

 public:
  explicit PageModele(TfmWebAssistant& wizard);
  ~PageModele() override;

  void initializePage() override;
  bool isComplete() const override;
  void save(WizardSettings& settings) const override;

 private:
  void lbModeleClick();
  void bTestClick();
  void eRacineChanged();  // lists the persons whose names hold the text typed
  void lbRacineClick();
  void setRoot(int32_t person);

  QListWidget* lbModele;
  QPushButton* bTest;
  QLineEdit* eRacine;
  QListWidget* lbRacine;
  QLabel* lRacine;
  std::vector<TemplateChoice> templates_;  // the entries of lbModele
  std::vector<QString> keys_;              // by person number: the name searched, folded
  std::vector<int32_t> found_;             // the persons of lbRacine
  std::string rootFile_;                   // the GEDCOM file root_ belongs to
  std::string root_;                       // the pointer the user chose; empty: the default
};

}  // namespace lignado::ui
