// The kinship lists answer from the link index (TBD::Liens) and the prefix search from a text
// index; here every answer is checked against the plain scans of the whole tables that they
// replace, on the corpus files and while links change after the index was built.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "genealogy/DateLieu.h"
#include "genealogy/Rech.h"
#include "genealogy/RechFamily.h"
#include "util/Text.h"

using namespace lignado;
using test::entries;
using test::Family;
using test::V;

namespace {

namespace fs = std::filesystem;

// ---- The plain scans, as the lists were first built.

bool used(const TBD& db, int32_t q) {
  return db.IsPersonUsed(q);
}

V scanChildren(const TBD& db, int32_t p) {
  V r;
  if (p <= 0) return r;
  for (int32_t q = 1; q <= db.PersonCount; ++q)
    if (used(db, q) && (db.GetFather(q) == p || db.GetMother(q) == p)) r.push_back(q);
  return r;
}

V scanSiblings(const TBD& db, int32_t p) {
  V r;
  int32_t f = used(db, p) ? db.GetFather(p) : 0, m = used(db, p) ? db.GetMother(p) : 0;
  if (f == 0 && m == 0) return r;
  for (int32_t q = 1; q <= db.PersonCount; ++q)
    if (q != p && used(db, q) &&
        ((f != 0 && db.GetFather(q) == f) || (m != 0 && db.GetMother(q) == m)))
      r.push_back(q);
  return r;
}

// The unions of p, sorted by marriage date, and the spouse in each: a man's as husband, a
// woman's as wife, those of a person of unknown sex in either role.
V scanUnions(const TBD& db, int32_t p, int capacity) {
  TR list(capacity);
  const int sex = db.GetSex(p);
  if (used(db, p))
    for (int32_t u = 1; u <= db.UnionCount; ++u)
      if ((sex != 1 && db.GetHusband(u) == p) || (sex != 0 && db.GetWife(u) == p)) list.Ajoute(u);
  TrieParDate(db, list, kMariage);
  return entries(list);
}

V spouses(const TBD& db, int32_t p, const V& unions) {
  V r;
  for (int32_t u : unions)
    r.push_back(db.GetSex(p) == 0 || (db.GetSex(p) == 2 && db.GetHusband(u) == p)
                    ? db.GetWife(u)
                    : db.GetHusband(u));
  return r;
}

// The walk itself, over the children in the order that EnfantNum (checked above) gives.
void scanDescendants(const TBD& db, int32_t p, int32_t n, int32_t depth, V& out) {
  for (int32_t q : entries(EnfantNum(db, p))) {
    if (out.size() >= static_cast<size_t>(db.Capacity())) return;
    out.push_back(q);
    if (depth < n) scanDescendants(db, q, n, depth + 1, out);
  }
}

V scanPrefix(const TBD& db, const PersonText& text, const std::string& prefix) {
  auto fold = [](std::string s) {
    for (char& c : s) c = AsciiUpper(static_cast<char>(LowerCp1252(static_cast<unsigned char>(c))));
    return s;
  };
  V r;
  std::vector<std::string> kept;
  const std::string wanted = fold(prefix);
  for (int32_t q = 1; q <= db.PersonCount; ++q) {
    if (!used(db, q)) continue;
    std::string t = fold(text(q).value());
    if (t.compare(0, wanted.size(), wanted) != 0) continue;
    if (std::find(kept.begin(), kept.end(), t) != kept.end()) continue;
    kept.push_back(t);
    r.push_back(q);
  }
  return r;
}

std::string birthOrBaptism(const TBD& db, int32_t q) {
  std::string d = db.GetBirthDate(q);
  return d.empty() ? db.GetPersonEvent(q, kBapteme, EventCode::Date) : d;
}

// `got` holds the persons of `scan` (person-number order) in birth order: the undated ones in
// file order (and, with `places`, in the places they have in the scan), dates never descending,
// equal dates in scan order.
void expectFamilyOrder(const TBD& db, const V& got, const V& scan, bool places) {
  V sorted = got;
  std::sort(sorted.begin(), sorted.end());
  ASSERT_EQ(sorted, scan);
  auto year = [&db](int32_t q) { return LitDate(birthOrBaptism(db, q)).year; };
  int32_t previous = 0, previousUndated = 0;
  for (size_t i = 0; i < got.size(); ++i) {
    if (places) {
      ASSERT_EQ(year(got[i]) == 0, year(scan[i]) == 0) << "dated and undated mixed at " << i;
    }
    if (year(got[i]) == 0) {
      ASSERT_LT(previousUndated, got[i]) << "undated person out of file order at " << i;
      previousUndated = got[i];
      continue;
    }
    if (previous != 0) {
      std::string a = birthOrBaptism(db, previous), b = birthOrBaptism(db, got[i]);
      ASSERT_NE(CompareDate(a, b), 1) << a << " before " << b;
      if (a == b) {
        ASSERT_LT(previous, got[i]) << "equal dates out of file order: " << a;
      }
    }
    previous = got[i];
  }
}

// Every kinship list of every person, and of numbers outside the pool that links may hold,
// against the scans.
void expectListsMatchScans(const TBD& db, const std::string& where) {
  V numbers{-3, 99};
  for (int32_t p = 0; p <= db.PersonCount + 1; ++p) numbers.push_back(p);
  for (int32_t p : numbers) {
    SCOPED_TRACE(where + ", person " + std::to_string(p));
    expectFamilyOrder(db, entries(EnfantNum(db, p)), scanChildren(db, p), true);
    // p's own place among its siblings is left out of the list.
    expectFamilyOrder(db, entries(FratrieNum(db, p)), scanSiblings(db, p), false);
    V unions = scanUnions(db, p, db.Capacity());
    ASSERT_EQ(entries(UnionNum(db, p)), unions);
    ASSERT_EQ(entries(ConjointNum(db, p)), spouses(db, p, unions));
    V unionsR = scanUnions(db, p, 100);
    ASSERT_EQ(entries(UnionNumR(db, p)), unionsR);
    ASSERT_EQ(entries(ConjointNumR(db, p)), spouses(db, p, unionsR));
    ASSERT_EQ(DerniereUnion(db, p), unionsR.empty() ? 0 : unionsR.back());
    V descendants;
    scanDescendants(db, p, 4, 1, descendants);
    ASSERT_EQ(entries(DescendantNum(db, p, 4)), descendants);
  }
}

PersonText surnameAndFirstLetter(const TBD& db) {
  return [&db](int32_t p) { return db.GetSurname(p) + "|" + db.GetGivenNames(p).substr(0, 1); };
}

std::vector<fs::path> corpusFiles() {
  std::vector<fs::path> files;
  fs::path dir = test::corpusDir();
  if (dir.empty()) return files;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string ext = LowerAscii(e.path().extension().string());
    if (e.is_regular_file() && ext == ".ged") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

}  // namespace

TEST(RechScan, EveryListOfEveryCorpusFileMatchesThePlainScan) {
  std::vector<fs::path> files = corpusFiles();
  if (files.empty()) GTEST_SKIP() << "no corpus";
  for (const fs::path& file : files) {
    TBD db(100000);
    THead head;
    ImportResult r = ImportGedcom(db, file.string(), head, kModeAnsel, false, false, true, nullptr);
    ASSERT_FALSE(r.failed) << file;
    expectListsMatchScans(db, file.filename().string());
    PersonText text = surnameAndFirstLetter(db);
    TIndexTexte index(db, text);
    for (const std::string prefix : {"", "a", "S", "smith|", "\xC9", "zzz"})
      EXPECT_EQ(entries(index.CommencePar(prefix, db.Capacity())), scanPrefix(db, text, prefix))
          << file.filename() << " prefix " << prefix;
  }
}

TEST_F(Family, ListsFollowLinksChangedAfterTheIndexWasBuilt) {
  expectListsMatchScans(db, "start");
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"a parent set", [&] { db.SetFather(14, 5); }},
      {"a mother by field code", [&] { db.SetPersonField(13, PersonCode::NumM, "6"); }},
      {"a father outside the pool", [&] { db.SetFather(12, 99); }},
      {"a negative mother", [&] { db.SetMother(13, -3); }},
      {"the same negative mother", [&] { db.SetMother(14, -3); }},
      {"a slot freed by field code", [&] { db.SetPersonField(9, PersonCode::InUse, "0"); }},
      {"a person cleared", [&] { db.ClearPerson(6); }},
      {"a person taking the free slot", [&] { db.SetFather(db.NewPerson(), 5); }},
      {"a union cleared", [&] { db.ClearUnion(1); }},
      {"a union added", [&] { test::addUnion(db, 5, 13, "1890"); }},
      {"a wife by field code", [&] { db.SetUnionField(2, UnionCode::NumF, "12"); }},
      {"a husband set", [&] { db.SetHusband(3, 16); }},
      {"a sex changed", [&] { db.SetSex(16, 1); }},
      {"the count lowered", [&] { db.PersonCount -= 2; }},
      {"the union count lowered", [&] { db.UnionCount -= 1; }},
      {"everything cleared", [&] { db.Clear(); }},
  };
  for (const auto& [what, change] : changes) {
    change();
    expectListsMatchScans(db, what);
  }
}
