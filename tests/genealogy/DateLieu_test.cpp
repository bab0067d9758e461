#include "genealogy/DateLieu.h"

#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <fstream>
#include <utility>
#include <vector>

#include "TestSupport.h"

using namespace lignado;

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

const std::string kApres = "apr\xE8s";

class FixedToday : public ::testing::Test {
 protected:
  const FixedClock clock{LocalTime{2024, 6, 15, 10, 0, 0}};
};

}  // namespace

TEST(DateGedcom, ConvertsTheUsualForms) {
  const Pairs cases = {
      {"12 MAY 1900", "12/5/1900"},
      {"MAY 1900", "5/1900"},
      {"1900", "1900"},
      {"ABT 1900", "vers 1900"},
      {"abt 1900", "vers 1900"},
      {"BEF 12 MAY 1900", "avant 12/5/1900"},
      {"AFT MAY 1900", kApres + " 5/1900"},
      {"BET 1900 AND 1910", kApres + " 1900 avant 1910"},
      {"FROM 1900 TO 1910", kApres + " 1900 avant 1910"},
      {"BET 1900", kApres + " 1900"},
      {"BET MAY 1900 AND 12 JUN 1901", kApres + " 5/1900 avant 12/6/1901"},
      {"BEFORE 31 DEC 1899", "avant 31/12/1899"},
      {"from 1900", kApres + " 1900"},
      {"  12   MAY 1900  ", "12/5/1900"},
      {"01 JAN 0900", "1/1/900"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(DateGedcom(in), out) << in;
}

TEST(DateGedcom, EdgeValues) {
  const Pairs cases = {
      {"", ""},
      {"   ", ""},
      {"32 JAN 1900", "1/1900"},
      {"12 XYZ 1900", "1900"},
      {"1 JAN 10000", ""},
      {"BET 1910 AND 1900", kApres + " 1900 avant 1910"},
      {"TO 1910", "1910"},
      {"AND 1900", "avant 1900"},
      {"INT 1900", kApres + " 1900"},
      {"EST 1900", "vers 1900"},
      {"CAL 1900", "vers 1900"},
      {"BET 1900 AND", kApres + " 1900"},
      {"0 JAN 1900", "1/1900"},
      {"ABT", ""},
      {"ABT MAY", ""},
      {"1700/01", ""},
      {"12 MAY 1900 10:00", ""},
      {"12 1900", "1900"},
      {"@#DJULIAN@ 12 MAY 1900", ""},
      {"(vers la fin du siecle)", ""},
      {"BET AND 1900", ""},
      {"-5", ""},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(DateGedcom(in), out) << in;
}

TEST(DateGedcom, RangeBoundsOneUnitApartKeepTheirOrder) {
  EXPECT_EQ(DateGedcom("BET 1900 AND 1901"), kApres + " 1900 avant 1901");
  EXPECT_EQ(DateGedcom("BET 1901 AND 1900"), kApres + " 1900 avant 1901");
  EXPECT_EQ(DateGedcom("BET 2 MAY 1900 AND 1 MAY 1900"), kApres + " 1/5/1900 avant 2/5/1900");
  EXPECT_EQ(DateGedcom("FROM DEC 1900 TO NOV 1900"), kApres + " 11/1900 avant 12/1900");
}

TEST(DateGedcom, SeparatorWithoutBlankKeepsTheFirstYear) {
  EXPECT_EQ(DateGedcom("BET 1900AND1910"), kApres + " 1900 avant 1910");
}

TEST(DateGedcom, EveryCorpusDateIsCanonical) {
  std::filesystem::path dir = test::corpusDir();
  if (dir.empty()) GTEST_SKIP() << "corpus absent";
  int seen = 0;
  for (const auto& entry : std::filesystem::directory_iterator(dir)) {
    std::string ext = entry.path().extension().string();
    if (ext != ".ged" && ext != ".GED") continue;
    std::ifstream in(entry.path(), std::ios::binary);
    std::string line;
    while (std::getline(in, line)) {
      size_t at = line.find(" DATE ");
      if (at == std::string::npos || at > 3) continue;
      std::string value = line.substr(at + 6);
      if (!value.empty() && value.back() == '\r') value.pop_back();
      std::string date = DateGedcom(value);
      ++seen;
      EXPECT_EQ(NormaliseDate(date), date) << value;
      EXPECT_EQ(date.find("entre"), std::string::npos) << value;
      EXPECT_EQ(date.find("  "), std::string::npos) << value;
      if (!date.empty()) {
        EXPECT_NE(date.back(), ' ') << value;
      }
    }
  }
  EXPECT_GT(seen, 0);
}

TEST(DecoupeDate, ReadsQualifiersAndDates) {
  struct Case {
    std::string in, q1, d1, q2, d2;
  };
  const std::vector<Case> cases = {
      {kApres + " 1900 avant 1910", kApres, "1900", "avant", "1910"},
      {"vers 1900", "vers", "1900", "", ""},
      {"12/5/1900", "", "12/5/1900", "", ""},
      {"", "", "", "", ""},
      {"VERS 1900", "vers", "1900", "", ""},
      {" vers 1900", "", " vers 1900", "", ""},     // a leading blank stops the reading
      {"vers abc", "abc", "vers abc", "", ""},      // no date: the whole text
      {"vers  1900", "", "1900", "", ""},           // the empty word is a qualifier too
      {"avant vers 1900", "vers", "1900", "", ""},  // the last qualifier wins
      {"1900 1910 1920", "", "1900", "", "1910"},
      {"vers 1900 foo", "vers", "1900", "foo", ""},
  };
  for (const Case& c : cases) {
    DateParts p = DecoupeDate(c.in);
    EXPECT_EQ(p.q1, c.q1) << c.in;
    EXPECT_EQ(p.d1, c.d1) << c.in;
    EXPECT_EQ(p.q2, c.q2) << c.in;
    EXPECT_EQ(p.d2, c.d2) << c.in;
  }
}

TEST(LitDate, ReadsComponentsOfTheFirstDate) {
  struct Case {
    std::string in, qualifier;
    int day, month, year;
  };
  const std::vector<Case> cases = {
      {"12/5/1900", "", 12, 5, 1900}, {"5/1900", "", 0, 5, 1900},
      {"1900", "", 0, 0, 1900},       {kApres + " 1900 avant 1910", kApres, 0, 0, 1900},
      {"x/5/1900", "", 0, 5, 1900},   {"32/13/1900", "", 0, 0, 1900},
      {"12/5/10000", "", 12, 5, 0},   {"1/2/3/4", "", 1, 2, 0},
      {"-1/-5/-1900", "", 0, 0, 0},   {"", "", 0, 0, 0},
      {"vers", "", 0, 0, 0},
  };
  for (const Case& c : cases) {
    DateComponents d = LitDate(c.in);
    EXPECT_EQ(d.qualifier, c.qualifier) << c.in;
    EXPECT_EQ(d.day, c.day) << c.in;
    EXPECT_EQ(d.month, c.month) << c.in;
    EXPECT_EQ(d.year, c.year) << c.in;
  }
  EXPECT_EQ(JourTexte("5/1900"), "0");
  EXPECT_EQ(MoisTexte("5/1900"), "5");
  EXPECT_EQ(AnneeTexte("vers 1900"), "1900");
  EXPECT_EQ(JourTexte("12/5/1900"), "12");
  EXPECT_EQ(AnneeTexte(""), "0");
  EXPECT_EQ(JourDate("3/4/1900"), 3);
  EXPECT_EQ(MoisDate("3/4/1900"), 4);
  EXPECT_EQ(AnneeDate("avant 3/4/1900"), 1900);
}

TEST(FormeDate, WritesTheCanonicalShape) {
  EXPECT_EQ(FormeDate(12, 5, 1900), "12/5/1900");
  EXPECT_EQ(FormeDate(0, 5, 1900), "5/1900");
  EXPECT_EQ(FormeDate(12, 0, 1900), "1900");
  EXPECT_EQ(FormeDate(12, 5, 0), "");
  EXPECT_EQ(FormeDate(32, 5, 1900), "5/1900");
  EXPECT_EQ(FormeDate(1, 13, 1900), "1900");
  EXPECT_EQ(FormeDate(1, 1, -5), "");
  EXPECT_EQ(FormeDate(31, 12, 9999), "31/12/9999");
}

TEST(NormaliseDate, GivesTheCanonicalForm) {
  const Pairs cases = {
      {"", ""},
      {"   ", ""},
      {"  12/05/1900 ", "12/5/1900"},
      {"Vers 1900", "vers 1900"},
      {"AVANT 0/5/1900", "avant 5/1900"},
      {"32/5/1900", "5/1900"},
      {"0/13/1900", "1900"},
      {"1910 1900", kApres + " 1900 avant 1910"},
      {"vers 1901 vers 1900", kApres + " 1900 avant 1901"},
      {"avant 1910 " + kApres + " 1900", kApres + " 1900 avant 1910"},
      {kApres + " 5/1900 avant 1900", kApres + " 5/1900 avant 1900"},
      {kApres + " 1900 avant 5/1900", kApres + " 1900 avant 5/1900"},
      {"vers  1900", "1900"},
      {"foo 1900", "foo 1900"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(NormaliseDate(in), out) << in;
}

TEST(NormaliseDate, UnknownYearsLeaveNoDanglingWords) {
  const Pairs cases = {
      {"vers abc", ""},
      {"vers 0", ""},
      {"vers 1900 avant", "vers 1900"},
      {"vers 1900 foo", "vers 1900"},
      {kApres + " 1900 avant 0", kApres + " 1900"},
      {"0 1900", ""},
      {"1900 x", "1900"},
  };
  for (const auto& [in, out] : cases) EXPECT_EQ(NormaliseDate(in), out) << in;
}

TEST(CompareDate, OrdersDateTexts) {
  struct Case {
    std::string a, b;
    int result;
  };
  const std::vector<Case> cases = {
      {"", "", 0},
      {"", "1900", 2},
      {"1900", "", 1},
      {"1900", "5/1900", 2},
      {"5/1900", "1900", 2},
      {"avant 1900", "1900", 2},
      {kApres + " 1900", "1900", 1},
      {"vers 1900", "1900", 0},
      {"1900", "1900", 0},
      {"1901", "1900", 1},
      {"12/5/1900", "13/5/1900", 2},
      {"12/5/1900", "5/1900", 2},
      {"5/1900", "12/5/1900", 2},
      {"12/5/1900", "12/5/1900", 0},
      {"avant 1/5/1900", "1/5/1900", 2},
      {kApres + " 31/12/1900", "1/1/1901", 2},
      {kApres + " 1900 avant 1910", "1901", 0},
      {"1900", kApres + " 1899", 0},
      {"avant 5/1900", "vers 4/1900", 0},
      {"x", "1", 2},
  };
  for (const Case& c : cases) EXPECT_EQ(CompareDate(c.a, c.b), c.result) << c.a << " / " << c.b;
}

TEST_F(FixedToday, TodayComesFromTheClockHandedIn) {
  EXPECT_EQ(DateDuJour(clock), "15/6/2024");
}

TEST(DateDuJour, WithoutAClockIsTheSystemDate) {
  LocalTime t = SystemClock().now();
  EXPECT_GT(t.year, 2000);
  EXPECT_EQ(DateDuJour(), FormeDate(t.day, t.month, t.year));
}

TEST_F(FixedToday, AgeActuel) {
  const std::vector<std::pair<std::string, int>> cases = {
      {"1/1/2024", 0},
      {"2024", 0},
      {"15/6/1903", 0},  // 121 years
      {"1903", 0},
      {"15/6/1904", 120},
      {"16/6/1904", 119},
      {"14/6/1904", 120},
      {"1904", 120},
      {"5/1990", 34},
      {"6/1990", 34},
      {"7/1990", 33},
      {"16/6/1990", 33},
      {"vers 1950", 74},
      {"", 0},
      {"2030", 0},
      {kApres + " 1900 avant 1910", 114},
      {kApres + " 1900 avant 7/1910", 113},
  };
  for (const auto& [birth, age] : cases) EXPECT_EQ(AgeActuel(birth, clock), age) << birth;
}

TEST(AgeEntre, CountsCompletedYearsAndNeverGoesNegative) {
  struct Case {
    std::string first, second;
    int age;
  };
  const std::vector<Case> cases = {
      {"12/5/1900", "11/5/1950", 49},
      {"12/5/1900", "12/5/1950", 50},
      {"12/5/1900", "4/1950", 49},
      {"12/5/1900", "1950", 49},  // an unknown month of the later date lowers it
      {"1900", "1950", 50},
      {"1900", "2100", 200},  // no upper limit
      {kApres + " 1900 avant 1910", "1950", 40},
      {"1900", "", 0},
      {"", "1950", 0},
      {"1950", "1900", 0},
      {"1950", kApres + " 1900 avant 1960", 10},
      {"1950", kApres + " 1900 avant 1940", 0},
      {"5/1950", kApres + " 1900 avant 3/1960", 9},
      {"12/5/1950", "1/5/1950", 0},
  };
  for (const Case& c : cases)
    EXPECT_EQ(AgeEntre(c.first, c.second), c.age) << c.first << " / " << c.second;
}

TEST(Zodiaque, SignsOnBothSidesOfEachThreshold) {
  struct Case {
    int month, threshold;
    std::string before, from;
  };
  const std::vector<Case> table = {
      {1, 21, "Capricorne", "Verseau"},   {2, 20, "Verseau", "Poisson"},
      {3, 21, "Poisson", "B\xE9lier"},    {4, 21, "B\xE9lier", "Taureau"},
      {5, 21, "Taureau", "G\xE9meaux"},   {6, 22, "G\xE9meaux", "Cancer"},
      {7, 24, "Cancer", "Lion"},          {8, 24, "Lion", "Vierge"},
      {9, 24, "Vierge", "Balance"},       {10, 24, "Balance", "Scorpion"},
      {11, 23, "Scorpion", "Sagittaire"}, {12, 21, "Sagittaire", "Capricorne"},
  };
  for (const Case& c : table) {
    std::string m = "/" + std::to_string(c.month) + "/1900";
    EXPECT_EQ(Zodiaque("1" + m), c.before) << c.month;
    EXPECT_EQ(Zodiaque(std::to_string(c.threshold - 1) + m), c.before) << c.month;
    EXPECT_EQ(Zodiaque(std::to_string(c.threshold) + m), c.from) << c.month;
    EXPECT_EQ(Zodiaque("31" + m), c.from) << c.month;
  }
  EXPECT_EQ(Zodiaque("20/2/1900"), "Poisson");
  EXPECT_EQ(Zodiaque("19/2/1900"), "Verseau");
  EXPECT_EQ(Zodiaque("vers 23/11/1900"), "Sagittaire");
  EXPECT_EQ(Zodiaque("5/1900"), "");
  EXPECT_EQ(Zodiaque(""), "");
  EXPECT_EQ(Zodiaque("32/5/1900"), "");
}

TEST(Fete, NameDayTableIsEmpty) {
  EXPECT_EQ(Fete("12/5/1900"), "");
  EXPECT_EQ(Fete("vers 12/5/1900"), "");
  EXPECT_EQ(Fete(""), "");
}

TEST(DecoupeLieu, CutsAtCommas) {
  using Parts = std::array<std::string, 6>;
  const std::vector<std::pair<std::string, Parts>> cases = {
      {"", {"", "", "", "", "", ""}},
      {"Brest", {"Brest", "", "", "", "", ""}},
      {"France, Bretagne, 29, Brest", {"France", "Bretagne", "29", "Brest", "", ""}},
      {"a,b,c,d,e,f,g,h", {"a", "b", "c", "d", "e", "f"}},
      {"France,,29", {"France", "", "29", "", "", ""}},
      {"  France  ,  Bretagne ", {"France", "Bretagne", "", "", "", ""}},
      {"France, Bretagne, 29, 29200 Brest, Kerinou",
       {"France", "Bretagne", "29", "29200 Brest", "Kerinou", ""}},
      {",", {"", "", "", "", "", ""}},
      {"Saint-\xC9tienne, Loire", {"Saint-\xC9tienne", "Loire", "", "", "", ""}},
  };
  for (const auto& [place, parts] : cases) EXPECT_EQ(DecoupeLieu(place), parts) << place;
}

// Sub-fields pays, r\xE9gion, d\xE9partement, commune, lieu-dit, code postal: in the order a
// file declares, else country first.
TEST(SousChampsLieu, DeclaredOrderElseCountryFirst) {
  const std::string fr = "Lieudit, Commune, Code_INSEE, D\xE9partement, R\xE9gion, Pays";
  const std::string chateau =
      "Ch\xE2teau, Saint-Germain-en-Laye, 78551, Yvelines, \xCEle-de-France, FRANCE";
  struct Case {
    std::string form, place;
    std::array<std::string, 6> fields;
  } cases[] = {
      {"",
       "France, Bretagne, 29, 200 Brest, Kerbonne",
       {"France", "Bretagne", "29200", "Brest", "Kerbonne", "29200"}},
      {"", "Brookline, MA", {"Brookline", "MA", "", "", "", ""}},
      {"", "France, Corse, 2A, Ajaccio", {"France", "Corse", "2A", "Ajaccio", "", ""}},
      {" ", "Brookline, MA", {"Brookline", "MA", "", "", "", ""}},
      {fr,
       chateau,
       {"FRANCE", "\xCEle-de-France", "Yvelines", "Saint-Germain-en-Laye", "Ch\xE2teau", ""}},
      {fr, "France, Bretagne", {"", "", "", "Bretagne", "France", ""}},
      {fr, "", {"", "", "", "", "", ""}},
      {"City, County, State, Country",
       "Brookline, Norfolk, MA, USA",
       {"USA", "MA", "Norfolk", "Brookline", "", ""}},
      {"Place, Town, Zip, Province, Country",
       "Kerbonne , Brest,29200, Bretagne,France",
       {"France", "Bretagne", "", "Brest", "Kerbonne", "29200"}},
      {"hameau,VILLE,code  postal,county,State,country",
       "h, v, 75012, d, r, p",
       {"p", "r", "d", "v", "h", "75012"}},
      {" LIEU_DIT , D\xC9PARTEMENT, r\xE9gion , Postal Code, PAYS",
       "l, d, r, 29200, p",
       {"p", "r", "d", "", "l", "29200"}},
      {"Lieu-dit, Rue, Commune, Code_INSEE, Code postal, D\xE9partement, R\xE9gion, Pays",
       "Ferme, Grande Rue, Vitr\xE9, 35360, 35500, Ille-et-Vilaine, Bretagne, France",
       {"France", "Bretagne", "Ille-et-Vilaine", "Vitr\xE9", "Ferme", "35500"}},
      {"Commune, Ville, Pays", "Brest, Quimper, France", {"France", "", "", "Brest", "", ""}},
  };
  for (const Case& c : cases)
    EXPECT_EQ(SousChampsLieu(c.place, c.form), c.fields) << c.form << " | " << c.place;
}
