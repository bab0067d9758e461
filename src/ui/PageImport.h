#pragma once

#include "ui/WizardPage.h"

class QLabel;
class QListWidget;
class QProgressBar;

namespace lignado::ui {

// ts3: the import of the chosen file, its progress, and its first 100 persons.
class PageImport : public WizardPage {
  Q_OBJECT

 public:
  explicit PageImport(TfmWebAssistant& wizard);

  void initializePage() override;
  // Something to publish was read: a refused file or a file without persons stops here.
  bool isComplete() const override { return imported_; }

 private:
  QLabel* Label7;
  QProgressBar* ProgressBar1;
  QListWidget* lbPers;
  bool imported_ = false;
};

}  // namespace lignado::ui
