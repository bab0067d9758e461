#include "genealogy/Rech.h"

#include <gtest/gtest.h>

#include <vector>

#include "TestSupport.h"
#include "data/Base.h"

using namespace lignado;

namespace {

const std::string kNomPrenom = "<nom> <pr\xE9nom>";

std::vector<int32_t> entries(const TR& list) {
  std::vector<int32_t> v;
  for (int i = 1; i <= list.Nb; ++i) v.push_back(list.Lit(i));
  return v;
}

using V = std::vector<int32_t>;

int32_t addPerson(TBD& db, const std::string& nom, const std::string& pre, int sex,
                  int32_t father = 0, int32_t mother = 0) {
  int32_t p = db.NewPerson();
  db.SetSurname(p, nom);
  db.SetGivenNames(p, pre);
  db.SetSex(p, sex);
  db.SetFather(p, father);
  db.SetMother(p, mother);
  return p;
}

int32_t addUnion(TBD& db, int32_t husband, int32_t wife, const std::string& date) {
  int32_t u = db.NewUnion();
  db.SetHusband(u, husband);
  db.SetWife(u, wife);
  if (!date.empty()) db.SetUnionEvent(u, kMariage, date, 2);
  return u;
}

// Three generations and a fourth: Paul (5) married three times (1910, undated, 1900), Claire (7)
// remarried, half-siblings on the father's side (9, 10 / 11) and the mother's (11 / 15), a
// single mother (8), an unknown-sex person (13), and Theo (14) whose parents are cousins, so
// Jean (1) and Marie (2) are reached along two lines.
class Family : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(addPerson(db, "DUPONT", "Jean", 0), 1);
    ASSERT_EQ(addPerson(db, "Martin", "Marie", 1), 2);
    ASSERT_EQ(addPerson(db, "Durand", "Pierre", 0), 3);
    ASSERT_EQ(addPerson(db, "Leroy", "Anne", 1), 4);
    ASSERT_EQ(addPerson(db, "Dupont", "Paul", 0, 1, 2), 5);
    ASSERT_EQ(addPerson(db, "Durand", "Louise", 1, 3, 4), 6);
    ASSERT_EQ(addPerson(db, "Bernard", "Claire", 1), 7);
    ASSERT_EQ(addPerson(db, "Dupont", "Sophie", 1, 1, 2), 8);
    ASSERT_EQ(addPerson(db, "Dupont", "Luc", 0, 5, 6), 9);
    ASSERT_EQ(addPerson(db, "Dupont", "Emma", 1, 5, 6), 10);
    ASSERT_EQ(addPerson(db, "Dupont", "Hugo", 0, 5, 7), 11);
    ASSERT_EQ(addPerson(db, "Dupont",
                        "L\xE9"
                        "a",
                        1, 0, 8),
              12);
    ASSERT_EQ(addPerson(db, "Moreau", "Dominique", 2), 13);
    ASSERT_EQ(addPerson(db, "Dupont", "Th\xE9o", 0, 9, 12), 14);
    ASSERT_EQ(addPerson(db, "Bernard", "Jules", 0, 16, 7), 15);
    ASSERT_EQ(addPerson(db, "Bernard", "Marc", 0), 16);
    ASSERT_EQ(addPerson(db, "Petit", "Jeanne", 1), 17);
    ASSERT_EQ(addPerson(db, "Oubli", "Slot", 0, 5, 6), 18);
    db.SetPersonField(18, 0, "0");  // freed but its parent links stay: it is nobody

    ASSERT_EQ(addUnion(db, 5, 6, "1910"), 1);
    ASSERT_EQ(addUnion(db, 5, 7, ""), 2);
    ASSERT_EQ(addUnion(db, 5, 17, "1900"), 3);
    ASSERT_EQ(addUnion(db, 16, 7, "12/5/1890"), 4);
    ASSERT_EQ(addUnion(db, 9, 12, "3/6/1950"), 5);
    ASSERT_EQ(addUnion(db, 11, 13, "1960"), 6);
    ASSERT_EQ(addUnion(db, 13, 10, ""), 7);  // the unknown-sex person as husband
    ASSERT_EQ(addUnion(db, 16, 0, ""), 8);   // a union without a wife
  }
  TBD db;
};

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
  // Unknown sex: looked up as a wife only, so union 7 (as husband) is not hers.
  EXPECT_EQ(entries(UnionNum(db, 13)), (V{6}));
  EXPECT_EQ(entries(ConjointNumR(db, 13)), (V{11}));
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
  // ("1900", "vers 1900", "1900") are not exchanged.
  EXPECT_EQ(entries(UnionNum(db, man)), (V{7, 2, 6, 4, 5, 3, 1}));
  TRR r;
  for (int32_t u : {1, 2, 3, 4, 5, 6, 7}) r.Ajoute(u);
  r.TrieParDate(db, kMariage);
  EXPECT_EQ(entries(r), (V{7, 2, 6, 4, 5, 3, 1}));
  TRR divorces;
  for (int32_t u : {3, 1}) divorces.Ajoute(u);
  divorces.TrieParDate(db, kDivorce);  // no divorce dates: nothing moves
  EXPECT_EQ(entries(divorces), (V{3, 1}));
}

