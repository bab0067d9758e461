#include <benchmark/benchmark.h>

#include <string>

#include "data/Base.h"
#include "pages/Remplace.h"

namespace {

using namespace lignado;

// 1000 persons over ten generations: couples of consecutive numbers, each person after the
// first couple a child of an earlier couple, births and deaths with dates and five-part places.
void fill(TBD& db) {
  const int n = db.Capacity();
  for (int i = 1; i <= n; ++i) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, "NOM" + std::to_string(i % 97));
    db.SetGivenNames(p, "Pr\xE9nom" + std::to_string(i));
    db.SetSex(p, (i - 1) % 2);
    if (i > 2) {
      int32_t couple = ((i - 3) / 3) & ~1;  // a couple of an earlier generation
      db.SetFather(p, couple + 1);
      db.SetMother(p, couple + 2);
    }
    int year = 1700 + i / 4;
    db.SetPersonEvent(
        p, kNaissance,
        std::to_string(1 + i % 28) + "/" + std::to_string(1 + i % 12) + "/" + std::to_string(year),
        2);
    db.SetPersonEvent(p, kNaissance, "France, Bretagne, 29, 200 Brest, Kerbonne", 4);
    if (i % 2 == 0) {
      db.SetPersonEvent(p, kDeces, std::to_string(year + 60), 2);
      db.SetPersonEvent(p, kDeces, "France, Bretagne, 29, Quimper", 4);
    }
  }
  for (int i = 1; i + 1 <= n; i += 2) {
    int32_t u = db.NewUnion();
    db.SetHusband(u, i);
    db.SetWife(u, i + 1);
    db.SetUnionEvent(u, kMariage, std::to_string(1720 + i / 4), 2);
  }
}

void BM_ExpandTagsPersonLine(benchmark::State& state) {
  TBD db(1000);
  fill(db);
  const std::string line =
      "<nom> <pr\xE9nom>, n\xE9(e) le <ddn> \xE0 <ldn>, d\xE9"
      "c\xE9"
      "d\xE9(e) le <ddd> \xE0 "
      "<ldd> (<o+x>), <eve:Naissance,commune>, mari\xE9(e) \xE0 <conjoint 0><pr\xE9nom> <nom>";
  int32_t p = 1;
  for (auto _ : state) {
    benchmark::DoNotOptimize(ExpandTags(db, p, line));
    p = p % db.PersonCount + 1;
  }
}
BENCHMARK(BM_ExpandTagsPersonLine);

}  // namespace
