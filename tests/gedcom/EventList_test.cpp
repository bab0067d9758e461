// Every event of a person and a union, read from a file, in date order with its French name and
// its date in words, whatever the calendar.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImportFixture.h"
#include "genealogy/Evenements.h"

namespace lignado {
namespace {

std::string words(std::string s) {
  for (char& c : s)
    if (c == '\xA0') c = ' ';
  return s;
}

std::vector<std::string> shown(const std::vector<EvenementListe>& list) {
  std::vector<std::string> out;
  for (const EvenementListe& e : list)
    out.push_back(NomEvenement(e) + " | " + words(DateEvenementEnClair(e)) + " | " + e.eve->Place);
  return out;
}

TEST(EventList, EveryKindInDateOrderWithItsCalendar) {
  auto im = test::importLines({"0 @I1@ INDI",
                               "1 NAME Louis /CAPET/",
                               "1 SEX M",
                               "1 BIRT",
                               "2 DATE 23 AUG 1754",
                               "2 PLAC Versailles",
                               "1 EDUC",
                               "2 PLAC Versailles",
                               "1 OCCU Roi de France",
                               "2 DATE 10 MAY 1774",
                               "2 PLAC Versailles",
                               "1 EVEN",
                               "2 TYPE Sacre",
                               "2 DATE 11 JUN 1775",
                               "2 PLAC Reims",
                               "1 RESI",
                               "2 DATE ABT 1780",
                               "1 DEAT",
                               "2 DATE @#DFRENCH R@ 2 PLUV 1",
                               "2 PLAC Paris",
                               "1 BURI",
                               "2 DATE 21 JAN 1815",
                               "1 _MILT",
                               "2 DATE BET 1770 AND 1771",
                               "1 CENS",
                               "2 TYPE complet",
                               "2 DATE INT 1790 (vers la Saint-Jean)",
                               "1 FAMS @F1@",
                               "0 @I2@ INDI",
                               "1 NAME Marie-Antoinette /D'AUTRICHE/",
                               "1 SEX F",
                               "1 FAMS @F1@",
                               "0 @F1@ FAM",
                               "1 HUSB @I1@",
                               "1 WIFE @I2@",
                               "1 ANUL",
                               "2 DATE @#DJULIAN@ 1790",
                               "1 MARR",
                               "2 DATE 16 MAY 1770",
                               "2 PLAC Versailles",
                               "1 ENGA",
                               "2 DATE 1769",
                               "0 TRLR"});
  ASSERT_FALSE(im->result.failed) << im->result.reason;
  const TBD& db = im->db;
  EXPECT_EQ(shown(EvenementsPersonne(db, 1)),
            (std::vector<std::string>{
                "Naissance | 23 ao\xFBt 1754 | Versailles",
                "Service militaire | entre 1770 et 1771 | ",
                "Profession | 10 mai 1774 | Versailles",
                "Sacre | 11 juin 1775 | Reims",
                "R\xE9sidence | vers 1780 | ",
                "Recensement (complet) | 1790 (vers la Saint-Jean) | ",
                "D\xE9"
                "c\xE8s | 2 pluvi\xF4se an I | Paris",
                "S\xE9pulture | 21 janvier 1815 | ",
                "\xC9tudes |  | Versailles",
            }));
  EXPECT_EQ(shown(EvenementsUnion(db, 1)), (std::vector<std::string>{
                                               "Fian\xE7"
                                               "ailles | 1769 | ",
                                               "Mariage | 16 mai 1770 | Versailles",
                                               "Annulation | 1790 (julien) | ",
                                           }));
  // What templates read already stays: the occupation an attribute, the engagement and the
  // annulment stored as a marriage and a divorce, the Republican date without a date text.
  EXPECT_EQ(db.GetProfession(1), "Roi de France");
  EXPECT_EQ(db.PersonEventCount(1), 8);
  EXPECT_EQ(db.GetPersonEvent(1, kDeces, EventCode::Place), "Paris");
  EXPECT_EQ(db.GetUnionEvent(1, kDivorce, EventCode::Date), "1790");
  EXPECT_EQ(db.UnionEventCount(1), 3);
}

TEST(EventList, NamesOfKindsAsStored) {
  const struct {
    const char* kind;
    const char* tag;
    const char* name;
  } cases[] = {
      {"", "", "\xC9v\xE9nement"},  // an EVEN without a TYPE
      {"Sacre", "", "Sacre"},       // an EVEN's TYPE
      {"FACT Couleur des yeux", "", "Couleur des yeux"},
      {"_XYZ", "", "XYZ"},  // another program's tag we do not know
      {"NATU par d\xE9"
       "cret",
       "",
       "Naturalisation (par d\xE9"
       "cret)"},
      {"S\xE9pulture", "CREM", "Cr\xE9mation"},
      {"Mariage", "", "Mariage"},
  };
  for (const auto& c : cases) {
    TEve eve;
    eve.Kind = c.kind;
    TEvePlus plus;
    plus.tag = c.tag;
    EXPECT_EQ(NomEvenement({&eve, *c.tag ? &plus : nullptr}), c.name) << c.kind;
  }
}

}  // namespace
}  // namespace lignado
