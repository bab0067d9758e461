#include "genealogy/Vivants.h"

#include <gtest/gtest.h>

#include "data/Base.h"

namespace lignado {
namespace {

const FixedClock kToday({2024, 12, 7});

struct Fact {
  std::string kind, date;
};

struct Case {
  const char* what;
  std::vector<Fact> own;       // the person's events
  std::vector<Fact> child;     // a child's events, when there is a child
  std::string marriage = "-";  // a union's marriage date; "-" for no union
  bool living;
};

int32_t addPerson(TBD& db, const std::vector<Fact>& facts) {
  int32_t p = db.NewPerson();
  db.SetSurname(p, "X");
  for (const Fact& f : facts) {
    int32_t e = db.AddPersonEvent(p);
    db.EventRecord(e)->Kind = f.kind;
    db.EventRecord(e)->Date = f.date;
  }
  return p;
}

// The rule at its edges, today being 7/12/2024.
TEST(VivantsTest, WhoCountsAsLiving) {
  const std::string apres = "apr\xE8s";
  const Case cases[] = {
      {"nothing known", {}, {}, "-", true},
      {"born 100 years and a day ago", {{kNaissance, "6/12/1924"}}, {}, "-", false},
      {"born 100 years ago to the day", {{kNaissance, "7/12/1924"}}, {}, "-", true},
      {"born in the year 100 years ago", {{kNaissance, "1924"}}, {}, "-", true},
      {"born in 11/1924", {{kNaissance, "11/1924"}}, {}, "-", false},
      {"born 101 years ago", {{kNaissance, "1923"}}, {}, "-", false},
      {"born 99 years ago", {{kNaissance, "1925"}}, {}, "-", true},
      {"baptised long ago", {{kBapteme, "vers 1850"}}, {}, "-", false},
      {"born after a year long ago", {{kNaissance, apres + " 1850"}}, {}, "-", true},
      {"born in a range long ago", {{kNaissance, apres + " 1850 avant 1860"}}, {}, "-", false},
      {"born in a range ending late", {{kNaissance, apres + " 1850 avant 1930"}}, {}, "-", true},
      {"born before a recent year", {{kNaissance, "avant 1930"}}, {}, "-", true},
      {"a birth without a date", {{kNaissance, ""}}, {}, "-", true},
      {"a death without a date", {{kDeces, ""}}, {}, "-", false},
      {"a recent birth and a death", {{kNaissance, "2000"}, {kDeces, "2010"}}, {}, "-", false},
      {"a burial or cremation only", {{kSepulture, ""}}, {}, "-", false},
      {"no dates, a child born 81 years ago", {}, {{kNaissance, "1943"}}, "-", false},
      {"no dates, a child baptised 81 years ago", {}, {{kBapteme, "1943"}}, "-", false},
      {"no dates, a child born 80 years ago", {}, {{kNaissance, "1944"}}, "-", true},
      {"no dates, a child with no dates", {}, {{kDeces, ""}}, "-", true},
      {"married 80 years and a day ago", {}, {}, "6/12/1944", false},
      {"married 80 years ago to the day", {}, {}, "7/12/1944", true},
      {"married without a date", {}, {}, "", true},
  };
  TBD db;
  std::vector<int32_t> persons;
  for (const Case& c : cases) {
    int32_t p = addPerson(db, c.own);
    persons.push_back(p);
    if (!c.child.empty()) db.SetFather(addPerson(db, c.child), p);
    if (c.marriage != "-") {
      int32_t spouse = addPerson(db, {});
      int32_t u = db.NewUnion();
      db.SetHusband(u, p);
      db.SetWife(u, spouse);
      db.SetUnionEvent(u, kMariage, c.marriage, 2);
    }
  }
  const TVivants hide(db, LivingMode::Hide, kToday);
  const TVivants publish(db, LivingMode::Publish, kToday);
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    EXPECT_EQ(hide.EstVivant(persons[i]), cases[i].living) << cases[i].what;
    EXPECT_EQ(hide.Masque(persons[i]), cases[i].living) << cases[i].what;
    EXPECT_FALSE(hide.Anonyme(persons[i])) << cases[i].what;
    EXPECT_FALSE(publish.Masque(persons[i])) << cases[i].what;
  }
  // The spouse married long ago counts as dead too, the child born 81 years ago as living.
  EXPECT_FALSE(hide.EstVivant(persons[20] + 1));
  EXPECT_TRUE(hide.EstVivant(persons[16] + 1));
  EXPECT_FALSE(hide.EstVivant(0));
  EXPECT_FALSE(hide.EstVivant(db.PersonCount + 1));
}

// A person with no fact of their own, and one relative born on a given day; today 7/12/2024.
TEST(VivantsTest, RelativesSpeakForThoseWithoutFacts) {
  enum Relative { Parent, Grandparent, Sibling, Spouse, None };
  const struct {
    Relative relative;
    std::string born;
    int years;
    bool living;
    std::vector<Fact> own = {};
  } cases[] = {
      {Parent, "6/12/1874", 100, false},
      {Parent, "7/12/1874", 100, true},
      {Grandparent, "6/12/1834", 100, false},
      {Grandparent, "7/12/1834", 100, true},
      {Sibling, "6/12/1904", 100, false},
      {Sibling, "7/12/1904", 100, true},
      {Spouse, "6/12/1894", 100, false},
      {Spouse, "7/12/1894", 100, true},
      {Parent, "1860", 120, true},
      {Parent, "1850", 120, false},
      {Sibling, "1900", 100, true, {{kNaissance, "2000"}}},
      {Spouse, "1850", 100, true, {{kBapteme, "1990"}}},
      {Parent, "1800", 100, false, {{kNaissance, "apr\xE8s 1900"}}},
      {None, "", 120, true, {{kNaissance, "1910"}}},
      {None, "", 100, false, {{kNaissance, "1910"}}},
      {None, "", 120, false, {{kNaissance, "1903"}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.relative << " born " << c.born << ", " << c.years);
    TBD db;
    const int32_t p = addPerson(db, c.own);
    const int32_t r = addPerson(db, {{kNaissance, c.born}});
    const int32_t other = addPerson(db, {});
    switch (c.relative) {
      case Parent:
        db.SetMother(p, r);
        break;
      case Grandparent:
        db.SetFather(other, r);
        db.SetFather(p, other);
        break;
      case Sibling:
        db.SetFather(p, other);
        db.SetFather(r, other);
        break;
      case Spouse: {
        const int32_t u = db.NewUnion();
        db.SetHusband(u, r);
        db.SetWife(u, p);
        break;
      }
      case None:
        break;
    }
    EXPECT_EQ(TVivants(db, LivingMode::Hide, kToday, c.years).EstVivant(p), c.living);
  }
}

TEST(VivantsTest, ModesAndUnions) {
  TBD db;
  int32_t dead = addPerson(db, {{kDeces, "1990"}});
  int32_t living = addPerson(db, {{kNaissance, "1950"}});
  int32_t other = addPerson(db, {{kDeces, "1995"}});
  int32_t u1 = db.NewUnion();
  db.SetHusband(u1, dead);
  db.SetWife(u1, living);
  int32_t u2 = db.NewUnion();
  db.SetHusband(u2, dead);
  db.SetWife(u2, other);
  const TVivants anonymous(db, LivingMode::Anonymous, kToday);
  EXPECT_TRUE(anonymous.Anonyme(living));
  EXPECT_TRUE(anonymous.Masque(living));
  EXPECT_FALSE(anonymous.Anonyme(dead));
  EXPECT_TRUE(anonymous.MasqueUnion(u1));
  EXPECT_FALSE(anonymous.MasqueUnion(u2));
  EXPECT_FALSE(anonymous.MasqueUnion(99));
  EXPECT_FALSE(TVivants(db, LivingMode::Publish, kToday).MasqueUnion(u1));
}

// RESN on a dead person, a union and a fact: "confidential" and "privacy" hide in every mode,
// "locked" nowhere; a value of several words (GEDCOM 7) counts by its words.
TEST(VivantsTest, RestrictionsHideWhateverTheMode) {
  struct Case {
    const char* resn;
    bool hidden;
  };
  const Case cases[] = {
      {"confidential", true},     {"PRIVACY", true}, {"CONFIDENTIAL, LOCKED", true},
      {"locked , privacy", true}, {"locked", false}, {"", false},
      {"confidentiality", false}};
  for (const Case& c : cases) {
    TBD db;
    const int32_t dead = addPerson(db, {{kDeces, "1900"}});
    const int32_t other = addPerson(db, {{kDeces, "1900"}, {kNaissance, "1850"}});
    const int32_t u = db.NewUnion();
    db.SetHusband(u, dead);
    db.SetWife(u, other);
    db.Plus.PersonFor(dead).resn = c.resn;
    db.Plus.UnionFor(u).resn = c.resn;
    const int32_t birth = db.Person(other)->EventList[1];
    db.Plus.EventFor(birth).resn = c.resn;
    db.Plus.NoteResn();
    for (LivingMode m : {LivingMode::Hide, LivingMode::Anonymous, LivingMode::Publish}) {
      const TVivants v(db, m, kToday);
      EXPECT_EQ(v.Masque(dead), c.hidden) << c.resn << " " << LivingModeName(m);
      EXPECT_FALSE(v.Anonyme(dead)) << c.resn;
      EXPECT_FALSE(v.Masque(other)) << c.resn;
      EXPECT_EQ(v.MasqueUnion(u), c.hidden) << c.resn;
      EXPECT_EQ(v.MasqueEvenement(birth), c.hidden) << c.resn;
      EXPECT_FALSE(v.MasqueEvenement(db.Person(other)->EventList[0])) << c.resn;
    }
  }
}

TEST(VivantsTest, ModeNames) {
  for (LivingMode m : {LivingMode::Hide, LivingMode::Anonymous, LivingMode::Publish})
    EXPECT_EQ(LivingModeNamed(LivingModeName(m)), m);
  EXPECT_EQ(LivingModeNamed("hide"), LivingMode::Hide);
  EXPECT_EQ(LivingModeNamed("anonymous"), LivingMode::Anonymous);
  EXPECT_EQ(LivingModeNamed("publish"), LivingMode::Publish);
  EXPECT_EQ(LivingModeNamed("Masquer"), std::nullopt);
  EXPECT_EQ(LivingModeNamed(""), std::nullopt);
}

}  // namespace
}  // namespace lignado