TEST(Rech, TextSortFoldsCaseAndOrdersBytes) {
  TBD db;
  const std::vector<std::string> names = {"b",   "A",      "_x",          "\xC9mile",
                                          "abc", "martin", "MARTINEZ",    "Zed",
                                          "ab",  "\xE9va", "Martin-Roux", ""};
  for (const std::string& n : names) addPerson(db, n, "", 0);
  TR list = TousNum(db);
  TrieParTexte(db, list, "<nom>");
  // "" first; a-z fold to upper case so "_" (after "Z") follows the letters; accented
  // letters are lowered and compare by their byte after every ASCII letter.
  EXPECT_EQ(entries(list), (V{12, 2, 9, 5, 1, 6, 11, 7, 8, 3, 4, 10}));
  EXPECT_EQ(ListeVersTexte(list), "12|2|9|5|1|6|11|7|8|3|4|10");
}

TEST(Rech, TextSortFollowsTheQuicksortAndStopsOnEscape) {
  TBD db;
  for (const char* n : {"d", "B", "e", "a", "C"}) addPerson(db, n, "", 0);
  TR list = TousNum(db);
  TrieParTexte(db, list, "<nom>");
  EXPECT_EQ(entries(list), (V{4, 2, 5, 1, 3}));

  test::RecordingHost host;
  host.abortAfter = 1;  // Escape is down at the first look: one partition only
  TR partly = TousNum(db);
  TrieParTexte(db, partly, "<nom>", &host);
  EXPECT_EQ(entries(partly), (V{1, 2, 5, 4, 3}));
  EXPECT_EQ(host.abortCalls, 1);

  test::RecordingHost idle;
  idle.abortAfter = 1000;  // never reached: asked once per partition
  TR whole = TousNum(db);
  TrieParTexte(db, whole, "<nom>", &idle);
  EXPECT_EQ(entries(whole), (V{4, 2, 5, 1, 3}));
  EXPECT_EQ(idle.abortCalls, 3);

  // Equal keys are exchanged by the partition: the sort is not stable.
  TBD twins;
  addPerson(twins, "Dupont", "", 0);
  addPerson(twins, "DUPONT", "", 0);
  TR pair = TousNum(twins);
  TrieParTexte(twins, pair, "<nom>");
  EXPECT_EQ(entries(pair), (V{2, 1}));
}

TEST_F(Family, TextSortByNameAndGivenName) {
  TR list = TousNum(db);
  TrieParTexte(db, list, kNomPrenom);
  EXPECT_EQ(ListeVersTexte(list), "7|15|16|10|11|1|9|12|5|8|14|6|3|4|2|13|17");
}

TEST_F(Family, PrefixSearchKeepsOnePersonPerText) {
  EXPECT_EQ(entries(CommencePar(db, "<nom>", "du")), (V{1, 3}));
  EXPECT_EQ(entries(CommencePar(db, "<nom>", "DUP")), (V{1}));
  EXPECT_EQ(entries(CommencePar(db, "<nom>", "")), (V{1, 2, 3, 4, 7, 13, 17}));
  EXPECT_EQ(entries(CommencePar(db, "<nom>", "dupontx")), V{});
  EXPECT_EQ(entries(CommencePar(db, "<nom>", "x")), V{});
  EXPECT_EQ(entries(CommencePar(db, kNomPrenom, "dupont l")), (V{9, 12}));
  EXPECT_EQ(entries(CommencePar(db, kNomPrenom, "DUPONT L\xC9")), (V{12}));
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

TEST_F(Family, ListKeywords) {
  struct Case {
    std::string kind, a, b, result;
  };
  const std::vector<Case> cases = {
      {"parent", "9", "", "5|6"},
      {"enfant", " 5", "", "9|10|11"},
      {"enfant", "abc", "", ""},
      {"fatrie", "11", "", "9|10|15"},
      {"conjoint", "5", "", "17|7|6"},
      {"tous", "", "", "1|2|3|4|5|6|7|8|9|10|11|12|13|14|15|16|17"},
      {"asc", "14", " 1", "14|9|12"},
      {"asc", "14", "", "14"},
      {"des", "1", " 2", "5|9|10|11|8|12"},
      {"commencepar", "<nom>", "du", "1|3"},
      {"trie", "<nom>", "17|13|3|1", "1|3|13|17"},
      {"trie", "<nom>", "", "0"},
      {"fratrie", "11", "", ""},
      {"", "1", "", ""},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ListeMotCle(db, c.kind, c.a, c.b), c.result) << c.kind << "(" << c.a << ")";

  EXPECT_EQ(NombreMotCle(db, "individu"), "17");
  EXPECT_EQ(NombreMotCle(db, "union"), "7");  // union 8 has no wife
  EXPECT_EQ(NombreMotCle(db, "patronyme"), "7");
  EXPECT_EQ(NombreMotCle(db, "source"), "");
}

TEST(Rech, TrieKeywordStopsOnEscapeThroughTheHost) {
  TBD db;
  for (const char* n : {"d", "B", "e", "a", "C"}) addPerson(db, n, "", 0);
  test::RecordingHost host;
  host.abortAfter = 1;
  EXPECT_EQ(ListeMotCle(db, "trie", "<nom>", "1|2|3|4|5", &host), "1|2|5|4|3");
  EXPECT_EQ(ListeMotCle(db, "trie", "<nom>", "1|2|3|4|5"), "4|2|5|1|3");
}
