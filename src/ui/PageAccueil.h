#pragma once

#include "ui/WizardPage.h"

namespace lignado::ui {

// ts1: the welcome picture and what the program does.
class PageAccueil : public WizardPage {
  Q_OBJECT

 public:
  explicit PageAccueil(TfmWebAssistant& wizard);
};

}  // namespace lignado::ui
