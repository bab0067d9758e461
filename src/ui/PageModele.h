#pragma once

#include <vector>

#include "ui/WizardPage.h"

class QListWidget;
class QPushButton;

namespace lignado {
struct TemplateChoice;
}

namespace lignado::ui {

// ts4: the page template, and its preview with "Tester ce modèle".
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

  QListWidget* lbModele;
  QPushButton* bTest;
  std::vector<TemplateChoice> templates_;  // the entries of lbModele
};

}  // namespace lignado::ui
