// GEDCOM import speed on generated files of 1000 and 100,000 persons, at the default capacity
// (the database follows the file), and the larger one also at a fixed capacity of 200000; then
// files that pile notes on one record: a 100 KB note record linked 1000 times from one person,
// and 10,000 distinct notes of 500 bytes on one person and on one family.

#include <benchmark/benchmark.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "data/Base.h"
#include "gedcom/GedcomIn.h"

namespace {

using namespace lignado;

const char* const kGiven[] = {"Jean",         "Marie",       "Pierre", "Anne",     "Yves",
                              "H\xE9l\xE8ne", "Fran\xE7ois", "Ma\xEF", "Corentin", "Jos\xE9phine"};
const char* const kSurname[] = {"Le Gall", "Morvan",     "Lef\xE8vre", "Qu\xE9m\xE9neur",
                                "Cadiou",  "Gu\xE9guen", "Kerbrat",    "Fontaine"};
const char* const kPlace[] = {"France, Bretagne, 29, 200 Brest, Kerbonne",
                              "France, Bretagne, 29, 000 Quimper, Locmaria",
                              "France, Normandie, 14, 400 Bayeux",
                              "France, Auvergne-Rh\xF4ne-Alpes, 69, 004 Lyon, Croix-Rousse"};
const char* const kMonth[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                              "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

std::string date(int i) {
  return std::to_string(1 + i % 28) + " " + kMonth[i % 12] + " " + std::to_string(1700 + i % 300);
}

// persons, families; events: births for persons whose number mod 5 is below birthsPer5,
// deaths for every other person when `rich`, marriages for 3 families in 4.
std::string generate(int persons, int families, int birthsPer5, bool rich) {
  std::string g = "0 HEAD\r\n1 SOUR BENCH\r\n1 CHAR ANSI\r\n1 GEDC\r\n2 VERS 5.5\r\n";
  g.reserve(static_cast<size_t>(persons) * (rich ? 260 : 90));
  for (int i = 1; i <= persons; ++i) {
    std::string n = std::to_string(i);
    g += "0 @I" + n + "@ INDI\r\n1 NAME " + kGiven[i % 10] + " /" + kSurname[i % 8] + "/\r\n";
    g += i % 2 ? "1 SEX M\r\n" : "1 SEX F\r\n";
    if (i % 5 < birthsPer5)
      g += "1 BIRT\r\n2 DATE " + date(i) + "\r\n2 PLAC " + kPlace[i % 4] + "\r\n";
    if (rich) {
      if (i % 2) g += "1 DEAT\r\n2 DATE ABT " + std::to_string(1760 + i % 300) + "\r\n";
      g += "1 OCCU Tisserand\r\n1 NOTE Une note sur cette personne, assez longue pour\r\n"
           "2 CONC tenir sur deux lignes.\r\n1 SOUR @S1@\r\n";
    }
    g += "1 FAMS @F" + std::to_string(1 + i / 3) + "@\r\n";
  }
  for (int f = 1; f <= families; ++f) {
    int h = 2 * f - 1, w = 2 * f;
    g += "0 @F" + std::to_string(f) + "@ FAM\r\n1 HUSB @I" + std::to_string(h) + "@\r\n1 WIFE @I" +
         std::to_string(w) + "@\r\n";
    if (f % 4) g += "1 MARR\r\n2 DATE " + date(f) + "\r\n2 PLAC " + kPlace[f % 4] + "\r\n";
    int c = 2 * families + f;
    if (c <= persons) g += "1 CHIL @I" + std::to_string(c) + "@\r\n";
  }
  g += "0 @S1@ SOUR\r\n1 TITL Registres\r\n0 TRLR\r\n";
  return g;
}

// A generated file in the temp folder, removed at exit.
struct TempFile {
  TempFile(const std::string& name, const std::string& bytes)
      : path((std::filesystem::temp_directory_path() / name).string()) {
    std::ofstream(path, std::ios::binary) << bytes;
  }
  ~TempFile() { std::remove(path.c_str()); }
  std::string path;
};

void importLoop(benchmark::State& state, const std::string& path, size_t bytes, int capacity,
                int wantPersons) {
  TBD db(capacity);
  THead head;
  for (auto _ : state) {
    state.PauseTiming();
    db.Clear();
    state.ResumeTiming();
    ImportResult r = ImportGedcom(db, path, head, kModeAnsel, false, false, true, nullptr);
    if (r.failed || r.incomplete() || db.PersonCount != wantPersons) {
      state.SkipWithError("import did not read the whole file");
      break;
    }
  }
  state.SetBytesProcessed(static_cast<int64_t>(state.iterations() * bytes));
  state.counters["file_MB"] = static_cast<double>(bytes) / 1e6;
  state.counters["persons"] = db.PersonCount;
  state.counters["unions"] = db.UnionCount;
  state.counters["events"] = db.EventCount;
}

void BM_Import1000(benchmark::State& state) {
  // 1000 persons, 400 families; 600 births and 300 marriages: 900 events.
  static const std::string bytes = generate(1000, 400, 3, false);
  static const TempFile file("lignado-bench-1000.ged", bytes);
  importLoop(state, file.path, bytes.size(), kGrowing, 1000);
}
BENCHMARK(BM_Import1000)->Unit(benchmark::kMillisecond);

const std::string& large() {
  static const std::string bytes = generate(100000, 40000, 5, true);
  return bytes;
}

void BM_Import100000(benchmark::State& state) {
  static const TempFile file("lignado-bench-100000.ged", large());
  importLoop(state, file.path, large().size(), static_cast<int>(state.range(0)), 100000);
}
BENCHMARK(BM_Import100000)->Arg(kGrowing)->Arg(200000)->Unit(benchmark::kMillisecond)->MinTime(2.0);

// One person (and one family) whose notes add up: `links` lines "1 NOTE @N1@" to a note of
// noteBytes, then inlineNotes notes of 500 bytes each, on the person and on the family.
std::string pileOfNotes(int links, size_t noteBytes, int inlineNotes) {
  std::string g = "0 HEAD\r\n1 CHAR ANSI\r\n0 @I1@ INDI\r\n1 NAME Jean /PILE/\r\n1 SEX M\r\n";
  std::string inlineLines;
  for (int i = 0; i < inlineNotes; ++i)
    inlineLines += "1 NOTE " + std::to_string(i) + std::string(490, 'n') + "\r\n";
  for (int i = 0; i < links; ++i) g += "1 NOTE @N1@\r\n";
  g += inlineLines;
  g += "0 @I2@ INDI\r\n1 NAME Anne /PILE/\r\n1 SEX F\r\n";
  g += "0 @F1@ FAM\r\n1 HUSB @I1@\r\n1 WIFE @I2@\r\n1 MARR\r\n";
  for (int i = 0; i < links; ++i) g += "1 NOTE @N1@\r\n";
  g += inlineLines;
  g += "0 @N1@ NOTE d\xE9"
       "but\r\n";
  for (size_t n = 0; n < noteBytes; n += 100) g += "1 CONC " + std::string(93, 'x') + "\r\n";
  g += "0 TRLR\r\n";
  return g;
}

void BM_ImportLinkedNote(benchmark::State& state) {
  static const std::string bytes = pileOfNotes(1000, 100000, 0);
  static const TempFile file("lignado-bench-linked-note.ged", bytes);
  importLoop(state, file.path, bytes.size(), kGrowing, 2);
}
BENCHMARK(BM_ImportLinkedNote)->Unit(benchmark::kMillisecond);

void BM_ImportManyNotes(benchmark::State& state) {
  static const std::string bytes = pileOfNotes(0, 0, 10000);
  static const TempFile file("lignado-bench-many-notes.ged", bytes);
  importLoop(state, file.path, bytes.size(), kGrowing, 2);
}
BENCHMARK(BM_ImportManyNotes)->Unit(benchmark::kMillisecond);

}  // namespace
