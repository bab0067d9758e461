#include "genealogy/Rech.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/RechFamily.h"

using namespace lignado;

namespace {

using test::addPerson;
using test::addUnion;
using test::entries;
using test::Family;
using test::V;

// What "<nom>" and "<nom> <pr\xE9nom>" expand to: the pages hand the expansion in.
PersonText surname(const TBD& db) {
  return [&db](int32_t p) { return db.GetSurname(p); };
}
PersonText nameAndGivenNames(const TBD& db) {
  return [&db](int32_t p) { return db.GetSurname(p) + " " + db.GetGivenNames(p); };
}

}  // namespace

TEST(TR, ReadsAndWritesWithinItsCapacity) {
  TR list(3);
  EXPECT_EQ(list.Capacity(), 3);
  EXPECT_EQ(list.Nb, 0);
  list.Ecrit(2, 7);
  EXPECT_EQ(list.Nb, 0);  // writing does not count
  EXPECT_EQ(list.Lit(2), 7);
  EXPECT_EQ(list.Lit(1), 0);
  list.Ecrit(0, 9);
  list.Ecrit(4, 9);
  EXPECT_EQ(list.Lit(0), 0);
  EXPECT_EQ(list.Lit(4), 0);
  EXPECT_EQ(list.Lit(-1), 0);
  list.Ajoute(1);
  list.Ajoute(2);
  list.Ajoute(3);
  list.Ajoute(4);  // full: nothing happens
  EXPECT_EQ(list.Nb, 3);
  EXPECT_EQ(entries(list), (V{1, 2, 3}));
  EXPECT_EQ(TR().Capacity(), 1000);
  EXPECT_EQ(TRR().Capacity(), 100);
}

TEST_F(Family, ParentsAndChildren) {
  EXPECT_EQ(entries(ParentNum(db, 9)), (V{5, 6}));
  EXPECT_EQ(entries(ParentNum(db, 12)), (V{8}));  // single mother
  EXPECT_EQ(entries(ParentNum(db, 15)), (V{16, 7}));
  EXPECT_EQ(entries(ParentNum(db, 1)), V{});
  EXPECT_EQ(entries(ParentNum(db, 0)), V{});
  EXPECT_EQ(entries(ParentNum(db, 18)), V{});
  EXPECT_EQ(entries(EnfantNum(db, 5)), (V{9, 10, 11}));  // not the freed slot 18
  EXPECT_EQ(entries(EnfantNum(db, 7)), (V{11, 15}));
  EXPECT_EQ(entries(EnfantNum(db, 1)), (V{5, 8}));
  EXPECT_EQ(entries(EnfantNum(db, 8)), (V{12}));
  EXPECT_EQ(entries(EnfantNum(db, 14)), V{});
  EXPECT_EQ(entries(EnfantNum(db, 0)), V{});
  EXPECT_EQ(entries(EnfantNum(db, -3)), V{});
  EXPECT_EQ(ListeVersTexte(EnfantNum(db, 14)), "");
  EXPECT_EQ(ListeVersTexte(EnfantNum(db, 0)), "");
}

TEST_F(Family, SiblingsIncludeHalfSiblingsOnEitherSide) {
  EXPECT_EQ(entries(FratrieNum(db, 9)), (V{10, 11}));      // 11 by the father
  EXPECT_EQ(entries(FratrieNum(db, 11)), (V{9, 10, 15}));  // 15 by the mother
  EXPECT_EQ(entries(FratrieNum(db, 15)), (V{11}));
  EXPECT_EQ(entries(FratrieNum(db, 5)), (V{8}));
  EXPECT_EQ(entries(FratrieNum(db, 12)), V{});  // only child of a single mother
  EXPECT_EQ(entries(FratrieNum(db, 7)), V{});   // no parents, no siblings
  EXPECT_EQ(entries(FratrieNum(db, 0)), V{});
  EXPECT_EQ(entries(FratrieNum(db, 18)), V{});
}

