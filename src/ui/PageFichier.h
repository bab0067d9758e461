#pragma once

#include "ui/WizardPage.h"

class QListWidget;

namespace lignado::ui {

// ts2: the GEDCOM file to publish, chosen among the recent ones or with "Parcourir...".
class PageFichier : public WizardPage {
  Q_OBJECT

 public:
  explicit PageFichier(TfmWebAssistant& wizard);

  // The selected file (file-system bytes); empty when none is.
  std::string selectedFile() const;
  // Adds a file to the list unless it is there already (letter case ignored), and selects it.
  void addFile(const QString& path);

  void initializePage() override;
  bool isComplete() const override;
  void load(const WizardSettings& settings) override;
  void save(WizardSettings& settings) const override;

 private:
  void Button1Click();

  QListWidget* lbFichier;
};

}  // namespace lignado::ui
