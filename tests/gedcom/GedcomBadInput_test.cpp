// Input no program should have written: the import must neither crash nor hang, and what it
// read stays in the database. These run under the sanitizers too.

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "ImportFixture.h"

namespace lignado {
namespace {

using test::importBytes;
using test::importLines;
using test::ImportOptions;

TEST(BadInput, EmptyFile) {
  for (uint8_t mode : {kModeIbmPc, kModeNone, kModeAnsel}) {
    ImportOptions o;
    o.mode = mode;
    auto im = importBytes("", o);
    EXPECT_TRUE(im->result.notGedcom);
    EXPECT_EQ(im->db.PersonCount, 0);
    EXPECT_FALSE(im->db.AppendMode);
  }
}

TEST(BadInput, RandomBytes) {
  std::mt19937 rng(1234);
  for (int round = 0; round < 12; ++round) {
    std::string bytes(20000 + round * 5000, '\0');
    for (char& c : bytes) {
      // Mostly GEDCOM-like characters so that records and pointers do occur.
      unsigned r = rng() % 100;
      const char alphabet[] = "0123 @IFNDAMSOUREHWCLT\r\n";
      c = r < 80 ? alphabet[rng() % (sizeof alphabet - 1)] : static_cast<char>(rng());
    }
    // After a header, so that the records are read: plain, UTF-16 and UTF-8 with their marks
    // ("\x30" is the "0" of "0 HEAD", kept apart from the escape before it).
    const std::string heads[] = {"0 HEAD\n", std::string("\xFF\xFE\x30\0 \0H\0E\0A\0D\0\n\0", 16),
                                 "\xEF\xBB\xBF\x30 HEAD\n"};
    bytes = heads[round % 3] + bytes;
    ImportOptions o;
    o.mode = static_cast<uint8_t>(round % 3);
    o.capacity = 50;
    o.writeLog = true;
    auto im = importBytes(bytes, o);
    EXPECT_FALSE(im->result.failed);
    EXPECT_LE(im->db.PersonCount, 50);
  }
}

TEST(BadInput, TenMegabyteLine) {
  std::string big(10 * 1024 * 1024, 'x');
  auto im = importBytes("0 HEAD\n0 @I1@ INDI\n1 NOTE " + big + "\n0 @I2@ INDI\n0 TRLR\n");
  EXPECT_EQ(im->db.PersonCount, 2);
  EXPECT_EQ(im->db.GetPersonField(1, 18), big + "\r\n");
  // The same line with no line end at all, after a last record.
  im = importBytes("0 HEAD\n0 @I1@ INDI\n1 NAME " + big + " /X/");
  EXPECT_EQ(im->db.PersonCount, 1);
  EXPECT_EQ(im->db.GetGivenNames(1).size(), big.size());
}

TEST(BadInput, FileCutInTheMiddleOfARecord) {
  std::string whole = test::gedLines({"0 HEAD", "1 CHAR ANSEL", "0 @I1@ INDI", "1 NAME A /B/",
                                      "1 SEX M", "0 @I2@ INDI", "1 NAME Jean /Dupont/", "1 BIRT",
                                      "2 DATE 1 JAN 1900", "2 NOTE une note", "3 CONC longue",
                                      "0 @F1@ FAM", "1 HUSB @I1@", "1 CHIL @I2@", "0 TRLR"});
  for (size_t cut = 0; cut <= whole.size(); ++cut) {
    auto im = importBytes(whole.substr(0, cut));
    ASSERT_EQ(im->result.failed, cut < 6) << cut;  // not even "0 HEAD"
    EXPECT_LE(im->db.PersonCount, 2);
  }
  auto im = importBytes(whole.substr(0, whole.find("pont/")));
  ASSERT_EQ(im->db.PersonCount, 2);
  EXPECT_EQ(im->db.GetSurname(2), "DU");
  EXPECT_EQ(im->db.GetSurname(1), "B");
  im = importBytes(whole.substr(0, whole.find("longue") + 3));
  EXPECT_EQ(im->db.GetPersonEventField(2, 1, 5), "une note lon\r\n");
}

TEST(BadInput, LinesWithoutLevelEndTheRecord) {
  ImportOptions o;
  o.writeLog = true;
  auto im = importLines({"0 @I1@ INDI", "NAME Perdu /Nom/", "1 NAME A /B/", "INDI", "0 @I2@ INDI",
                         "1 SEX F", "0 TRLR"},
                        o);
  EXPECT_EQ(im->db.PersonCount, 2);
  EXPECT_EQ(im->db.GetSurname(1), "");
  EXPECT_EQ(im->db.GetSex(2), 1);
  EXPECT_NE(im->log.find("3 : NAME Perdu /Nom/\r\n4 : 1 NAME A /B/\r\n5 : INDI\r\n"),
            std::string::npos);
}

TEST(BadInput, LevelsThatJump) {
  auto im = importLines({"0 @I1@ INDI", "9 NAME X /Y/", "1 NAME A /B/", "1 BIRT", "9 DATE 1900",
                         "2147483647 PLAC Loin", "99999999999 NAME Z", "1 SEX F", "0 TRLR"});
  EXPECT_EQ(im->db.GetSurname(1), "B");
  EXPECT_EQ(im->db.GetBirthDate(1), "1900");
  EXPECT_EQ(im->db.GetPersonEventField(1, 1, 4), "Loin");
  // The level that does not fit 32 bits reads as -1 and ends the person: SEX F is not hers,
  // and her sex stays unknown.
  EXPECT_EQ(im->db.GetSex(1), 2);
}

TEST(BadInput, OddPointers) {
  auto im = importLines({"0 @@ INDI", "1 SEX M", "0 @I99999999999999999999@ INDI", "1 SEX F",
                         "0 @ INDI", "0 @I0@ INDI", "0 @F1@ FAM", "1 HUSB @@",
                         "1 WIFE @I99999999999999999999@", "1 CHIL @", "1 CHIL @I0@", "1 CHIL",
                         "1 HUSB", "0 @S99999999999999999999@ SOUR", "1 TITL x", "0 @I5@ INDI",
                         "1 SOUR @S99999999999999999999@", "1 SOUR @@", "0 TRLR"});
  const TBD& db = im->db;
  EXPECT_EQ(db.PersonCount, 5);
  ASSERT_EQ(db.UnionCount, 1);
  EXPECT_EQ(db.Union(1)->NumH, 1);
  EXPECT_EQ(db.Union(1)->NumF, 2);
  // The empty HUSB line is read with the spouses, before the children: they have no father.
  EXPECT_EQ(db.GetFather(3), 0);
  EXPECT_EQ(db.GetMother(3), 2);
  EXPECT_EQ(db.SourceCount, 0);
}

TEST(BadInput, FiveThousandPersonsAtTheDefaultAndAtCapacityOneThousand) {
  std::string bytes = "0 HEAD\r\n";
  for (int i = 1; i <= 5000; ++i) {
    std::string n = std::to_string(i);
    bytes += "0 @I" + n + "@ INDI\r\n1 NAME P" + n + " /N" + n + "/\r\n1 SEX " +
             (i % 2 ? "M" : "F") + "\r\n1 BIRT\r\n2 DATE 1900\r\n";
  }
  for (int i = 1; i + 1 <= 5000; i += 2) {
    std::string n = std::to_string(i), m = std::to_string(i + 1);
    bytes += "0 @F" + n + "@ FAM\r\n1 HUSB @I" + n + "@\r\n1 WIFE @I" + m + "@\r\n";
  }
  bytes += "0 TRLR\r\n";
  struct Case {
    int capacity, persons, unions, dropped;
  } cases[] = {
      {kGrowing, 5000, 2500, 0},
      // Families of unknown persons make no union.
      {1000, 1000, 500, 4000},
  };
  for (const Case& c : cases) {
    ImportOptions o;
    o.capacity = c.capacity;
    auto im = importBytes(bytes, o);
    const TBD& db = im->db;
    EXPECT_FALSE(im->result.failed);
    EXPECT_EQ(db.PersonCount, c.persons);
    EXPECT_EQ(db.EventCount, c.persons);
    EXPECT_EQ(db.UnionCount, c.unions);
    EXPECT_EQ(im->result.personsDropped, c.dropped);
    EXPECT_EQ(im->result.unionsDropped + im->result.eventsDropped, 0);
    EXPECT_EQ(db.GetSurname(c.persons), "N" + std::to_string(c.persons));
    EXPECT_EQ(db.GetHusband(c.unions), c.persons - 1);
    EXPECT_EQ(db.GetWife(c.unions), c.persons);
  }
}

TEST(BadInput, NulBytesInsideLines) {
  const char raw[] = "0 HEAD\r\n0 @I1@ INDI\r\n1 NAME A\0B /C\0D/\r\n0 TRLR\r\n";
  auto im = importBytes(std::string(raw, sizeof raw - 1));
  ASSERT_EQ(im->db.PersonCount, 1);
  EXPECT_EQ(im->db.GetSurname(1), std::string("C\0D", 3));
}

}  // namespace
}  // namespace lignado