TEST_F(Family, UnionsAndSpousesByMarriageDate) {
  // Unions 1 (1910), 2 (no date), 3 (1900) in that order.
  EXPECT_EQ(entries(UnionNum(db, 5)), (V{3, 2, 1}));
  EXPECT_EQ(entries(UnionNumR(db, 5)), (V{3, 2, 1}));
  EXPECT_EQ(entries(ConjointNum(db, 5)), (V{17, 7, 6}));
  EXPECT_EQ(entries(ConjointNumR(db, 5)), (V{17, 7, 6}));
  EXPECT_EQ(DerniereUnion(db, 5), 1);
  // A woman: the husbands of the unions where she is the wife.
  EXPECT_EQ(entries(UnionNum(db, 7)), (V{2, 4}));
  EXPECT_EQ(entries(ConjointNum(db, 7)), (V{5, 16}));
  EXPECT_EQ(DerniereUnion(db, 7), 4);
  EXPECT_EQ(entries(ConjointNum(db, 10)), (V{13}));
  // Unknown sex: the unions as a wife (6) and as a husband (7), each with the other spouse.
  EXPECT_EQ(entries(UnionNum(db, 13)), (V{6, 7}));
  EXPECT_EQ(entries(ConjointNumR(db, 13)), (V{11, 10}));
  EXPECT_EQ(DerniereUnion(db, 13), 7);
  EXPECT_EQ(entries(ConjointNum(db, 11)), (V{13}));
  // A union without a wife still counts, its spouse being none.
  EXPECT_EQ(entries(ConjointNum(db, 16)), (V{7, 0}));
  EXPECT_EQ(DerniereUnion(db, 8), 0);
  // Nobody (0, a freed slot, out of range) has unions, even where a spouse is missing.
  EXPECT_EQ(entries(UnionNum(db, 0)), V{});
  EXPECT_EQ(entries(UnionNumR(db, 18)), V{});
  EXPECT_EQ(entries(ConjointNum(db, 99)), V{});
  EXPECT_EQ(DerniereUnion(db, 0), 0);
}

TEST_F(Family, EveryPersonInUse) {
  EXPECT_EQ(entries(TousNum(db)), (V{1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 17}));
}

TEST_F(Family, AncestorsByGeneration) {
  EXPECT_EQ(entries(AscendantNum(db, 14, 0)), (V{14}));
  EXPECT_EQ(entries(AscendantNum(db, 14, -5)), (V{14}));
  EXPECT_EQ(entries(AscendantNum(db, 14, 1)), (V{14, 9, 12}));
  EXPECT_EQ(entries(AscendantNum(db, 14, 2)), (V{14, 9, 12, 5, 6, 8}));
  EXPECT_EQ(entries(AscendantNum(db, 14, 3)), (V{14, 9, 12, 5, 6, 8, 1, 2, 3, 4, 1, 2}));
  EXPECT_EQ(entries(AscendantNum(db, 14, 50)), (V{14, 9, 12, 5, 6, 8, 1, 2, 3, 4, 1, 2}));
  EXPECT_EQ(entries(AscendantNum(db, 1, 3)), (V{1}));
  EXPECT_EQ(entries(AscendantNum(db, 18, 3)), (V{18}));
}

TEST_F(Family, DescendantsDepthFirst) {
  EXPECT_EQ(entries(DescendantNum(db, 1, 0)), (V{5, 8}));
  EXPECT_EQ(entries(DescendantNum(db, 1, 1)), (V{5, 8}));
  EXPECT_EQ(entries(DescendantNum(db, 1, 2)), (V{5, 9, 10, 11, 8, 12}));
  EXPECT_EQ(entries(DescendantNum(db, 1, 3)), (V{5, 9, 14, 10, 11, 8, 12, 14}));
  EXPECT_EQ(entries(DescendantNum(db, 7, 3)), (V{11, 15}));
  EXPECT_EQ(entries(DescendantNum(db, 14, 3)), V{});
  EXPECT_EQ(entries(DescendantNum(db, 0, 3)), V{});
}

