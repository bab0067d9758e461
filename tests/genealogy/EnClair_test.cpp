#include "genealogy/EnClair.h"

#include <gtest/gtest.h>

#include <string>

namespace lignado {
namespace {

struct Case {
  const char* in;
  const char* out;
};

// "~" stands for the no-break space "\xA0" (an escape followed by a digit or a-f would run on).
std::string nbsp(std::string s) {
  for (char& c : s)
    if (c == '~') c = '\xA0';
  return s;
}

TEST(EnClairTest, DatesInWords) {
  const Case cases[] = {
      {"4/9/1806", "4~septembre~1806"},
      {"1/3/1650", "1er~mars~1650"},
      {"31/12/2000",
       "31~d\xE9"
       "cembre~2000"},
      {"8/1790", "ao\xFBt~1790"},
      {"1700", "1700"},
      {"vers 1700", "vers~1700"},
      {"avant 3/1650", "avant~mars~1650"},
      {"apr\xE8s 2/2/1900", "apr\xE8s~2~f\xE9vrier~1900"},
      {"apr\xE8s 1809 avant 1810", "entre~1809 et~1810"},
      {"apr\xE8s 5/1809 avant 1/6/1810", "entre~mai~1809 et~1er~juin~1810"},
      {"", ""},
      // Hand-made texts: what is not a well-formed date stays as written, a number keeps the
      // word before it.
      {"13/1900", "13/1900"},
      {"32/1/1900", "32/1/1900"},
      {"1/2/3/4", "1/2/3/4"},
      {"12h30", "12h30"},
      {"0", "0"},
      {"avant  1900 ", "avant~1900"},
      {"apr\xE8s 1900 avant", "apr\xE8s~1900 avant"},
      {"dans sa jeunesse", "dans sa jeunesse"},
      {"Saint Jean 1700", "Saint Jean~1700"},
  };
  for (const Case& c : cases) EXPECT_EQ(DateEnClair(c.in), nbsp(c.out)) << c.in;
}

TEST(EnClairTest, YearOfADate) {
  const Case cases[] = {{"4/9/1806", "1806"},
                        {"vers 1700", "1700"},
                        {"", ""},
                        {"apr\xE8s 1809 avant 1810", "1809"},
                        {"x", ""}};
  for (const Case& c : cases) EXPECT_EQ(AnneeEnClair(c.in), c.out) << c.in;
}

// As the file writes them: its order, blanks trimmed, empty parts out, nothing else changed.
TEST(EnClairTest, PlacesAsWritten) {
  const Case cases[] = {
      {"Brookline, MA", "Brookline, MA"},
      {"Saint-Malo, Ille-et-Vilaine, Bretagne, France",
       "Saint-Malo, Ille-et-Vilaine, Bretagne, France"},
      {"France, Bretagne, 29, 470 Plougastel-Daoulas",
       "France, Bretagne, 29, 470 Plougastel-Daoulas"},
      {"Ch\xE2teau,Saint-Germain-en-Laye , 78551,Yvelines, \xCEle-de-France,  FRANCE",
       "Ch\xE2teau, Saint-Germain-en-Laye, 78551, Yvelines, \xCEle-de-France, FRANCE"},
      {"a, b, c, d, e, f, g, h", "a, b, c, d, e, f, g, h"},
      {"France, , , Brest", "France, Brest"},
      {", , , , Kerbonne,", "Kerbonne"},
      {"Brest", "Brest"},
      {"", ""},
      {" , ,", ""},
  };
  for (const Case& c : cases) EXPECT_EQ(LieuEnClair(c.in), c.out) << c.in;
}

}  // namespace
}  // namespace lignado
