// The wizard's figures, measured offscreen (QT_QPA_PLATFORM=offscreen), all in one run:
//  1. start to the first painted page (application, window, settings, first paint);
//  2. import of a generated tree (100,000 persons; LIGNADO_BENCH_PERSONS changes it) through
//     the wizard (Suivant from the file page: the work on its thread, the window's event loop
//     going on) against the same call on the calling thread without a window, and against
//     lignado-cli import; and the longest time the window's event loop left a 5 ms timer
//     waiting meanwhile;
//  3. the generation of that tree through the wizard (Suivant from the destination page)
//     against GeneratePublication called directly and lignado-cli build, each into a new
//     folder (tmpfs when there is one);
//  4. a stop (Escape) during the wizard's generation: time to the last page written and to the
//     window's question "Création des pages interrompue";
//  5. the preview's switch to a person page of the default template, on the example family and
//     on the tree.
// A one-shot program rather than a Google Benchmark: the first paint happens once per process.

#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QProgressBar>
#include <QPushButton>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTimer>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "TreeGen.h"
#include "ui/Dialogs.h"
#include "ui/QtHost.h"
#include "ui/uAssistant.h"
#include "ui/uWeb.h"
#include "workflow/Publication.h"

namespace {

namespace fs = std::filesystem;
using Steady = std::chrono::steady_clock;
const Steady::time_point kStart = Steady::now();

double msSince(Steady::time_point t) {
  return std::chrono::duration<double, std::milli>(Steady::now() - t).count();
}

double best(std::vector<double> v) {
  return *std::min_element(v.begin(), v.end());
}
double median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v[v.size() / 2];
}

// CPU time of the process (all threads, user and system), ms.
double cpuMs() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return (u.ru_utime.tv_sec + u.ru_stime.tv_sec) * 1000.0 +
         (u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1000.0;
}

// Wall-clock time in ms, to compare with file times.
double realMs() {
  timespec now{};
  clock_gettime(CLOCK_REALTIME, &now);
  return now.tv_sec * 1000.0 + now.tv_nsec / 1e6;
}

// The latest modification time (wall clock, ms) of the files below a folder.
double newestFileMs(const fs::path& root) {
  double newest = 0;
  std::error_code ec;
  for (auto it = fs::recursive_directory_iterator(root, ec); !ec && it != fs::end(it);
       it.increment(ec)) {
    struct stat st {};
    if (::stat(it->path().c_str(), &st) == 0 && S_ISREG(st.st_mode))
      newest = std::max(newest, st.st_mtim.tv_sec * 1000.0 + st.st_mtim.tv_nsec / 1e6);
  }
  return newest;
}

// Milliseconds since the kernel started this process (10 ms steps), so that loading the
// libraries counts too.
double msSinceExec() {
  std::FILE* f = std::fopen("/proc/self/stat", "r");
  if (!f) return -1;
  char buf[1024] = {};
  size_t n = std::fread(buf, 1, sizeof buf - 1, f);
  std::fclose(f);
  std::string stat(buf, n);
  size_t at = stat.rfind(')');
  unsigned long long start = 0;
  // Field 22 (starttime), counted from the state field (3) after the command name.
  if (at == std::string::npos ||
      std::sscanf(
          stat.c_str() + at + 2,
          "%*c %*d %*d %*d %*d %*d %*u %*u %*u %*u %*u %*u %*u %*d %*d %*d %*d %*d %*d %llu",
          &start) != 1)
    return -1;
  timespec now{};
  clock_gettime(CLOCK_BOOTTIME, &now);
  double ticks = static_cast<double>(sysconf(_SC_CLK_TCK));
  return (now.tv_sec + now.tv_nsec / 1e9 - start / ticks) * 1000.0;
}

// Runs the event loop until done() or 30 s.
template <typename Done>
void loopUntil(Done done) {
  QElapsedTimer t;
  t.start();
  while (!done() && t.elapsed() < 30000)
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
}