TEST(Rech, LoopsInParentLinksEndWithAFullList) {
  TBD db(4);
  int32_t a = addPerson(db, "A", "", 0);
  int32_t b = addPerson(db, "B", "", 1);
  db.SetFather(a, a);  // own father
  db.SetMother(a, b);
  db.SetMother(b, a);
  EXPECT_EQ(entries(AscendantNum(db, a, 2000000000)), (V{1, 1, 2, 1}));
  EXPECT_EQ(entries(DescendantNum(db, a, 2000000000)), (V{1, 1, 1, 1}));
  EXPECT_EQ(entries(DescendantNum(db, b, 2000000000)), (V{1, 1, 1, 1}));
}

TEST(Rech, ListsFollowTheDatabaseCapacityAndTRRKeepsAHundred) {
  TBD db(200);
  int32_t man = addPerson(db, "Barbe-Bleue", "", 0);
  for (int i = 0; i < 101; ++i) addUnion(db, man, addPerson(db, "Epouse", "", 1), "");
  EXPECT_EQ(UnionNum(db, man).Capacity(), 200);
  EXPECT_EQ(UnionNum(db, man).Nb, 101);
  EXPECT_EQ(ConjointNum(db, man).Nb, 101);
  EXPECT_EQ(ConjointNum(db, man).Lit(101), 102);
  EXPECT_EQ(UnionNumR(db, man).Nb, 100);
  EXPECT_EQ(ConjointNumR(db, man).Nb, 100);
  EXPECT_EQ(DerniereUnion(db, man), 100);
  EXPECT_EQ(TousNum(db).Nb, 102);
}

TEST(Rech, DateSortKeepsUndatedUnionsInPlace) {
  TBD db;
  int32_t man = addPerson(db, "X", "", 0);
  const std::vector<std::string> dates = {"1920", "", "1910", "", "1900", "vers 1900", "1900"};
  for (const std::string& d : dates) addUnion(db, man, addPerson(db, "Y", "", 1), d);
  // Dated unions in ascending order over the positions they leave; equal dates
  // ("1900", "vers 1900", "1900") keep their order.
  EXPECT_EQ(entries(UnionNum(db, man)), (V{5, 2, 6, 4, 7, 3, 1}));
  EXPECT_EQ(entries(ConjointNum(db, man)), (V{6, 3, 7, 5, 8, 4, 2}));
  TRR r;
  for (int32_t u : {1, 2, 3, 4, 5, 6, 7}) r.Ajoute(u);
  r.TrieParDate(db, kMariage);
  EXPECT_EQ(entries(r), (V{5, 2, 6, 4, 7, 3, 1}));
  TRR divorces;
  for (int32_t u : {3, 1}) divorces.Ajoute(u);
  divorces.TrieParDate(db, kDivorce);  // no divorce dates: nothing moves
  EXPECT_EQ(entries(divorces), (V{3, 1}));
}

// Children and siblings come in birth order, the baptism standing in for a missing birth;
// undated children keep their places, equal dates keep the file's order.
TEST(Rech, ChildrenAndSiblingsInBirthOrder) {
  struct Child {
    std::string birth, baptism;
  };
  struct Case {
    std::vector<Child> children;
    V order;  // children numbered from 1 in file order
  } cases[] = {
      {{{"1932", ""}, {"1928", ""}, {"1915", ""}}, {3, 2, 1}},
      {{{"2/1915", ""}, {"1915", ""}, {"1/2/1915", ""}}, {2, 1, 3}},
      {{{"", "1920"}, {"1910", ""}, {"", ""}, {"1900", "1950"}}, {4, 2, 3, 1}},
      {{{"", ""}, {"1950", ""}, {"", ""}, {"1940", ""}}, {1, 4, 3, 2}},
      {{{"1900", ""}, {"vers 1900", ""}, {"1900", ""}, {"1899", ""}}, {4, 1, 2, 3}},
      {{{"apr\xE8s 1900", ""}, {"12/1900", ""}, {"avant 1900", ""}, {"1/1901", ""}}, {3, 2, 1, 4}},
      {{{"garbage", ""}, {"1800", ""}, {"", "x"}}, {1, 2, 3}},
  };
  for (const Case& c : cases) {
    TBD db;
    int32_t father = addPerson(db, "P", "", 0), mother = addPerson(db, "M", "", 1);
    V expected, siblings;
    for (const Child& child : c.children) {
      int32_t q = addPerson(db, "E", "", 0, father, mother);
      if (!child.birth.empty()) db.SetPersonEvent(q, kNaissance, child.birth, EventCode::Date);
      if (!child.baptism.empty()) db.SetPersonEvent(q, kBapteme, child.baptism, EventCode::Date);
    }
    for (int32_t n : c.order) expected.push_back(n + 2);
    SCOPED_TRACE(c.children.front().birth + "/" + c.children.back().birth);
    EXPECT_EQ(entries(EnfantNum(db, father)), expected);
    EXPECT_EQ(entries(EnfantNum(db, mother)), expected);
    EXPECT_EQ(entries(DescendantNum(db, father, 3)), expected);
    for (int32_t q : expected)
      if (q != expected.front()) siblings.push_back(q);
    EXPECT_EQ(entries(FratrieNum(db, expected.front())), siblings);
  }
}

