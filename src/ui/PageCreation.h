#pragma once

#include "ui/WizardPage.h"

class QCheckBox;
class QLabel;
class QProgressBar;

namespace lignado::ui {

// ts6: the generation of the site, then where it is, how to look at it, and whether to send it.
class PageCreation : public WizardPage {
  Q_OBJECT

 public:
  explicit PageCreation(TfmWebAssistant& wizard);

  void initializePage() override;
  void cleanupPage() override;
  // The whole site was made: only then may it be sent.
  bool isComplete() const override { return generated_; }
  bool hasNext() const override;
  void load(const WizardSettings& settings) override;
  void save(WizardSettings& settings) const override;

 private:
  void GeneratePages();
  bool DestinationConfirmed(const std::string& folder);
  void cbFtpClick();
  void Button4Click();
  void Button5Click();

  QProgressBar* ProgressBar2;
  QWidget* Panel7;
  QLabel* Label21;
  QCheckBox* cbFtp;
  QLabel* Label35;
  QLabel* Label36;
  bool generated_ = false;
};

}  // namespace lignado::ui
