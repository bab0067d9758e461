#include "pages/ListesSite.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/Base.h"
#include "genealogy/Vivants.h"
#include "pages/Medias.h"

namespace lignado {
namespace {

// "1|2|...|n".
std::string upTo(int n) {
  std::string s;
  for (int i = 1; i <= n; ++i) s += (i > 1 ? "|" : "") + std::to_string(i);
  return s;
}

TEST(ListesSiteTest, PagesOfALongList) {
  TBD db;
  struct Case {
    std::string kind, a, b, result;
  } cases[] = {
      {"tranches", "", "", ""},
      {"tranches", "7", "", "1"},
      {"tranches", upTo(2000), "", "1"},
      {"tranches", upTo(2001), "", "1|2"},
      {"tranches", upTo(4001), "", "1|2|3"},
      {"tranches", "4|5||", "", "1"},  // trailing empty items do not count
      {"tranche", "1", "4|5|6", "4|5|6"},
      {"tranche", "2", "4|5|6", ""},
      {"tranche", "0", "4|5|6", ""},
      {"tranche", "x", "4|5|6", ""},
      {"tranche", "2", upTo(4001), upTo(4000).substr(upTo(2000).size() + 1)},
      {"tranche", "3", upTo(4001), "4001"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(ListeSite(db, c.kind, c.a, c.b, nullptr), c.result) << c.kind << " " << c.a;
  EXPECT_EQ(ListeSite(db, "inconnue", "1", "2", nullptr), std::nullopt);
}

TEST(ListesSiteTest, InitialsFoldAccentsAndCase) {
  const struct {
    const char* surname;
    const char* initial;
  } names[] = {
      {"DUPONT", "D"},
      {"\xC9TIENNE", "E"},
      {"\xE9tienne", "E"},
      {"\x8CUF", "O"},
      {"\xC7OT", "C"},
      {"\xD8STER", "O"},
      {"\xDF", "S"},
      {"\xFF", "Y"},
      {"'T HOOFT", "autres"},
      {"", "autres"},
      {"1er", "autres"},
      {"\xD7", "autres"},
      {"zola", "Z"},
      {"\x8A"
       "A",
       "S"},
      {"\x9E", "Z"},
      {"\xD0", "D"},
  };
  for (const auto& n : names) EXPECT_EQ(InitialeDe(n.surname), n.initial) << n.surname;

  TBD db;
  for (const char* s : {"MARTIN", "\xC9TIENNE", "", "DUPONT", "EVEN", "mace"}) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, s);
  }
  EXPECT_EQ(ListeSite(db, "initiales", "1|2|3|4|5|6", "", nullptr), "D|E|M|autres");
  EXPECT_EQ(ListeSite(db, "initiales", "", "", nullptr), "");
  EXPECT_EQ(ListeSite(db, "initiale", "E", "5|4|2|1", nullptr), "5|2");
  EXPECT_EQ(ListeSite(db, "initiale", "m", "6|1|3", nullptr), "6|1");
  EXPECT_EQ(ListeSite(db, "initiale", "autres", "6|3|1", nullptr), "3");
  EXPECT_EQ(ListeSite(db, "initiale", "Q", "1|2|3", nullptr), "");
}

TEST(ListesSiteTest, SourcesAndMediaOfAPersonUnlessHidden) {
  TBD db;
  int32_t dead = db.NewPerson(), living = db.NewPerson(), none = db.NewPerson();
  db.SetPersonEvent(dead, kDeces, "1900", 2);
  db.SetPersonEvent(living, kNaissance, "2000", 2);
  for (int32_t p : {dead, living}) {
    db.AddPersonSource(p, 4);
    db.AddPersonSource(p, 2);
    for (const char* f : {"a.jpg", "B.jpg", "a.jpg"}) db.AddPersonMedia(p, {f, ""});
  }
  const TVivants hide(db, LivingMode::Hide, FixedClock({2024, 1, 1}));
  const TVivants publish(db, LivingMode::Publish, FixedClock({2024, 1, 1}));
  const std::string a = MediaSitePath("a.jpg"), b = MediaSitePath("B.jpg");
  struct Row {
    const char* kind;
    int32_t person;
    const char* from;
    const TVivants* vivants;
    std::string expected;
  } rows[] = {
      {"source", dead, "", &hide, "4|2"},       {"source", living, "", &hide, ""},
      {"source", living, "", &publish, "4|2"},  {"source", none, "", nullptr, ""},
      {"source", 99, "", nullptr, ""},          {"photo", dead, "", &hide, a + "|" + b + "|" + a},
      {"photo", dead, "2", &hide, b + "|" + a}, {"photo", dead, "3", &hide, a},
      {"photo", dead, "4", &hide, ""},          {"photo", dead, "0", &hide, a + "|" + b + "|" + a},
      {"photo", living, "", &hide, ""},         {"photo", living, "2", &publish, b + "|" + a},
      {"photo", none, "", nullptr, ""},         {"photo", 99, "", nullptr, ""},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ListeSite(db, r.kind, std::to_string(r.person), r.from, r.vivants), r.expected)
        << r.kind << " " << r.person;
}

}  // namespace
}  // namespace lignado