class FirstPaint : public QObject {
 public:
  bool painted = false;
  bool eventFilter(QObject*, QEvent* e) override {
    if (e->type() == QEvent::Paint) painted = true;
    return false;
  }
};

// The benchmark's answers: OK to every message, the questions to onAsk (No without it).
class BenchDialogs : public lignado::ui::Dialogs {
 public:
  std::function<bool(const QString&)> onAsk;
  std::vector<QString> messages;
  void message(QWidget*, const QString& text) override { messages.push_back(text); }
  bool ask(QWidget*, const QString& text) override { return onAsk ? onAsk(text) : false; }
  QString openFile(QWidget*, const QString&, const QString&) override { return {}; }
  QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
  bool openUrl(const QUrl&) override { return true; }
};

// How long the window's event loop leaves a 5 ms timer waiting: the longest gap between two
// of its ticks, less the 5 ms.
class Answering {
 public:
  Answering() {
    QObject::connect(&timer_, &QTimer::timeout, [this] {
      worst = std::max(worst, msSince(last_) - 5.0);
      last_ = Steady::now();
    });
  }
  void start() {
    worst = 0;
    last_ = Steady::now();
    timer_.start(5);
  }
  void stop() { timer_.stop(); }
  double worst = 0;

 private:
  QTimer timer_;
  Steady::time_point last_;
};

