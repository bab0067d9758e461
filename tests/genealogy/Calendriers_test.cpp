#include "genealogy/Calendriers.h"

#include <gtest/gtest.h>

#include <string>

namespace lignado {
namespace {

// "~" stands for the no-break space of the words.
std::string nbsp(std::string s) {
  for (char& c : s)
    if (c == '~') c = '\xA0';
  return s;
}

long gregorian(int y, int m, int d) {
  PointDate p;
  p.year = y > 0 ? y : 1 - y;
  p.beforeChrist = y <= 0;
  p.month = m;
  p.day = d;
  return JourJulien(p);
}

TEST(Calendriers, EachCalendarAndFormInWordsAndAsADay) {
  // The Gregorian reckoning itself, on a known day.
  ASSERT_EQ(gregorian(2000, 1, 1), 2451545);
  struct Case {
    const char* value;
    const char* words;  // "" : not a date
    int y, m, d;        // the Gregorian day it sorts as (0: none)
  };
  const Case cases[] = {
      {"@#DFRENCH R@ 2 PLUV 1", "2~pluvi\xF4se~an~I", 1793, 1, 21},
      {"FRENCH_R 1 VEND 4", "1er~vend\xE9miaire~an~IV", 1795, 9, 23},
      {"@#DFRENCH R@ 6 COMP 3", "6e~jour~compl\xE9mentaire~an~III", 1795, 9, 22},
      {"@#DFRENCH R@ 6 COMP 2", "", 0, 0, 0},  // an II had five extra days
      {"@#DFRENCH R@ THER 2", "thermidor~an~II", 1794, 7, 19},
      {"11 MAR 1700/01", "11~mars~1700/01", 1701, 3, 11},
      {"@#DJULIAN@ 4 OCT 1582", "4~octobre~1582~(julien)", 1582, 10, 14},
      {"@#DHEBREW@ 1 TSH 5785", "1er~tichri~5785", 2024, 10, 3},
      {"HEBREW 15 NSN 5784", "15~nissan~5784", 2024, 4, 23},
      {"@#DHEBREW@ 30 ADR 5784", "30~adar~5784", 2024, 3, 10},
      {"@#DHEBREW@ 30 ADS 5784", "", 0, 0, 0},  // Adar II has 29 days
      {"CAL 1750", "calcul\xE9~1750", 1750, 1, 1},
      {"EST AUG 1750", "estim\xE9~ao\xFBt~1750", 1750, 8, 1},
      {"INT 1750 (vers la Saint-Jean)", "1750 (vers la Saint-Jean)", 1750, 1, 1},
      {"(No\xEBl de l'an 1750)", "No\xEBl de l'an 1750", 0, 0, 0},
      {"BET @#DJULIAN@ 1700 AND 1710", "entre~1700~(julien) et~1710", 1700, 1, 11},
      {"FROM 3 MAR 1750 TO 1760", "du~3~mars~1750 \xE0~1760", 1750, 3, 3},
      {"from apr 1750 to 5 may 1760", "d'avril~1750 au~5~mai~1760", 1750, 4, 1},
      {"TO 1760", "jusqu'en~1760", 1760, 1, 1},
      {"FROM 1 JAN 1760", "depuis~le~1er~janvier~1760", 1760, 1, 1},
      {"44 B.C.", "44~av.~J.-C.", -43, 1, 1},
      {"29 FEB 1900", "", 0, 0, 0},
      {"@#DROMAN@ 12", "", 0, 0, 0},
      {"BET 1700", "", 0, 0, 0},
      {"1750 (phrase)", "", 0, 0, 0},
      {"ABT 1750 AND 1760", "", 0, 0, 0},
      {"", "", 0, 0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.value);
    const DateOrigine d = LitDateOrigine(c.value);
    EXPECT_EQ(DateOrigineEnClair(d), nbsp(c.words));
    EXPECT_EQ(JourDeTri(d), c.y == 0 ? 0 : gregorian(c.y, c.m, c.d));
  }
}

}  // namespace
}  // namespace lignado
