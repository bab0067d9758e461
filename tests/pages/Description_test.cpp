// A person page's description: each form of a date written in French, Gregorian years whatever
// the calendar, and nothing of what the living rule or a restriction hides.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "gedcom/ImportFixture.h"
#include "genealogy/Vivants.h"
#include "pages/Remplace.h"

namespace lignado {
namespace {

const FixedClock kToday{{2024, 12, 7}};
const std::string kHead =
    "Fiche g\xE9n\xE9"
    "alogique de ";

TEST(Description, EachDateFormInFrench) {
  struct Case {
    const char* sex;
    const char* event;  // the person's one event
    const char* date;
    const char* said;  // after the name
  } cases[] = {
      {"M", "BIRT", "12 MAR 1895",
       " : n\xE9 en 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "ABT 1895",
       " : n\xE9 vers 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"F", "BIRT", "BEF 3 MAR 1895",
       " : n\xE9"
       "e avant 1895 ; d\xE9"
       "c\xE9"
       "d\xE9"
       "e \xE0 Brest."},
      {"F", "BIRT", "AFT 1895",
       " : n\xE9"
       "e apr\xE8s 1895 ; d\xE9"
       "c\xE9"
       "d\xE9"
       "e \xE0 Brest."},
      {"M", "BIRT", "BET 1890 AND MAR 1895",
       " : n\xE9 entre 1890 et 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "BET 1895 AND 1895",
       " : n\xE9 en 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "FROM 1890 TO 1895",
       " : n\xE9 entre 1890 et 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "EST 1895",
       " : n\xE9 estim\xE9 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"U", "BIRT", "CAL 1895",
       " : n\xE9(e) calcul\xE9 1895 ; d\xE9"
       "c\xE9"
       "d\xE9(e) \xE0 Brest."},
      {"M", "BIRT", "INT 1895 (d'apr\xE8s le recensement)",
       " : n\xE9 en 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "@#DFRENCH R@ 1 VEND 12",
       " : n\xE9 en 1803 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "ABT @#DJULIAN@ 1700",
       " : n\xE9 vers 1700 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "BIRT", "(un hiver)",
       " : d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"M", "CHR", "ABT 1895",
       " : baptis\xE9 vers 1895 ; d\xE9"
       "c\xE9"
       "d\xE9 \xE0 Brest."},
      {"F", "DEAT", "BEF 1950",
       " : d\xE9"
       "c\xE9"
       "d\xE9"
       "e avant 1950."},
      {"M", "BURI", "AFT 1950", " : inhum\xE9 apr\xE8s 1950."},
  };
  std::vector<std::string> lines;
  int n = 0;
  for (const Case& c : cases) {
    lines.push_back("0 @I" + std::to_string(++n) + "@ INDI");
    lines.push_back("1 NAME Jean /Dupont/");
    lines.push_back(std::string("1 SEX ") + c.sex);
    lines.push_back(std::string("1 ") + c.event);
    lines.push_back(std::string("2 DATE ") + c.date);
    // A death without a date: not living, whatever the date above.
    if (std::string(c.event) == "BIRT" || std::string(c.event) == "CHR")
      lines.insert(lines.end(), {"1 DEAT", "2 PLAC Brest"});
  }
  auto im = test::importLines(lines);
  const TVivants hide(im->db, LivingMode::Hide, kToday);
  n = 0;
  for (const Case& c : cases)
    EXPECT_EQ(ExpandTags(im->db, ++n, "<description>", kToday, &hide),
              kHead + "Jean DUPONT" + c.said)
        << c.date;
}

// A living person's description is the name alone (the given names too go when anonymous); a
// restricted birth goes from a description that keeps the death.
TEST(Description, HiddenDataInNone) {
  auto im = test::importLines(
      {"0 @I1@ INDI", "1 NAME Luc /Dupont/", "1 SEX M", "1 BIRT", "2 DATE ABT 1990",
       "2 PLAC Lorient", "0 @I2@ INDI", "1 NAME Anne /Martin/", "1 SEX F", "1 BIRT", "2 DATE 1850",
       "2 PLAC Vannes", "2 RESN confidential", "1 DEAT", "2 DATE 1920", "2 PLAC Quimper"});
  struct Case {
    LivingMode mode;
    int person;
    std::string said;
    bool withheld;
  } cases[] = {
      {LivingMode::Hide, 1, "Luc DUPONT.", true},
      {LivingMode::Anonymous, 1, kPersonneVivante + " DUPONT.", true},
      {LivingMode::Publish, 1, "Luc DUPONT : n\xE9 vers 1990 \xE0 Lorient.", false},
      {LivingMode::Hide, 2,
       "Anne MARTIN : d\xE9"
       "c\xE9"
       "d\xE9"
       "e en 1920 \xE0 Quimper.",
       true},
  };
  for (const Case& c : cases) {
    const TVivants vivants(im->db, c.mode, kToday);
    bool withheld = false;
    EXPECT_EQ(ExpandTags(im->db, c.person, "<description>", kToday, &vivants, &withheld),
              kHead + c.said);
    EXPECT_EQ(withheld, c.withheld) << c.said;
  }
}

}  // namespace
}  // namespace lignado