double runProgram(const std::vector<std::string>& args) {
  auto t = Steady::now();
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    std::vector<char*> argv;
    for (const std::string& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(LIGNADO_CLI, argv.data());
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
    std::printf("  (lignado-cli %s ended with status %d)\n", args[1].c_str(), status);
  return msSince(t);
}

fs::path scratchRoot() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lignado;
  const char* env = std::getenv("LIGNADO_BENCH_PERSONS");
  const int persons = env ? std::atoi(env) : 100000;
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QTemporaryDir tmp(QString::fromStdString((scratchRoot() / "lignado-wizard-XXXXXX").string()));
  const std::string dir = tmp.path().toStdString() + "/";
  // The wizard finds the built templates as the user's own.
  fs::create_directories(dir + "data/lignado");
  fs::copy(fs::path(LIGNADO_BINARY_DIR) / "modele", dir + "data/lignado/modele",
           fs::copy_options::recursive);
  qputenv("XDG_DATA_HOME", QByteArray::fromStdString(dir + "data"));
  const std::string tree = dir + "arbre.ged";
  const std::string templateDir = dir + "data/lignado/modele/classique/";
  if (!bench::WriteTree(tree, persons)) return 1;
  std::ofstream(dir + "lignado.ini")
      << "[Recent]\nLast=" << tree << "\nfile0=" << tree
      << "\n[Modele]\nLast=classique\n[Export]\nfolder=" << dir << "assistant/\nDestine=CD\n";
  const fs::path wizardSite = dir + "assistant/A graver";

  // 1. Start to first paint.
  BenchDialogs dialogs;
  FirstPaint paint;
  ui::TfmWebAssistant wizard(dialogs, {dir, dir + "lignado.ini"});
  wizard.installEventFilter(&paint);
  wizard.show();
  loopUntil([&] { return paint.painted; });
  std::printf("Start to first painted page: %.1f ms from main, %.0f ms from the process start\n",
              msSince(kStart), msSinceExec());
  auto button = [&](const char* name) { return wizard.findChild<QPushButton*>(name); };
  auto page = [&] {
    return wizard.findChild<QStackedWidget*>("PageControl1")->currentWidget()->objectName();
  };
  Answering answering;

  // 2. Import.
  std::vector<double> direct, inWizard, cli, worstWait, directCpu, wizardCpu;
  std::unique_ptr<TBD> previous;  // emptied by the next import, as the wizard's is
  button("bSuivant")->click();    // to the file page
  for (int i = 0; i < 3; ++i) {
    auto t = Steady::now();
    double c = cpuMs();
    ImportOutcome a = ImportForPublication(tree, ImportOptions{}, nullptr, std::move(previous));
    direct.push_back(msSince(t));
    directCpu.push_back(cpuMs() - c);
    const int directPersons = a.persons;
    previous = std::move(a.db);
    answering.start();
    t = Steady::now();
    c = cpuMs();
    button("bSuivant")->click();  // imports, back when the import has returned
    inWizard.push_back(msSince(t));
    wizardCpu.push_back(cpuMs() - c);
    answering.stop();
    worstWait.push_back(answering.worst);
    if (directPersons != persons || wizard.Database().PersonCount != persons)
      std::printf("  (persons read: %d, %d)\n", directPersons, wizard.Database().PersonCount);
    cli.push_back(runProgram({"lignado-cli", "import", tree}));
    if (i < 2) button("bPrecedent")->click();
  }
  previous.reset();
  std::printf(
      "Import of %d persons, best of 3: direct call %.0f ms, through the wizard %.0f ms "
      "(%+.1f%%), lignado-cli import %.0f ms\n",
      persons, best(direct), best(inWizard), 100.0 * (best(inWizard) - best(direct)) / best(direct),
      best(cli));
  std::printf("  CPU time, best of 3: direct %.0f ms, through the wizard %.0f ms (%+.1f%%)\n",
              best(directCpu), best(wizardCpu),
              100.0 * (best(wizardCpu) - best(directCpu)) / best(directCpu));
  std::printf("  the window's event loop answered within %.1f ms (worst of the 3 imports)\n",
              *std::max_element(worstWait.begin(), worstWait.end()));

  // 3. Generation.
  button("bSuivant")->click();  // template
  button("bSuivant")->click();  // destination
  if (page() != "ts5") std::printf("  (on page %s, not ts5)\n", qPrintable(page()));
  direct.clear();
  inWizard.clear();
  cli.clear();
  worstWait.clear();
  directCpu.clear();
  wizardCpu.clear();
  const char* runsEnv = std::getenv("LIGNADO_BENCH_RUNS");
  const int runs = runsEnv ? std::max(1, std::atoi(runsEnv)) : 2;
  auto generateDirect = [&] {
    const fs::path out = dir + "direct";
    fs::remove_all(out);
    fs::create_directories(out);
    auto t = Steady::now();
    double c = cpuMs();
    GenerateOutcome g;
    auto call = [&] {
      g = GeneratePublication(wizard.Database(), templateDir, out, nullptr, LivingMode::Hide, 0,
                              fs::path(tree).parent_path());
    };
    call();
    direct.push_back(msSince(t));
    directCpu.push_back(cpuMs() - c);
    if (!g.done) std::printf("  (direct generation failed: %s)\n", g.failure.c_str());
    fs::remove_all(out);
  };
  auto generateInWizard = [&] {
    fs::remove_all(wizardSite);
    answering.start();
    auto t = Steady::now();
    double c = cpuMs();
    button("bSuivant")->click();  // generates, back when the generation has returned
    inWizard.push_back(msSince(t));
    wizardCpu.push_back(cpuMs() - c);
    answering.stop();
    worstWait.push_back(answering.worst);
    if (page() != "ts6") std::printf("  (on page %s, not ts6)\n", qPrintable(page()));
    button("bPrecedent")->click();
    fs::remove_all(wizardSite);
  };
  // A first run, not counted, builds what the database keeps for later runs.
  generateDirect();
  direct.clear();
  directCpu.clear();
  for (int i = 0; i < runs; ++i) {
    // Each goes first every other time: neither is favoured by what the other left.
    if (i % 2 == 0) {
      generateInWizard();
      generateDirect();
    } else {
      generateDirect();
      generateInWizard();
    }
    const std::string cliOut = dir + "cli";
    fs::remove_all(cliOut);
    cli.push_back(runProgram({"lignado-cli", "build", tree, "--out", cliOut}));
    fs::remove_all(cliOut);
  }
  std::printf(
      "Generation of %d persons, best of %d: direct call %.0f ms, through the wizard %.0f ms "
      "(%+.1f%%), lignado-cli build %.0f ms\n",
      persons, runs, best(direct), best(inWizard),
      100.0 * (best(inWizard) - best(direct)) / best(direct), best(cli));
  std::printf("  CPU time, best of %d: direct %.0f ms, through the wizard %.0f ms (%+.1f%%)\n",
              runs, best(directCpu), best(wizardCpu),
              100.0 * (best(wizardCpu) - best(directCpu)) / best(directCpu));
  std::printf("  the window's event loop answered within %.1f ms (worst of the %d generations)\n",
              *std::max_element(worstWait.begin(), worstWait.end()), runs);

  // 4. Stop during the wizard's generation, at a third of its pages.
  std::vector<double> toLastPage, toReturn, toQuestion;
  for (int i = 0; i < 3; ++i) {
    fs::remove_all(wizardSite);
    double askedAt = 0, questionAt = 0, returnedAt = 0;
    Steady::time_point asked;
    QMetaObject::Connection returned =
        QObject::connect(wizard.host(), &ui::QtHost::busyChanged, [&] {
          if (!wizard.Busy() && askedAt > 0) returnedAt = msSince(asked);
        });
    dialogs.onAsk = [&](const QString&) {
      questionAt = msSince(asked);
      return false;
    };
    QTimer watch;
    QObject::connect(&watch, &QTimer::timeout, [&] {
      auto* bar = wizard.findChild<QProgressBar*>("ProgressBar2");
      if (!bar || bar->value() < 33) return;
      watch.stop();
      asked = Steady::now();
      askedAt = realMs();
      QKeyEvent escape(QEvent::KeyPress, Qt::Key_Escape, Qt::NoModifier);
      QApplication::sendEvent(bar, &escape);
    });
    watch.start(1);
    button("bSuivant")->click();
    dialogs.onAsk = nullptr;
    QObject::disconnect(returned);
    toLastPage.push_back(newestFileMs(wizardSite) - askedAt);
    toReturn.push_back(returnedAt);
    if (std::getenv("LIGNADO_BENCH_VERBOSE"))
      std::printf("  stop %d: newest file %.3f, asked %.3f, returned %.1f, question %.1f\n", i,
                  newestFileMs(wizardSite), askedAt, returnedAt, questionAt);
    toQuestion.push_back(questionAt);
    button("bPrecedent")->click();
  }
  auto worst = [](const std::vector<double>& v) { return *std::max_element(v.begin(), v.end()); };
  std::printf(
      "Stop (Escape at a third of the pages), median of 3 (worst): after the request, the last "
      "page written %.1f ms (%.1f; file times, kernel clock ticks), the work returned %.1f ms "
      "(%.1f), the window's question shown %.1f ms (%.1f)\n",
      median(toLastPage), worst(toLastPage), median(toReturn), worst(toReturn), median(toQuestion),
      worst(toQuestion));

  // 5. Preview page switch on the person page of the default template.
  auto measure = [&](const TBD& db, const char* what) {
    ui::TfmWeb web(nullptr, "Lignado V1.1", templateDir, db, dialogs, nullptr);
    auto* view = web.findChild<QWebEngineView*>("wb");
    bool loaded = false;
    QObject::connect(view->page(), &QWebEnginePage::loadFinished,
                     [&](bool ok) { loaded = loaded || ok; });
    web.show();
    loopUntil([&] { return loaded; });
    std::vector<double> times;
    for (int n = 1; n <= 21; ++n) {
      loaded = false;
      auto t = Steady::now();
      web.ShowPage("personne", "n=" + std::to_string(n * 37 % db.PersonCount + 1));
      loopUntil([&] { return loaded; });
      times.push_back(msSince(t));
    }
    std::printf("Preview switch to a person page (%s), median of 21: %.1f ms\n", what,
                median(times));
  };
  ImportOutcome example = ImportForPublication(
      std::string(LIGNADO_SOURCE_DIR) + "/examples/famille-exemple.ged", {}, nullptr);
  measure(*example.db, "example family");
  measure(wizard.Database(), "the generated tree");
  return 0;
}
