#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "ui/Dialogs.h"
#include "ui/uAssistant.h"
#include "util/Utf8.h"
#include "util/WizardArguments.h"

int main(int argc, char** argv) {
  // Read before Qt starts, so that --help, --version and a refused line need no display.
  const lignado::WizardStart start = lignado::ParseWizardArguments({argv + 1, argv + argc});
  if (!start.run) {
    std::fputs(lignado::Cp1252ToUtf8(start.text).c_str(), start.status == 0 ? stdout : stderr);
    return start.status;
  }
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
  // The desktop entry it belongs to: its icon and name on a Wayland desktop.
  app.setDesktopFileName("lignado");
  // Qt's own dialogs (buttons, file chooser) speak French like the rest of the program.
  QTranslator qtFrench;
  if (qtFrench.load(QLocale(QLocale::French), "qtbase", "_",
                    QLibraryInfo::path(QLibraryInfo::TranslationsPath)))
    app.installTranslator(&qtFrench);
  lignado::ui::WizardOptions options;
  options.openFile = start.file;
  lignado::ui::TfmWebAssistant wizard(lignado::ui::SystemDialogs(), options);
  wizard.show();
  return app.exec();
}