TEST(Rech, TextSortFoldsCaseAndAccents) {
  TBD db;
  const std::vector<std::string> names = {"b",   "A",      "_x",          "\xC9mile",
                                          "abc", "martin", "MARTINEZ",    "Zed",
                                          "ab",  "\xE9va", "Martin-Roux", ""};
  for (const std::string& n : names) addPerson(db, n, "", 0);
  TR list = TousNum(db);
  EXPECT_TRUE(TrieParTexte(list, surname(db)));
  // "" first; letters fold to capitals without accents, so "_" (after "Z") follows them.
  EXPECT_EQ(entries(list), (V{12, 2, 9, 5, 1, 4, 10, 6, 11, 7, 8, 3}));
  EXPECT_EQ(ListeVersTexte(list), "12|2|9|5|1|4|10|6|11|7|8|3");
}

TEST(Rech, TextSortFollowsTheQuicksortAndStopsOnEscape) {
  TBD db;
  for (const char* n : {"d", "B", "e", "a", "C"}) addPerson(db, n, "", 0);
  TR list = TousNum(db);
  EXPECT_TRUE(TrieParTexte(list, surname(db)));
  EXPECT_EQ(entries(list), (V{4, 2, 5, 1, 3}));

  test::RecordingHost host;
  host.abortAfter = 1;  // Escape is down at the first look: one partition only
  TR partly = TousNum(db);
  EXPECT_FALSE(TrieParTexte(partly, surname(db), &host));  // says it stopped
  EXPECT_EQ(entries(partly), (V{1, 2, 5, 4, 3}));
  EXPECT_EQ(host.abortCalls, 1);

  test::RecordingHost idle;
  idle.abortAfter = 1000;  // never reached: asked once per partition
  TR whole = TousNum(db);
  EXPECT_TRUE(TrieParTexte(whole, surname(db), &idle));
  EXPECT_EQ(entries(whole), (V{4, 2, 5, 1, 3}));
  EXPECT_EQ(idle.abortCalls, 3);

  // Equal keys are exchanged by the partition: the sort is not stable.
  TBD twins;
  addPerson(twins, "Dupont", "", 0);
  addPerson(twins, "DUPONT", "", 0);
  TR pair = TousNum(twins);
  EXPECT_TRUE(TrieParTexte(pair, surname(twins)));
  EXPECT_EQ(entries(pair), (V{2, 1}));
}

