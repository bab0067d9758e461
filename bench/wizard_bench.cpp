// The wizard's figures, measured offscreen (QT_QPA_PLATFORM=offscreen):
//  1. start to the first painted page (application, window, settings, first paint);
//  2. import of the 100,000-person tree with the window's host (pending events every 182
//     records, a label and a bar) against no host, and against lignado-cli import;
//  3. the preview's switch to a person page of the default template (page run, scratch page,
//     browser load), on the example family and on the 100,000-person tree.
// A one-shot program rather than a Google Benchmark: the first paint happens once per process.

#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <QApplication>
#include <QElapsedTimer>
#include <QLabel>
#include <QProgressBar>
#include <QTemporaryDir>
#include <QTimer>
#include <QVBoxLayout>
#include <QWebEnginePage>
#include <QWebEngineView>
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <string>
#include <vector>

#include "TreeGen.h"
#include "ui/Dialogs.h"
#include "ui/QtHost.h"
#include "ui/uAssistant.h"
#include "ui/uWeb.h"
#include "workflow/Publication.h"

namespace {

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

// Quiet dialogs: the benchmark answers nothing.
class NoDialogs : public lignado::ui::Dialogs {
 public:
  void message(QWidget*, const QString&) override {}
  bool ask(QWidget*, const QString&) override { return false; }
  QString openFile(QWidget*, const QString&, const QString&) override { return {}; }
  QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
  bool openUrl(const QUrl&) override { return true; }
};

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

// Forwards to the window's host and adds up the time spent there.
class TimingHost : public lignado::Host {
 public:
  explicit TimingHost(lignado::Host& inner) : inner_(inner) {}
  double ms = 0;
  long calls = 0;
  void showMessage(const std::string& t) override {
    timed([&] { inner_.showMessage(t); });
  }
  void setStatus(const std::string& t) override {
    timed([&] { inner_.setStatus(t); });
  }
  void setProgressMax(long long v) override {
    timed([&] { inner_.setProgressMax(v); });
  }
  void setProgressPos(long long v) override {
    timed([&] { inner_.setProgressPos(v); });
  }
  void processMessages() override {
    timed([&] { inner_.processMessages(); });
  }
  bool abortRequested() override {
    bool r = false;
    timed([&] { r = inner_.abortRequested(); });
    return r;
  }

 private:
  template <typename F>
  void timed(F f) {
    auto t = Steady::now();
    f();
    ms += msSince(t);
    ++calls;
  }
  lignado::Host& inner_;
};

double runCli(const std::string& file) {
  auto t = Steady::now();
  std::fflush(stdout);
  pid_t pid = fork();
  if (pid == 0) {
    if (!freopen("/dev/null", "w", stdout) || !freopen("/dev/null", "w", stderr)) _exit(127);
    execl(LIGNADO_CLI, LIGNADO_CLI, "import", file.c_str(), "--capacity", "200000", nullptr);
    _exit(127);
  }
  int status = 0;
  waitpid(pid, &status, 0);
  return msSince(t);
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lignado;
  QCoreApplication::setAttribute(Qt::AA_ShareOpenGLContexts);
  QApplication app(argc, argv);
  QTemporaryDir tmp;
  const std::string dir = tmp.path().toStdString() + "/";
  NoDialogs dialogs;

  // 1. Start to first paint.
  FirstPaint paint;
  ui::TfmWebAssistant wizard(dialogs, {dir, dir + "lignado.ini"});
  wizard.installEventFilter(&paint);
  wizard.show();
  loopUntil([&] { return paint.painted; });
  std::printf("Start to first painted page: %.1f ms from main, %.0f ms from the process start\n",
              msSince(kStart), msSinceExec());

  // 2. Import of the 100,000-person tree.
  const std::string tree = dir + "arbre-100000.ged";
  if (!bench::WriteTree(tree, 100000)) return 1;
  ImportOptions options;
  options.capacity = 200000;
  QWidget window;
  auto* label = new QLabel(&window);
  auto* bar = new QProgressBar(&window);
  auto* layout = new QVBoxLayout(&window);
  layout->addWidget(label);
  layout->addWidget(bar);
  window.show();
  ui::QtHost host(&window, dialogs);
  host.attach(label, bar);
  std::vector<double> bare, hosted, cli, inHost;
  long hostCalls = 0;
  for (int i = 0; i < 5; ++i) {
    auto t = Steady::now();
    ImportOutcome a = ImportForPublication(tree, options, nullptr);
    bare.push_back(msSince(t));
    TimingHost timing(host);
    t = Steady::now();
    ImportOutcome b;
    host.run([&] { b = ImportForPublication(tree, options, &timing); });
    hosted.push_back(msSince(t));
    inHost.push_back(100.0 * timing.ms / hosted.back());
    hostCalls = timing.calls;
    if (a.persons != 100000 || b.persons != 100000)
      std::printf("  (persons read: %d, %d)\n", a.persons, b.persons);
    cli.push_back(runCli(tree));
  }
  std::printf(
      "Import of 100,000 persons, best of 5: no host %.0f ms, wizard host %.0f ms (+%.1f%%), "
      "lignado-cli import %.0f ms\n",
      best(bare), best(hosted), 100.0 * (best(hosted) - best(bare)) / best(bare), best(cli));
  std::printf(
      "  time inside the window's host (%ld calls: status, progress, pending events, "
      "Escape): median %.1f%% of the import\n",
      hostCalls, median(inHost));

  // 3. Preview page switch on the person page of the default template.
  const std::string templateDir = std::string(LIGNADO_BINARY_DIR) + "/modele/classique/";
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
  ImportOutcome big = ImportForPublication(tree, options, nullptr);
  measure(*big.db, "100,000 persons");
  return 0;
}
