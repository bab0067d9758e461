#pragma once

#include <QWidget>
#include <string>

class QLabel;
class QListWidget;
class QVBoxLayout;

namespace lignado::ui {

class TfmWebAssistant;
struct WizardSettings;

// One page of the wizard: its heading (headline and question), its controls, its hint, and the
// hooks the wizard calls as the user moves through the pages.
class WizardPage : public QWidget {
  Q_OBJECT

 public:
  // An empty headline: no heading (the welcome page draws its own).
  WizardPage(TfmWebAssistant& wizard, const char* name, const std::string& headline,
             const std::string& question, const std::string& hint);

  virtual void initializePage() {}                  // entered with "Suivant"
  virtual void cleanupPage() {}                     // left with "Précédent"
  virtual bool isComplete() const { return true; }  // "Suivant" enabled
  virtual bool hasNext() const { return true; }     // "Suivant" shown
  virtual void load(const WizardSettings&) {}       // at start-up
  virtual void save(WizardSettings&) const {}       // at close

 signals:
  void completeChanged();

 protected:
  TfmWebAssistant& wizard() const { return wizard_; }
  QVBoxLayout* body() const { return body_; }

 private:
  TfmWebAssistant& wizard_;
  QVBoxLayout* body_;
};

// A text of the wizard (Windows-1252) as a widget shows it: "\r\n" breaks a line.
QString T(const std::string& text);
// A path (file-system bytes) for a widget, and back.
QString P(const std::string& path);
std::string P(const QString& text);
// A word-wrapped label.
QLabel* NewLabel(const std::string& text, QWidget* parent, const char* name = nullptr);
// The row of a list whose text equals text without regard to case; -1 when none.
int RowNoCase(const QListWidget* list, const QString& text);

}  // namespace lignado::ui
