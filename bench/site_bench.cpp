#include <benchmark/benchmark.h>
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "pages/SiteGeneration.h"
#include "pages/uParser.h"
#include "workflow/Publication.h"

namespace {

using namespace lignado;
namespace fs = std::filesystem;

const char* const kSurnames[] = {"DUPONT", "MARTIN", "LE GALL", "BERNARD", "MOREAU",
                                 "PETIT",  "DURAND", "LEROY",   "ROUX",    "FOURNIER",
                                 "GIRARD", "BONNET", "LAMBERT", "FONTAINE"};
const char* const kGivenNames[] = {"Jean", "Marie",  "Pierre", "Anne",   "Louis",   "Jeanne",
                                   "Yves", "Sophie", "Paul",   "Claire", "Jacques", "Louise"};
const char* const kPlaces[] = {
    "Quimper, Finist\xE8re, Bretagne, France", "Lyon, Rh\xF4ne, Rh\xF4ne-Alpes, France",
    "Rouen, Seine-Maritime, Normandie, France", "Tours, Indre-et-Loire, Centre, France"};
const char* const kMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                               "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

// The 1000-person file of the import benchmark: 400 couples, one child each, 600 births and
// 300 marriages; it fits the default capacity.
std::string importBenchFile() {
  static const char* const given[] = {"Jean",     "Marie",        "Pierre",      "Anne",
                                      "Yves",     "H\xE9l\xE8ne", "Fran\xE7ois", "Ma\xEF",
                                      "Corentin", "Jos\xE9phine"};
  static const char* const surname[] = {"Le Gall", "Morvan",     "Lef\xE8vre", "Qu\xE9m\xE9neur",
                                        "Cadiou",  "Gu\xE9guen", "Kerbrat",    "Fontaine"};
  static const char* const place[] = {
      "France, Bretagne, 29, 200 Brest, Kerbonne", "France, Bretagne, 29, 000 Quimper, Locmaria",
      "France, Normandie, 14, 400 Bayeux",
      "France, Auvergne-Rh\xF4ne-Alpes, 69, 004 Lyon, Croix-Rousse"};
  auto date = [](int i) {
    return std::to_string(1 + i % 28) + " " + kMonths[i % 12] + " " +
           std::to_string(1700 + i % 300);
  };
  std::string g = "0 HEAD\r\n1 SOUR BENCH\r\n1 CHAR ANSI\r\n1 GEDC\r\n2 VERS 5.5\r\n";
  const int persons = 1000, families = 400;
  for (int i = 1; i <= persons; ++i) {
    std::string n = std::to_string(i);
    g += "0 @I" + n + "@ INDI\r\n1 NAME " + given[i % 10] + " /" + surname[i % 8] + "/\r\n";
    g += i % 2 ? "1 SEX M\r\n" : "1 SEX F\r\n";
    if (i % 5 < 3) g += "1 BIRT\r\n2 DATE " + date(i) + "\r\n2 PLAC " + place[i % 4] + "\r\n";
    g += "1 FAMS @F" + std::to_string(1 + i / 3) + "@\r\n";
  }
  for (int f = 1; f <= families; ++f) {
    g += "0 @F" + std::to_string(f) + "@ FAM\r\n1 HUSB @I" + std::to_string(2 * f - 1) +
         "@\r\n1 WIFE @I" + std::to_string(2 * f) + "@\r\n";
    if (f % 4) g += "1 MARR\r\n2 DATE " + date(f) + "\r\n2 PLAC " + place[f % 4] + "\r\n";
    int c = 2 * families + f;
    if (c <= persons) g += "1 CHIL @I" + std::to_string(c) + "@\r\n";
  }
  return g + "0 @S1@ SOUR\r\n1 TITL Registres\r\n0 TRLR\r\n";
}

// A heavier family: 1000 persons, couples (2f-1, 2f) for f = 1..490, and every person from 101
// on a child of couple (i-101)/2+1, so ten generations, each person with birth, most with
// death, job and note (2,200 events: it needs a capacity of 3000).
std::string tenGenerationsFile() {
  std::string g = "0 HEAD\n1 SOUR BENCH\n1 GEDC\n2 VERS 5.5\n1 CHAR ANSI\n";
  auto date = [](int i, int year) {
    return std::to_string(1 + i % 28) + " " + kMonths[i % 12] + " " + std::to_string(year);
  };
  for (int i = 1; i <= 1000; ++i) {
    int year = 1700 + i / 4;
    g += "0 @I" + std::to_string(i) + "@ INDI\n";
    g += std::string("1 NAME ") + kGivenNames[i % 12] + " /" + kSurnames[(i * 7) % 14] + "/\n";
    g += std::string("1 SEX ") + (i % 2 ? "M" : "F") + "\n";
    g += "1 BIRT\n2 DATE " + date(i, year) + "\n2 PLAC " + kPlaces[i % 4] + "\n";
    if (i % 3 != 0)
      g += "1 DEAT\n2 DATE " + date(i + 5, year + 60) + "\n2 PLAC " + kPlaces[(i + 1) % 4] + "\n";
    g += "1 OCCU Laboureur\n1 NOTE Une note sur la personne " + std::to_string(i) + ".\n";
    if (i <= 980) g += "1 FAMS @F" + std::to_string((i + 1) / 2) + "@\n";
    if (i >= 101) g += "1 FAMC @F" + std::to_string((i - 101) / 2 + 1) + "@\n";
  }
  for (int f = 1; f <= 490; ++f) {
    g += "0 @F" + std::to_string(f) + "@ FAM\n1 HUSB @I" + std::to_string(2 * f - 1) +
         "@\n1 WIFE @I" + std::to_string(2 * f) + "@\n";
    g += "1 MARR\n2 DATE " + date(f, 1720 + f / 2) + "\n2 PLAC " + kPlaces[f % 4] + "\n";
    for (int c = 101 + 2 * (f - 1); c <= 102 + 2 * (f - 1) && c <= 1000; ++c)
      g += "1 CHIL @I" + std::to_string(c) + "@\n";
  }
  return g + "0 TRLR\n";
}

struct Fixture {
  fs::path root, ged, dest;
  std::string tpl;
  explicit Fixture(const std::string& gedcom) {
    std::string t = (fs::temp_directory_path() / "lignado-bench-XXXXXX").string();
    root = mkdtemp(t.data()) ? fs::path(t) : fs::path();
    ged = root / "famille.ged";
    dest = root / "site";
    std::ofstream(ged, std::ios::binary) << gedcom;
    tpl = std::string(LIGNADO_SOURCE_DIR) + "/modele/classique/";
  }
  ~Fixture() {
    std::error_code ec;
    if (!root.empty()) fs::remove_all(root, ec);
  }
  bool ready() const { return !root.empty() && fs::exists(tpl + "index.kshtml"); }
  void freshDest() {
    std::error_code ec;
    fs::remove_all(dest, ec);
    fs::create_directory(dest, ec);
  }
  long long bytesWritten() const {
    long long n = 0;
    for (const auto& e : fs::recursive_directory_iterator(dest))
      if (e.is_regular_file()) n += static_cast<long long>(e.file_size());
    return n;
  }
};

// Every record read, nothing left out by a full pool.
bool import(TBD& db, const Fixture& fx) {
  THead head;
  ImportResult r = ImportGedcom(db, fx.ged.string(), head, kModeAnsel, false, false, true, nullptr);
  return !r.failed && !r.incomplete() && db.PersonCount == 1000;
}

void report(benchmark::State& state, long long pages, long long bytes) {
  state.counters["pages/s"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kIsRate);
  state.counters["MB/s"] =
      benchmark::Counter(static_cast<double>(bytes) / 1e6, benchmark::Counter::kIsRate);
  state.counters["pages"] =
      benchmark::Counter(static_cast<double>(pages), benchmark::Counter::kAvgIterations);
  state.counters["bytes"] =
      benchmark::Counter(static_cast<double>(bytes), benchmark::Counter::kAvgIterations);
}

// The whole job of "lignado-cli build": import the file, then the classique site.
void importAndGenerate(benchmark::State& state, const std::string& gedcom, int capacity) {
  Fixture fx(gedcom);
  if (!fx.ready()) return state.SkipWithError("no temp folder or no modele/classique");
  long long pages = 0, bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fx.freshDest();
    state.ResumeTiming();
    TBD db(capacity);
    if (!import(db, fx)) return state.SkipWithError("import failed");
    TKSParse parser(db);
    SiteResult r = GenerateSite(parser, fx.tpl, fx.dest.string() + "/", nullptr);
    state.PauseTiming();
    pages += r.pagesWritten;
    bytes += fx.bytesWritten();
    state.ResumeTiming();
  }
  report(state, pages, bytes);
}

