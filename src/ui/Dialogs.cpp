#include "ui/Dialogs.h"

#include <QApplication>
#include <QDesktopServices>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

namespace lignado::ui {

namespace {

class System : public Dialogs {
 public:
  void message(QWidget* parent, const QString& text) override {
    QMessageBox::information(parent, QApplication::applicationDisplayName(), text);
  }
  bool ask(QWidget* parent, const QString& text) override {
    return QMessageBox::question(parent, QApplication::applicationDisplayName(), text,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
  }
  QString openFile(QWidget* parent, const QString& filter, const QString& startDir) override {
    return QFileDialog::getOpenFileName(parent, QStringLiteral("Ouvrir"), startDir, filter);
  }
  QString chooseFolder(QWidget* parent, const QString& title, const QString& startDir) override {
    return QFileDialog::getExistingDirectory(
        parent, title.isEmpty() ? QString::fromUtf8("Rechercher un dossier") : title, startDir,
        QFileDialog::ShowDirsOnly);
  }
  bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

}  // namespace

Dialogs& SystemDialogs() {
  static System dialogs;
  return dialogs;
}

}  // namespace lignado::ui
