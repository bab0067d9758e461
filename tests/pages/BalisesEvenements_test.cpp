// The events of the lists as templates read them: liste_evenement and the tags of an event
// number, in date order, hidden with the living; dates of other calendars and forms in words,
// as Gregorian years and ages, through every date tag.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "data/Base.h"
#include "gedcom/ImportFixture.h"
#include "genealogy/Calendriers.h"
#include "genealogy/Vivants.h"
#include "pages/Listes.h"
#include "pages/Remplace.h"
#include "util/Text.h"

namespace lignado {
namespace {

const FixedClock kToday{{2024, 12, 7}};

// "~" stands for the no-break space of dates in words.
std::string nbsp(std::string s) {
  for (char& c : s)
    if (c == '~') c = '\xA0';
  return s;
}

std::vector<std::string> split(const std::string& list) {
  std::vector<std::string> out;
  size_t start = 0;
  while (!list.empty()) {
    const size_t bar = list.find('|', start);
    out.push_back(list.substr(start, bar - start));
    if (bar == std::string::npos) break;
    start = bar + 1;
  }
  return out;
}

const char* const kRow =
    "<\xE9v\xE9nement:genre>|<\xE9v\xE9nement:date>|<\xE9v\xE9nement:date:clair>|"
    "<\xE9v\xE9nement:date:ann\xE9"
    "e>|<\xE9v\xE9nement:lieu:clair>|<\xE9v\xE9nement:note>|<\xE9v\xE9nement:\xE2ge>";

// Each event of a list through the tags, one row an event.
std::vector<std::string> rows(const TBD& db, const std::string& list, const TVivants* vivants,
                              bool* withheld = nullptr) {
  std::vector<std::string> out;
  for (const std::string& n : split(list)) {
    bool w = false;
    out.push_back(ExpandTags(db, Int32AfterBlanks(n), kRow, kToday, vivants, &w));
    if (withheld) *withheld = *withheld || w;
  }
  return out;
}

std::unique_ptr<test::Imported> royalTree() {
  return test::importLines({"0 @I1@ INDI",
                            "1 NAME Louis /Capet/",
                            "1 SEX M",
                            "1 BIRT",
                            "2 DATE 23 AUG 1754",
                            "2 PLAC Versailles, France",
                            "1 RESI Paris",
                            "2 DATE 1789",  // a value and a date
                            "1 OCCU Roi de France",
                            "2 DATE FROM 1774 TO 1792",  // a fact of the list only
                            "1 TITL Dauphin",  // neither date nor place: the attribute alone
                            "1 EVEN",
                            "2 TYPE Sacre",
                            "2 DATE 11 JUN 1775",
                            "2 PLAC Reims",
                            "1 DEAT",
                            "2 DATE @#DFRENCH R@ 2 PLUV 1",
                            "2 PLAC Paris",
                            "2 NOTE Guillotine",
                            "2 SOUR @S1@",
                            "2 AGE 38",  // a citation and a line the import keeps raw in the note
                            "1 CREM",
                            "2 DATE EST 1800",
                            "1 RELI catholique",  // no date: last, in file order
                            "1 _MILT",
                            "2 DATE 11 MAR 1770/71",
                            "1 EDUC",
                            "2 DATE @#DJULIAN@ 1 JAN 1760",
                            "1 REFN Capet-16",  // numbers and links: no events
                            "1 _UID 1A2B",
                            "1 ASSO @I2@",
                            "1 CHR",
                            "2 DATE (le lendemain)",
                            "1 FAMS @F1@",
                            "0 @I2@ INDI",
                            "1 NAME Marie /Antoinette/",
                            "1 SEX F",
                            "1 BIRT",
                            "2 DATE 2 NOV 1755",
                            "1 FAMS @F1@",
                            "0 @I3@ INDI",
                            "1 NAME Jean /Vivant/",
                            "1 SEX M",
                            "1 BIRT",
                            "2 DATE 1990",
                            "1 RESI Lyon",
                            "2 DATE 2010",
                            "1 OCCU Marin",
                            "2 PLAC Brest",
                            "1 FAMS @F2@",
                            "0 @I4@ INDI",
                            "1 NAME Anne /Vivant/",
                            "1 SEX F",
                            "1 FAMS @F2@",
                            "0 @F1@ FAM",
                            "1 HUSB @I1@",
                            "1 WIFE @I2@",
                            "1 ANUL",
                            "2 DATE @#DJULIAN@ 1799",
                            "1 MARR",
                            "2 DATE 16 MAY 1770",
                            "2 PLAC Versailles",
                            "1 ENGA",
                            "2 DATE 1769",
                            "1 CENS",
                            "2 DATE 1790",
                            "0 @F2@ FAM",
                            "1 HUSB @I3@",
                            "1 WIFE @I4@",
                            "1 MARR",
                            "2 DATE 2015",
                            "0 @S1@ SOUR",
                            "1 TITL Registre",
                            "0 TRLR"});
}

TEST(EventListTags, EveryKindInDateOrderWithTheLivingHidden) {
  auto im = royalTree();
  ASSERT_FALSE(im->result.failed) << im->result.reason;
  TBD& db = im->db;
  const TVivants hide(db, LivingMode::Hide, kToday), publish(db, LivingMode::Publish, kToday);
  const std::vector<std::string> louis = {
      nbsp("Naissance|23/8/1754|23~ao\xFBt~1754|1754|Versailles, France||0"),
      nbsp("\xC9tudes||1er~janvier~1760~(julien)|1760|||5"),
      nbsp("Service militaire||11~mars~1770/71|1771|||16"),
      nbsp("Profession|apr\xE8s 1774 avant 1792|de~1774 \xE0~1792|1774||Roi de France|19"),
      nbsp("Sacre|11/6/1775|11~juin~1775|1775|Reims||20"),
      nbsp("R\xE9sidence|1789|1789|1789||Paris|34"),
      nbsp("D\xE9"
           "c\xE8s||2~pluvi\xF4se~an~I|1793|Paris|Guillotine|38"),
      nbsp("Cr\xE9mation|vers 1800|estim\xE9~1800|1800|||45"),
      "Religion|||||catholique|",
      "Bapt\xEAme||le lendemain||||",
  };
  const std::vector<std::string> couple = {
      "Fian\xE7"
      "ailles|1769|1769|1769|||",
      nbsp("Mariage|16/5/1770|16~mai~1770|1770|Versailles||"),
      "Recensement|1790|1790|1790|||",
      nbsp("Annulation|1799|1799~(julien)|1799|||"),
  };
  // Numbers are found by a walk over the records, then by the index the import's caller makes.
  for (bool indexed : {false, true}) {
    SCOPED_TRACE(indexed ? "indexed" : "walked");
    if (indexed) db.IndexEvents();
    const std::string list = ListeMotCle(db, "evenement", "1", "", nullptr, kToday, &hide);
    EXPECT_EQ(rows(db, list, &hide), louis);
    EXPECT_EQ(rows(db, ListeMotCle(db, "evenement", "1", " 1", nullptr, kToday, &hide), &hide),
              couple);
    // The latest union (0) is the only one; none beyond it.
    EXPECT_EQ(ListeMotCle(db, "evenement", "2", "0", nullptr, kToday, &hide),
              ListeMotCle(db, "evenement", "1", "1", nullptr, kToday, &hide));
    EXPECT_EQ(ListeMotCle(db, "evenement", "1", "2", nullptr, kToday, &hide), "");
    EXPECT_EQ(ListeMotCle(db, "evenement", "1", "x", nullptr, kToday, &hide), "");

    // Jean, born 1990, and his union with Anne are hidden: no list, and their numbers give
    // nothing and say so; published, they show.
    EXPECT_EQ(ListeMotCle(db, "evenement", "3", "", nullptr, kToday, &hide), "");
    EXPECT_EQ(ListeMotCle(db, "evenement", "4", "1", nullptr, kToday, &hide), "");
    const std::string jean = ListeMotCle(db, "evenement", "3", "", nullptr, kToday, &publish);
    const std::string theirs = ListeMotCle(db, "evenement", "3", "1", nullptr, kToday, &publish);
    EXPECT_EQ(rows(db, jean, &publish),
              (std::vector<std::string>{"Naissance|1990|1990|1990|||0",
                                        "R\xE9sidence|2010|2010|2010||Lyon|20",
                                        "Profession||||Brest|Marin|"}));
    EXPECT_EQ(rows(db, theirs, &publish), (std::vector<std::string>{"Mariage|2015|2015|2015|||"}));
    bool withheld = false;
    EXPECT_EQ(rows(db, jean + "|" + theirs, &hide, &withheld),
              (std::vector<std::string>(4, "||||||")));
    EXPECT_TRUE(withheld);
    // A number that names no event.
    const int32_t facts = db.EventCount;  // the records, then Louis' fact and Jean's
    EXPECT_EQ(ExpandTags(db, facts + 2, kRow, kToday, &publish), "Profession||||Brest|Marin|");
    EXPECT_EQ(ExpandTags(db, facts + 3, kRow, kToday, &publish), "||||||");
  }
}

// The date tags of the main events write a date of another calendar or form as the file gives
// it (":clair"), and take its Gregorian day for years and ages; the stored texts stay.
TEST(EventListTags, OtherCalendarsThroughTheDateTags) {
  auto im = royalTree();
  ASSERT_FALSE(im->result.failed) << im->result.reason;
  const TBD& db = im->db;
  const struct {
    int32_t person;
    std::string tags, value;
  } cases[] = {
      {1,
       "<ddd>|<ddd:clair>|<ddd:ann\xE9"
       "e>|<age>",
       nbsp("|2~pluvi\xF4se~an~I|1793|38")},
      {1,
       "<dds:clair>|<dds:ann\xE9"
       "e>|<ddb:clair>",
       nbsp("estim\xE9~1800|1800|le lendemain")},
      {1,
       "<eve:D\xE9"
       "c\xE8s,date:clair>",
       nbsp("2~pluvi\xF4se~an~I")},
      {1,
       "<ddn:clair>|<ddn:ann\xE9"
       "e:clair>|<ddm:clair>",
       nbsp("23~ao\xFBt~1754|1754|16~mai~1770")},
      {2, "<union 1><eve:Mariage,date:clair>", nbsp("16~mai~1770")},
      {2,
       "<date de divorce>|<date de divorce:clair>|<date de divorce:ann\xE9"
       "e>|<union 1><eve:Divorce,date:clair>",
       nbsp("1799|1799~(julien)|1799|1799~(julien)")},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.tags);
    EXPECT_EQ(ExpandTags(db, c.person, c.tags, kToday), c.value);
  }
}

// A date of any calendar or form as a Gregorian date text, for ages and years.
TEST(EventListTags, GregorianDateTexts) {
  const struct {
    const char *value, *gregorian;
  } cases[] = {
      {"@#DFRENCH R@ 2 PLUV 1", "21/1/1793"},
      {"@#DFRENCH R@ THER 2", "1794"},  // a Republican month alone: the year
      {"@#DJULIAN@ 4 OCT 1582", "14/10/1582"},
      {"@#DJULIAN@ MAR 1700", "3/1700"},
      {"@#DHEBREW@ 1 TSH 5785", "3/10/2024"},
      {"11 MAR 1700/01", "11/3/1701"},
      {"CAL 1750", "vers 1750"},
      {"EST AUG 1750", "vers 8/1750"},
      {"INT 1750 (vers la Saint-Jean)", "1750"},
      {"FROM 3 MAR 1750 TO 1760", "apr\xE8s 3/3/1750 avant 1760"},
      {"BET @#DJULIAN@ 1700 AND 1710", "apr\xE8s 1700 avant 1710"},
      {"TO 1760", "avant 1760"},
      {"FROM 1760", "apr\xE8s 1760"},
      {"(No\xEBl 1750)", ""},
      {"44 B.C.", ""},
      {"12 MAY 1900 AND", ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(DateGregorienne(LitDateOrigine(c.value)), c.gregorian) << c.value;
}

}  // namespace
}  // namespace lignado
