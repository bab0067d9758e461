#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>

#include "ui/Dialogs.h"
#include "ui/uAssistant.h"

int main(int argc, char** argv) {
  // Chromium refuses to start its sandbox as root; the preview then runs without it.
  if (::geteuid() == 0) {
    QByteArray flags = qgetenv("QTWEBENGINE_CHROMIUM_FLAGS");
    if (!flags.contains("--no-sandbox"))
      qputenv("QTWEBENGINE_CHROMIUM_FLAGS", flags + " --no-sandbox");
  }
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  app.setApplicationName("lignado");
  app.setApplicationDisplayName("Lignado");
  // Qt's own dialogs (buttons, file chooser) speak French like the rest of the program.
  QTranslator qtFrench;
  if (qtFrench.load(QLocale(QLocale::French), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&qtFrench);
  lignado::ui::TfmWebAssistant wizard(lignado::ui::SystemDialogs());
  wizard.show();
  return app.exec();
}
