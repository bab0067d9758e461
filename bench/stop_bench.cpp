// Time from a stop request to the end of a generation (the last page written), on a generated
// tree of 20,000 persons (LIGNADO_BENCH_PERSONS changes it), the stop asked at several moments
// of the build, with one and two threads. Sites go to tmpfs (/dev/shm) when there is one.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>

#include "TreeGen.h"
#include "util/Host.h"
#include "workflow/Publication.h"

namespace {

using namespace lignado;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

fs::path scratchRoot() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

struct Tree {
  fs::path folder;
  std::unique_ptr<TBD> db;
  Tree() {
    std::string t = (scratchRoot() / "lignado-stop-XXXXXX").string();
    if (!mkdtemp(t.data())) return;
    folder = t;
    const char* env = std::getenv("LIGNADO_BENCH_PERSONS");
    const int persons = env ? std::atoi(env) : 20000;
    const fs::path ged = folder / "arbre.ged";
    if (!bench::WriteTree(ged.string(), persons > 0 ? persons : 20000)) return;
    ImportOutcome w = ImportForPublication(ged.string(), {}, nullptr);
    if (!w.result.failed) db = std::move(w.db);
  }
  ~Tree() {
    std::error_code ec;
    if (!folder.empty()) fs::remove_all(folder, ec);
  }
};

Tree& tree() {
  static Tree t;
  return t;
}

// Says "stop" from the moment another thread raises the flag.
class FlagHost : public Host {
 public:
  std::atomic<bool> stop{false};
  void showMessage(const std::string&) override {}
  void setStatus(const std::string&) override {}
  void setProgressMax(long long) override {}
  void setProgressPos(long long) override {}
  void processMessages() override {}
  bool abortRequested() override { return stop.load(std::memory_order_relaxed); }
};

// Arguments: the delay before the stop request (ms), the number of threads.
void BM_StopLatency(benchmark::State& state) {
  Tree& t = tree();
  if (!t.db) {
    state.SkipWithError("no tree");
    return;
  }
  const auto delay = std::chrono::milliseconds(state.range(0));
  const int jobs = static_cast<int>(state.range(1));
  const fs::path tpl = fs::path(LIGNADO_SOURCE_DIR) / "modele" / "classique";
  int stopped = 0;
  for (auto _ : state) {
    const fs::path site = t.folder / "site";
    std::error_code ec;
    fs::remove_all(site, ec);
    fs::create_directories(site);
    FlagHost host;
    Clock::time_point asked{};
    std::thread stopper([&] {
      std::this_thread::sleep_for(delay);
      asked = Clock::now();
      host.stop = true;
    });
    const GenerateOutcome out =
        GeneratePublication(*t.db, tpl, site, &host, LivingMode::Hide, jobs);
    const Clock::time_point ended = Clock::now();
    stopper.join();
    if (out.stopped) ++stopped;
    // A build that ended before the request measures nothing: count it as zero latency.
    const double seconds = out.stopped ? std::chrono::duration<double>(ended - asked).count() : 0.0;
    state.SetIterationTime(seconds);
  }
  state.counters["stopped"] = stopped;
}
BENCHMARK(BM_StopLatency)
    ->ArgsProduct({{50, 500, 2000}, {1, 2}})
    ->ArgNames({"delay_ms", "jobs"})
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond)
    ->Iterations(3);

}  // namespace
