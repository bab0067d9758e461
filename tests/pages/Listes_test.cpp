#include "pages/Listes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/RechFamily.h"

using namespace lignado;
using test::addPerson;
using test::Family;

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

// Sorts and searches that share the texts of one generation expand a template once per person;
// each expansion of "<age>" reads the clock once.
TEST(Listes, SharedTextsExpandATemplateOncePerPerson) {
  class CountingClock : public Clock {
   public:
    LocalTime now() const override {
      ++calls;
      return {2024, 6, 15, 10, 20, 30};
    }
    mutable int calls = 0;
  } clock;
  TBD db;
  for (const char* born : {"1950", "1990", "2000", "1930", "1985"})
    db.SetPersonEvent(addPerson(db, "X", "", 0), kNaissance, born, EventCode::Date);
  TTextesPersonnes textes(db, clock);
  for (int round = 0; round < 3; ++round) {
    EXPECT_EQ(ListeMotCle(db, "trie", "<age>", "1|2|3|4|5", nullptr, clock, nullptr, &textes),
              "3|2|5|1|4");
    EXPECT_EQ(ListeMotCle(db, "commencepar", "<age>", "3", nullptr, clock, nullptr, &textes),
              "2|5");
  }
  EXPECT_EQ(clock.calls, 5);
  // Without them, every question expands again.
  EXPECT_EQ(ListeMotCle(db, "trie", "<age>", "1|2|3|4|5", nullptr, clock), "3|2|5|1|4");
  EXPECT_EQ(clock.calls, 10);
}