void BM_ImportAndGenerateClassique1000(benchmark::State& state) {
  importAndGenerate(state, importBenchFile(), 1000);
}
BENCHMARK(BM_ImportAndGenerateClassique1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// The generation alone, on the same imported database.
void BM_GenerateClassique1000(benchmark::State& state) {
  Fixture fx(importBenchFile());
  if (!fx.ready()) return state.SkipWithError("no temp folder or no modele/classique");
  TBD db(1000);
  if (!import(db, fx)) return state.SkipWithError("import failed");
  long long pages = 0, bytes = 0;
  for (auto _ : state) {
    state.PauseTiming();
    fx.freshDest();
    state.ResumeTiming();
    TKSParse parser(db);
    SiteResult r = GenerateSite(parser, fx.tpl, fx.dest.string() + "/", nullptr);
    state.PauseTiming();
    pages += r.pagesWritten;
    bytes += fx.bytesWritten();
    state.ResumeTiming();
  }
  report(state, pages, bytes);
}
BENCHMARK(BM_GenerateClassique1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// A build run again into the folder of the earlier one, the pages replaced: the generation
// alone, then through the publication workflow, which also reads, compares and rewrites the
// list of pages written (the difference is the cost of that list).
void generateAgain(benchmark::State& state, bool workflow) {
  Fixture fx(importBenchFile());
  if (!fx.ready()) return state.SkipWithError("no temp folder or no modele/classique");
  TBD db(1000);
  if (!import(db, fx)) return state.SkipWithError("import failed");
  fx.freshDest();
  GeneratePublication(db, fx.tpl, fx.dest, nullptr);
  long long pages = 0, bytes = 0;
  for (auto _ : state) {
    int written = 0;
    if (workflow) {
      GenerateOutcome r = GeneratePublication(db, fs::path(fx.tpl).parent_path(), fx.dest, nullptr);
      if (!r.done || r.staleRemoved != 0) return state.SkipWithError("generation failed");
      written = r.pagesWritten;
    } else {
      TKSParse parser(db);
      written = GenerateSite(parser, fx.tpl, fx.dest.string() + "/", nullptr).pagesWritten;
    }
    state.PauseTiming();
    pages += written;
    bytes += fx.bytesWritten();
    state.ResumeTiming();
  }
  report(state, pages, bytes);
}
void BM_GenerateAgainClassique1000(benchmark::State& state) {
  generateAgain(state, false);
}
void BM_PublishAgainClassique1000(benchmark::State& state) {
  generateAgain(state, true);
}
BENCHMARK(BM_GenerateAgainClassique1000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_PublishAgainClassique1000)->Unit(benchmark::kMillisecond)->UseRealTime();

// Ten generations make long ancestor and descendant pages: about 50 MB of HTML.
void BM_ImportAndGenerateClassiqueTenGenerations(benchmark::State& state) {
  importAndGenerate(state, tenGenerationsFile(), 3000);
}
BENCHMARK(BM_ImportAndGenerateClassiqueTenGenerations)
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

}  // namespace
