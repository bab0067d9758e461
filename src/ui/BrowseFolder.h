#pragma once

#include <QObject>
#include <QString>

class QWidget;

namespace lignado::ui {

class Dialogs;

// The folder chooser behind "Parcourir...": file-system folders only, opening on the folder
// chosen before.
class TBrowseFolder : public QObject {
  Q_OBJECT

 public:
  TBrowseFolder(QWidget* owner, Dialogs& dialogs);

  QString Directory;  // the chosen folder; also where the dialog opens
  QString Title;      // the dialog's caption

  // True when a folder was confirmed (Directory then holds it); cancel leaves Directory as it is.
  bool Execute();

 private:
  QWidget* owner_;
  Dialogs& dialogs_;
};

}  // namespace lignado::ui
