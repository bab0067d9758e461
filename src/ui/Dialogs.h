#pragma once

#include <QString>

class QUrl;
class QWidget;

namespace lignado::ui {

// Every dialog and every hand-over to the desktop goes through here, so that tests answer them
// instead of a blocking native window.
class Dialogs {
 public:
  virtual ~Dialogs() = default;
  virtual void message(QWidget* parent, const QString& text) = 0;  // one OK button
  virtual bool ask(QWidget* parent, const QString& text) = 0;      // Yes (true) or No
  // The chosen file, or empty on cancel. filter: "Fichier GEDCOM (*.ged)" style.
  virtual QString openFile(QWidget* parent, const QString& filter, const QString& startDir) = 0;
  // The chosen folder, or empty on cancel; starts at startDir when it exists.
  virtual QString chooseFolder(QWidget* parent, const QString& title, const QString& startDir) = 0;
  // A folder or a page in the desktop's default program.
  virtual bool openUrl(const QUrl& url) = 0;
};

// The real dialogs: QMessageBox, QFileDialog, QDesktopServices.
Dialogs& SystemDialogs();

}  // namespace lignado::ui
