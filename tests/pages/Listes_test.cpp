#include "pages/Listes.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/RechFamily.h"
#include "genealogy/Vivants.h"

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

TEST(Rech, TrieKeywordStoppedThroughTheHostGivesNoList) {
  TBD db;
  for (const char* n : {"d", "B", "e", "a", "C"}) addPerson(db, n, "", 0);
  // The sort asks after each of its 3 partitions: a stop at any of them leaves no list.
  for (int stopAt : {1, 2, 3, 4}) {
    test::RecordingHost host;
    host.abortAfter = stopAt;
    bool stopped = false;
    const std::string list = ListeMotCle(db, "trie", "<nom>", "1|2|3|4|5", &host, SystemClock(),
                                         nullptr, nullptr, &stopped);
    EXPECT_EQ(stopped, stopAt <= 3) << stopAt;
    EXPECT_EQ(list, stopped ? "" : "4|2|5|1|3") << stopAt;
  }
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

// In the modes that hide living persons, a sort or a search on a value they hide treats them as
// having none: sorted last in the order of the list, never found; names still sort and match.
TEST(Listes, HiddenValuesSortLastAndAreNeverFound) {
  const FixedClock clock{{2024, 12, 7}};
  TBD db;
  struct Person {
    const char* name;
    std::string born, place, died;
  };
  // 1 and 3 are dead; 2, 4 (2's father) and 5 count as living.
  for (const Person& p : {Person{"X", "1850", "Brest", "1900"}, Person{"Y", "1990", "Brest", ""},
                          Person{"Z", "1950", "Quimper", "2000"}, Person{"W", "", "", ""},
                          Person{"V", "1980", "Brest", ""}}) {
    int32_t q = addPerson(db, p.name, "", 0);
    if (!p.born.empty()) db.SetPersonEvent(q, kNaissance, p.born, EventCode::Date);
    if (!p.place.empty()) db.SetPersonEvent(q, kNaissance, p.place, EventCode::Place);
    if (!p.died.empty()) db.SetPersonEvent(q, kDeces, p.died, EventCode::Date);
  }
  db.SetFather(2, 4);
  struct Case {
    std::string kind, a, b, hidden, published;
  };
  const std::vector<Case> cases = {
      {"trie", "<ddn AA MM JJ>", "5|4|3|2|1", "1|3|5|4|2", "4|1|3|5|2"},
      {"trie", "<nom> <ldn>", "1|2|3|4|5", "1|3|2|4|5", "5|4|1|2|3"},
      {"trie", "<nom>", "1|2|3|4|5", "5|4|1|2|3", "5|4|1|2|3"},
      {"commencepar", "<ldn>|<ks-num>", "brest", "1", "1|2|5"},
      {"commencepar", "<eve:Naissance,lieu>|<ks-num>", "", "1|3", "1|2|3|4|5"},
      {"commencepar", "<ddn>|", "19", "3", "2|3|5"},
      {"commencepar", "<age>|<ks-num>", "0", "", "4"},
      {"commencepar", "<nom>", "", "1|2|3|4|5", "1|2|3|4|5"},
      {"commencepar", "<ks-num>|<p\xE8re><ddn>", "", "1|3|4|5", "1|2|3|4|5"},
  };
  for (LivingMode mode : {LivingMode::Hide, LivingMode::Anonymous, LivingMode::Publish}) {
    TVivants vivants(db, mode, clock);
    TTextesPersonnes textes(db, clock, &vivants);
    for (const Case& c : cases) {
      const std::string& want = mode == LivingMode::Publish ? c.published : c.hidden;
      EXPECT_EQ(ListeMotCle(db, c.kind, c.a, c.b, nullptr, clock, &vivants), want)
          << LivingModeName(mode) << " " << c.kind << "(" << c.a << ", " << c.b << ")";
      EXPECT_EQ(ListeMotCle(db, c.kind, c.a, c.b, nullptr, clock, &vivants, &textes), want)
          << "shared texts";
    }
  }
}
