// Import and whole-site generation on generated trees of the shape of real ones (TreeGen.h).
// 3,000 and 10,000 persons by default; LIGNADO_BENCH_LARGE=1 adds 100,000 and 1,000,000, and
// LIGNADO_BENCH_PERSONS=30000,300000 runs exactly the sizes listed.
// Files and sites go to tmpfs (/dev/shm) when there is one, so the figures measure our work
// rather than the disk.

#include <benchmark/benchmark.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "TreeGen.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "pages/SiteGeneration.h"
#include "pages/uParser.h"

namespace {

using namespace lignado;
namespace fs = std::filesystem;

fs::path scratchRoot() {
  std::error_code ec;
  if (fs::is_directory("/dev/shm", ec) && access("/dev/shm", W_OK) == 0) return "/dev/shm";
  return fs::temp_directory_path();
}

// One generated file per size for the whole run, removed at exit.
struct TreeFile {
  fs::path folder, ged;
  bench::TreeStats stats;
  explicit TreeFile(int persons) {
    std::string t = (scratchRoot() / "lignado-tree-XXXXXX").string();
    if (!mkdtemp(t.data())) return;
    folder = t;
    ged = folder / ("arbre-" + std::to_string(persons) + ".ged");
    if (!bench::WriteTree(ged.string(), persons, &stats)) ged.clear();
  }
  ~TreeFile() {
    std::error_code ec;
    if (!folder.empty()) fs::remove_all(folder, ec);
  }
  int capacity() const { return std::max({stats.persons, stats.families, stats.events, 1000}); }
};

const TreeFile& treeFile(int persons) {
  static std::map<int, std::unique_ptr<TreeFile>> files;
  auto& f = files[persons];
  if (!f) f = std::make_unique<TreeFile>(persons);
  return *f;
}

bool import(TBD& db, const TreeFile& tf, benchmark::State& state) {
  THead head;
  ImportResult r = ImportGedcom(db, tf.ged.string(), head, kModeAnsel, false, false, true, nullptr);
  if (r.failed) state.SkipWithError("import failed");
  db.IndexEvents();  // as a build does after its import
  return !r.failed;
}

void BM_TreeImport(benchmark::State& state) {
  const TreeFile& tf = treeFile(static_cast<int>(state.range(0)));
  if (tf.ged.empty()) return state.SkipWithError("no scratch folder");
  auto bytes = static_cast<int64_t>(fs::file_size(tf.ged));
  int persons = 0;
  for (auto _ : state) {
    TBD db(kGrowing);  // the default: the database takes the size of the file
    if (!import(db, tf, state)) return;
    persons = db.PersonCount;
  }
  state.SetBytesProcessed(state.iterations() * bytes);
  state.counters["persons"] = persons;
  state.counters["generations"] = tf.stats.generations;
}

void BM_TreeSite(benchmark::State& state) {
  const TreeFile& tf = treeFile(static_cast<int>(state.range(0)));
  if (tf.ged.empty()) return state.SkipWithError("no scratch folder");
  const int jobs = static_cast<int>(state.range(1));  // 0: one thread per core
  TBD db(tf.capacity());
  if (!import(db, tf, state)) return;
  std::string tpl = std::string(LIGNADO_SOURCE_DIR) + "/modele/classique/";
  fs::path dest = tf.folder / "site";
  long long pages = 0;
  for (auto _ : state) {
    state.PauseTiming();
    std::error_code ec;
    fs::remove_all(dest, ec);
    fs::create_directory(dest, ec);
    state.ResumeTiming();
    TKSParse parser(db);
    pages += GenerateSite(parser, tpl, dest.string() + "/", nullptr, jobs).pagesWritten;
  }
  state.counters["threads"] = PageThreads(jobs);
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
  state.counters["pages"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kAvgIterations);
}

const bool registered = [] {
  std::vector<int64_t> sizes{3000, 10000};
  if (const char* large = std::getenv("LIGNADO_BENCH_LARGE"); large && *large == '1') {
    sizes.push_back(100000);
    sizes.push_back(1000000);
  }
  if (const char* listed = std::getenv("LIGNADO_BENCH_PERSONS")) {
    sizes.clear();
    for (const char* p = listed; *p;) {
      char* end = nullptr;
      long n = std::strtol(p, &end, 10);
      if (end == p) break;
      if (n > 0) sizes.push_back(n);
      p = *end == ',' ? end + 1 : end;
    }
  }
  for (int64_t n : sizes) {
    benchmark::RegisterBenchmark("BM_TreeImport", BM_TreeImport)
        ->Arg(n)
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime();
    benchmark::RegisterBenchmark("BM_TreeSite", BM_TreeSite)
        ->Args({n, 1})
        ->Args({n, 0})
        ->Unit(benchmark::kMillisecond)
        ->UseRealTime()
        ->Iterations(1);
  }
  return true;
}();

}  // namespace
