#include "genealogy/Sosa.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/Base.h"

namespace lignado {
namespace {

using Texts = std::vector<std::string>;

int32_t person(TBD& db, int32_t father = 0, int32_t mother = 0, const std::string& birth = "") {
  int32_t p = db.NewPerson();
  db.SetSurname(p, "X" + std::to_string(p));
  db.SetFather(p, father);
  db.SetMother(p, mother);
  if (!birth.empty()) db.SetPersonEvent(p, kNaissance, birth, EventCode::Date);
  return p;
}

TEST(Sosa, ImplexLoopsAndDepth) {
  TBD db;
  // The parents of r are uncle and niece: a and b are met along two lines.
  const int32_t a = person(db), b = person(db);
  const int32_t f = person(db, a, b), c = person(db, a, b), d = person(db);
  const int32_t m = person(db, c, d);
  const int32_t r = person(db, f, m);
  const int32_t stranger = person(db);
  // Two persons each the father of the other, as a broken file may say.
  const int32_t x = person(db), y = person(db, x);
  db.SetFather(x, y);
  // Seventy generations on the father's side and on the mother's.
  int32_t top = person(db), line = top, other = person(db);
  int32_t mothers = other;
  for (int g = 2; g <= 70; ++g) {
    line = person(db, line);
    mothers = person(db, 0, mothers);
  }
  const int32_t deep = person(db, line, mothers);

  struct Case {
    int32_t root, who;
    Texts numbers;
    bool more;
    int generation;
  };
  const Case cases[] = {
      {r, r, {"1"}, false, 1},
      {r, f, {"2"}, false, 2},
      {r, m, {"3"}, false, 2},
      {r, c, {"6"}, false, 3},
      {r, a, {"4", "12"}, false, 3},
      {r, b, {"5", "13"}, false, 3},
      {r, stranger, {}, false, 0},
      {x, x, {"1", "4", "16", "64"}, true, 1},
      {x, y, {"2", "8", "32", "128"}, false, 2},
      {deep, top, {"1180591620717411303424"}, false, 71},
      {deep, other, {"2361183241434822606847"}, false, 71},
      {0, r, {}, false, 0},
  };
  for (const Case& k : cases) {
    SCOPED_TRACE(testing::Message() << "root " << k.root << ", person " << k.who);
    TSosa sosa(db, k.root, 4);
    EXPECT_EQ(sosa.AllSosa(k.who), k.numbers);
    EXPECT_EQ(sosa.Sosa(k.who), k.numbers.empty() ? "" : k.numbers.front());
    EXPECT_EQ(sosa.MoreSosa(k.who), k.more);
    EXPECT_EQ(sosa.Generation(k.who), k.generation);
  }
}

TEST(Sosa, AbovilleFollowsBirthOrderAndTheShortestLine) {
  TBD db;
  const int32_t root = person(db), wife = person(db);
  const int32_t younger = person(db, root, wife, "3/4/1905");
  const int32_t elder = person(db, root, wife, "1/2/1901");
  const int32_t inLaw = person(db);
  const int32_t grandchild = person(db, elder, inLaw, "1930");
  // Both parents descend from root: the shorter line gives the number.
  const int32_t cousinChild = person(db, younger, grandchild, "1950");
  TSosa sosa(db, root);
  const struct {
    int32_t who;
    const char* number;
  } cases[] = {
      {root, "1"}, {elder, "1.1"}, {younger, "1.2"}, {grandchild, "1.1.1"}, {cousinChild, "1.2.1"},
      {wife, ""},  {inLaw, ""}};
  for (const auto& k : cases) EXPECT_EQ(sosa.Aboville(k.who), k.number) << k.who;
}

// Groups: parents, children and spouses link persons, whoever the reference person is; a
// group is named by its smallest number, and a childless couple is one group.
TEST(Sosa, GroupsOfLinkedPersons) {
  TBD db;
  const int32_t alone = person(db);
  const int32_t child = person(db);  // its parents come later: the group keeps the smallest
  const int32_t father = person(db), mother = person(db);
  db.SetFather(child, father);
  db.SetMother(child, mother);
  const int32_t husband = person(db), wife = person(db);
  const int32_t u = db.NewUnion();
  db.SetHusband(u, husband);
  db.SetWife(u, wife);
  const int32_t wifesMother = person(db);
  db.SetMother(wife, wifesMother);
  // A marriage joins two groups: the one named by the smaller number takes the other in.
  const int32_t other = person(db), otherChild = person(db, 0, other);
  const int32_t v = db.NewUnion();
  db.SetHusband(v, otherChild);
  db.SetWife(v, child);
  TSosa sosa(db, alone);
  const struct {
    int32_t who, group;
  } cases[] = {{alone, alone},      {child, child},  {father, child},        {mother, child},
               {husband, husband},  {wife, husband}, {wifesMother, husband}, {other, child},
               {otherChild, child}, {0, 0},          {db.PersonCount + 1, 0}};
  for (const auto& k : cases) EXPECT_EQ(sosa.Group(k.who), k.group) << k.who;
  // The same groups with a reference person that has none of its own.
  EXPECT_EQ(TSosa(db, 0).Group(wifesMother), husband);
}

}  // namespace
}  // namespace lignado
