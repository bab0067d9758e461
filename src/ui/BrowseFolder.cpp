#include "ui/BrowseFolder.h"

#include <QApplication>
#include <QFileInfo>
#include <QWidget>

#include "ui/Dialogs.h"

namespace lignado::ui {

TBrowseFolder::TBrowseFolder(QWidget* owner, Dialogs& dialogs)
    : QObject(owner), owner_(owner), dialogs_(dialogs) {}

bool TBrowseFolder::Execute() {
  QWidget* parent = owner_ ? owner_->window() : QApplication::activeWindow();
  QString start = QFileInfo(Directory).isDir() ? Directory : QString();
  QString chosen = dialogs_.chooseFolder(parent, Title, start);
  if (chosen.isEmpty()) return false;
  Directory = chosen;
  return true;
}

}  // namespace lignado::ui
