// Walks the wizard through its eight pages on the example family and the default template, and
// writes a picture of each page and of the preview: lignado_screens FOLDER.
// The upload goes to a local FTP server started for the occasion.

#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>
#include <filesystem>

#include "UiTest.h"
#include "ftp/FtpTestServer.h"
#include "ui/uAssistant.h"

namespace fs = std::filesystem;
using lignado::test::FakeDialogs;
using lignado::test::LoopUntil;
using lignado::ui::TfmWebAssistant;

int main(int argc, char** argv) {
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  app.setApplicationDisplayName("Lignado");
  if (argc != 2) {
    std::fputs("Usage : lignado_screens DOSSIER\n", stderr);
    return 2;
  }
  const QString out = QDir(QString::fromLocal8Bit(argv[1])).absolutePath();
  QDir().mkpath(out);
  QTemporaryDir work;
  const fs::path root = work.path().toStdString();
  fs::create_directories(root / "programme");
  fs::create_directories(root / "serveur");
  lignado::test::FtpTestServer server(root / "serveur");
  if (!server.running()) {
    std::fprintf(stderr, "%s\n", server.error().c_str());
    return 1;
  }

  FakeDialogs dialogs;
  TfmWebAssistant wizard(dialogs, {(root / "programme").string() + "/", ""});
  wizard.show();
  auto* pages = wizard.findChild<QStackedWidget*>("PageControl1");
  auto button = [&](const char* name) { return wizard.findChild<QPushButton*>(name); };
  int failures = 0;
  auto shoot = [&](QWidget* window, const QString& name) {
    LoopUntil([] { return false; }, 300);  // let the window paint
    if (!window->grab().save(out + "/" + name + ".png")) ++failures;
  };

  shoot(&wizard, "1-bienvenue");
  button("bSuivant")->click();
  dialogs.files = {QString(LIGNADO_SOURCE_DIR) + "/examples/famille-exemple.ged"};
  button("Button1")->click();
  shoot(&wizard, "2-fichier");
  button("bSuivant")->click();
  shoot(&wizard, "3-apercu");
  button("bSuivant")->click();
  auto* templates = wizard.findChild<QListWidget*>("lbModele");
  auto found = templates->findItems("classique", Qt::MatchExactly);
  if (!found.isEmpty()) templates->setCurrentItem(found.first());
  shoot(&wizard, "4-modele");

  // The preview, opened as the button does, pictured once its page is shown.
  QTimer::singleShot(0, &wizard, [&] {
    QWidget* web = QApplication::activeModalWidget();
    auto* view = web->findChild<QWebEngineView*>("wb");
    LoopUntil(
        [&] { return lignado::test::RunJs(view, "document.readyState").toString() == "complete"; });
    shoot(web, "9-apercu-du-modele");
    web->close();
  });
  button("bTest")->click();

  button("bSuivant")->click();
  dialogs.folders = {QString::fromStdString((root / "pages").string())};
  button("Button3")->click();
  wizard.findChild<QRadioButton*>("rbDestineWeb")->click();
  shoot(&wizard, "5-destination");
  button("bSuivant")->click();
  wizard.findChild<QCheckBox*>("cbFtp")->setChecked(true);
  shoot(&wizard, "6-resultat");
  button("bSuivant")->click();
  wizard.findChild<QLineEdit*>("eFtpHost")->setText(QString("127.0.0.1:%1").arg(server.port()));
  wizard.findChild<QLineEdit*>("eFtpUser")->setText(lignado::test::kFtpUser);
  wizard.findChild<QLineEdit*>("eFtpPass")->setText(lignado::test::kFtpPassword);
  wizard.findChild<QLineEdit*>("eFtpPath")->setText("www");
  shoot(&wizard, "7-compte-ftp");
  button("bSuivant")->click();
  button("bFtp")->click();
  shoot(&wizard, "8-envoi");

  for (const QString& m : dialogs.messages) std::fprintf(stderr, "%s\n", qPrintable(m));
  if (pages->currentWidget()->objectName() != "ts8" || failures) {
    std::fputs(
        "Les pages n'ont pas toutes pu \xC3\xAAtre photographi\xC3\xA9"
        "es.\n",
        stderr);
    return 1;
  }
  std::printf("%s\n", qPrintable(out));
  return 0;
}
