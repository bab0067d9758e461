#include <fcntl.h>
#include <unistd.h>

#include <QApplication>
#include <QLibraryInfo>
#include <QLocale>
#include <QSocketNotifier>
#include <QTranslator>
#include <csignal>
#include <cstdio>
#include <memory>

#include "ui/Dialogs.h"
#include "ui/uAssistant.h"
#include "util/Utf8.h"
#include "util/WizardArguments.h"

namespace {

// A desktop ends its session with SIGTERM: the wizard then closes as if its close box were
// pressed, so that what the user chose is saved. The handler only wakes the event loop.
int gQuitPipe[2] = {-1, -1};

extern "C" void onQuitSignal(int) {
  const char byte = 1;
  [[maybe_unused]] ssize_t n = ::write(gQuitPipe[1], &byte, 1);
}

void catchQuitSignals() {
  if (::pipe2(gQuitPipe, O_CLOEXEC | O_NONBLOCK) != 0) return;
  struct sigaction action {};
  action.sa_handler = onQuitSignal;
  sigemptyset(&action.sa_mask);
  action.sa_flags = SA_RESTART;
  ::sigaction(SIGTERM, &action, nullptr);
  ::sigaction(SIGINT, &action, nullptr);
}

}  // namespace

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
  catchQuitSignals();
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
  // A signal that came before the window waits in the pipe and closes it at once.
  std::unique_ptr<QSocketNotifier> quit;
  if (gQuitPipe[0] >= 0) {
    quit = std::make_unique<QSocketNotifier>(gQuitPipe[0], QSocketNotifier::Read);
    QObject::connect(quit.get(), &QSocketNotifier::activated, &wizard, [&wizard] {
      char bytes[16];
      while (::read(gQuitPipe[0], bytes, sizeof bytes) > 0) {
      }
      wizard.close();
    });
  }
  wizard.show();
  return app.exec();
}
