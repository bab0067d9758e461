#include <benchmark/benchmark.h>

#include <cstdint>
#include <iterator>
#include <string>

#include "data/Base.h"
#include "genealogy/Rech.h"
#include "pages/Remplace.h"

namespace {

using namespace lignado;

const char* const kSurnames[] = {"DUPONT", "Dupont", "Martin", "Le Gall", "Bernard", "\xC9tienne",
                                 "Moreau", "Petit",  "Durand", "LEROY",   "Roux",    "Fournier"};
const char* const kGivenNames[] = {"Jean",
                                   "Marie",
                                   "Pierre",
                                   "Anne",
                                   "Louis",
                                   "Jeanne",
                                   "Yves",
                                   "Ma\xEB"
                                   "l",
                                   "Herv\xE9",
                                   "Sophie",
                                   "Paul",
                                   "Claire"};

// A root and its descendants over ten generations, the persons numbered as a binary heap
// (the parent of i is i / 2), up to the database's capacity; a couple per parent and child.
void fill(TBD& db) {
  uint32_t state = 12345;
  auto next = [&state]() {
    state = state * 1103515245u + 12345u;
    return (state >> 16) & 0x7FFF;
  };
  for (int i = 1; i <= db.Capacity(); ++i) {
    int32_t p = db.NewPerson();
    db.SetSex(p, static_cast<int>(next() % 2));
    db.SetSurname(p, kSurnames[next() % std::size(kSurnames)]);
    db.SetGivenNames(p, kGivenNames[next() % std::size(kGivenNames)]);
    if (i > 1) {
      int32_t parent = i / 2;
      if (db.GetSex(parent) == 0)
        db.SetFather(p, parent);
      else
        db.SetMother(p, parent);
    }
  }
}

void BM_DescendantNumTenGenerations(benchmark::State& state) {
  TBD db(1000);
  fill(db);
  for (auto _ : state) {
    TR list = DescendantNum(db, 1, 10);
    if (list.Nb != 999) state.SkipWithError("not every descendant was listed");
    benchmark::DoNotOptimize(list.Nb);
  }
}
BENCHMARK(BM_DescendantNumTenGenerations);

// The sorts and the search compare what the pages give them: a tag expansion.
PersonText nameLine(const TBD& db) {
  static const std::string kLine = "<nom> <pr\xE9nom>";
  return [&db](int32_t p) { return ExpandTags(db, p, kLine); };
}

void BM_TrieParTexteAllPersons(benchmark::State& state) {
  TBD db(1000);
  fill(db);
  const TR all = TousNum(db);
  for (auto _ : state) {
    TR list = all;
    if (!TrieParTexte(list, nameLine(db))) state.SkipWithError("tri interrompu");
    benchmark::DoNotOptimize(list.Lit(1));
  }
}
BENCHMARK(BM_TrieParTexteAllPersons);

void BM_CommenceParEmptyPrefix(benchmark::State& state) {
  TBD db(1000);
  fill(db);
  for (auto _ : state) benchmark::DoNotOptimize(CommencePar(db, nameLine(db), "").Nb);
}
BENCHMARK(BM_CommenceParEmptyPrefix);

}  // namespace