TEST(Rech, TextSortInFrenchAlphabeticalOrder) {
  // Accents, ligatures and letter case count for nothing first; names equal that way keep
  // the byte order of their lowered texts (the plain letter before the accented one).
  const std::string sorted =
      "Adam|\xC6gir|\xC7"
      "a|Caen|Cz|DE LAVAL|DE L\xC9ON|DE LUXEMBOURG|Emile|\xC9mile|Muller|"
      "M\xFCller|Nunes|Nu\xF1"
      "ez|Odette|\x8C"
      "uf|Oeuvre|Strasbourg|Stra\xDF"
      "e|ZO\xC9";
  std::vector<std::string> names;
  for (size_t b = 0, e; b <= sorted.size(); b = e + 1) {
    e = std::min(sorted.find('|', b), sorted.size());
    names.push_back(sorted.substr(b, e - b));
  }
  for (size_t shift : {0, 7, 13}) {
    TBD db;
    for (size_t i = 0; i < names.size(); ++i) addPerson(db, names[(i * 7 + shift) % 20], "", 0);
    TR list = TousNum(db);
    EXPECT_TRUE(TrieParTexte(list, surname(db)));
    std::string got;
    for (int i = 1; i <= list.Nb; ++i) got += (i > 1 ? "|" : "") + db.GetSurname(list.Lit(i));
    EXPECT_EQ(got, sorted) << shift;
  }
}

TEST_F(Family, TextSortByNameAndGivenName) {
  TR list = TousNum(db);
  EXPECT_TRUE(TrieParTexte(list, nameAndGivenNames(db)));
  EXPECT_EQ(ListeVersTexte(list), "7|15|16|10|11|1|12|9|5|8|14|6|3|4|2|13|17");  // L\xE9a, Luc
}

TEST_F(Family, PrefixSearchKeepsOnePersonPerText) {
  EXPECT_EQ(entries(CommencePar(db, surname(db), "du")), (V{1, 3}));
  EXPECT_EQ(entries(CommencePar(db, surname(db), "DUP")), (V{1}));
  EXPECT_EQ(entries(CommencePar(db, surname(db), "")), (V{1, 2, 3, 4, 7, 13, 17}));
  EXPECT_EQ(entries(CommencePar(db, surname(db), "dupontx")), V{});
  EXPECT_EQ(entries(CommencePar(db, surname(db), "x")), V{});
  EXPECT_EQ(entries(CommencePar(db, nameAndGivenNames(db), "dupont l")), (V{9, 12}));
  EXPECT_EQ(entries(CommencePar(db, nameAndGivenNames(db), "DUPONT L\xC9")), (V{12}));
}

TEST_F(Family, DistinctValues) {
  EXPECT_EQ(entries(ValeursDistinctes(db, 2)), (V{1, 2, 3, 4, 7, 13, 17}));
  EXPECT_EQ(entries(ValeursDistinctes(db, 1)), (V{1, 2, 13}));  // H, F, I
  EXPECT_EQ(entries(ValeursDistinctes(db, 0)), V{});
  EXPECT_EQ(entries(ValeursDistinctes(db, 24)), V{});

  TBD small;
  addPerson(small, "DUPONT", "", 0);
  addPerson(small, "Dupont", "", 0);
  addPerson(small, "Martin", "", 0);
  addPerson(small, "\xC9TIENNE", "", 0);
  addPerson(small, "\xE9tienne", "", 0);
  addPerson(small, "", "", 0);
  addPerson(small, "", "", 0);
  EXPECT_EQ(entries(ValeursDistinctes(small, 2)), (V{1, 3, 4, 6}));
}

TEST(Rech, ListTextBothWays) {
  EXPECT_EQ(entries(TexteVersListe("")), (V{0}));
  EXPECT_EQ(entries(TexteVersListe("3|x|5")), (V{3, 0, 5}));
  EXPECT_EQ(entries(TexteVersListe("1|")), (V{1, 0}));
  EXPECT_EQ(entries(TexteVersListe(" 7|-2")), (V{7, -2}));
  EXPECT_EQ(entries(TexteVersListe("1|2|3|4", 3)), (V{1, 2, 3}));
  EXPECT_EQ(TexteVersListe("1|2").Capacity(), 1000);
  EXPECT_EQ(ListeVersTexte(TR()), "");
  EXPECT_EQ(ListeVersTexte(TexteVersListe("3|x|5")), "3|0|5");
  EXPECT_EQ(ListeVersTexte(TexteVersListe("")), "0");
  EXPECT_EQ(ListeVersTexte(TexteVersListe("12|7|123456")), "12|7|123456");
}
