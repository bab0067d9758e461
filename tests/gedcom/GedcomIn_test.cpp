#include "gedcom/GedcomIn.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <string>
#include <utility>
#include <vector>

#include "ImportFixture.h"
#include "genealogy/DateLieu.h"
#include "genealogy/Rech.h"
#include "genealogy/Sosa.h"

namespace lignado {
namespace {

using test::importBytes;
using test::importLines;
using test::ImportOptions;

const std::string kErreur = "Erreur \xE0 l'import";

std::string ev(const TBD& db, int32_t p, int index, int code) {
  return db.GetPersonEventField(p, index, code);
}

// ---- the top-level loop, header and submitter

TEST(Header, SlotsFromHeaderAndSubmitter) {
  auto im = importLines({"0 HEAD",
                         "1 SOUR GeneProg",
                         "2 VERS 5.1",
                         "2 NAME Gene Prog",
                         "2 CORP Soci\xE9t\xE9 X",
                         "3 ADDR 1 rue",
                         "2 DATA d",
                         "1 DEST ANY",
                         "1 DATE 2 FEB 2003",
                         "2 TIME 10:00",
                         "1 GEDC",
                         "2 VERS 5.5",
                         "2 FORM LINEAGE-LINKED",
                         "1 CHAR ANSEL",
                         "1 LANG French",
                         "1 NOTE premi\xE8re",
                         "2 CONC suite",
                         "2 CONT ligne 2",
                         "0 @U1@ SUBM",
                         "1 NAME Paul",
                         "1 PHON 01",
                         "1 ADDR 1 rue",
                         "2 CONT 75000 Paris",
                         "2 CITY Paris",
                         "0 TRLR"});
  const THead want = {"GeneProg",
                      "5.1",
                      "Gene Prog",
                      "Soci\xE9t\xE9 X",
                      "2 FEB 2003",
                      "5.5",
                      "ANSEL",
                      "French",
                      "premi\xE8re suite\r\nligne 2\r\nPaul\r\n1 rue\r\n"
                      "75000 Paris\r\n"};
  EXPECT_EQ(im->head, want);
  EXPECT_FALSE(im->result.failed);
  EXPECT_FALSE(std::filesystem::exists(im->logPath));  // no log unless asked
  EXPECT_EQ(im->db.PersonCount, 0);
}

TEST(Header, DeclaredPlaceFormIsKept) {
  const std::string fr = "Lieudit, Commune, Code_INSEE, D\xE9partement, R\xE9gion, Pays";
  struct Case {
    std::vector<std::string> header;
    std::string form;
  } cases[] = {
      {{"1 PLAC", "2 FORM " + fr}, fr},
      {{"1 PLAC", "2 FORM City, State", "1 CHAR ANSEL"}, "City, State"},
      {{"1 CHAR ANSEL"}, ""},
      {{"1 PLAC", "3 FORM x"}, ""},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = {"0 HEAD"};
    lines.insert(lines.end(), c.header.begin(), c.header.end());
    lines.insert(lines.end(), {"0 @I1@ INDI", "1 BIRT", "2 PLAC a, b", "3 FORM c, d", "0 TRLR"});
    auto im = importLines(lines);
    EXPECT_EQ(im->db.PlaceForm, c.form) << c.header.back();
    EXPECT_EQ(im->db.GetPersonEvent(1, kNaissance, EventCode::Place), "a, b");
  }
}

TEST(Header, SubmitterWithoutHeaderNote) {
  auto im = importLines(
      {"0 HEAD", "1 CHAR ANSEL", "0 @U1@ SUBM", "1 NAME Paul", "1 ADDR 1 rue", "0 TRLR"});
  EXPECT_EQ(im->head[8], "Paul\r\n1 rue\r\n");
}

TEST(Header, SubmitterElsewhereIsNotRead) {
  auto im = importLines(
      {"0 HEAD", "0 @I1@ INDI", "1 NAME A /B/", "0 @U1@ SUBM", "1 NAME Paul", "0 TRLR"});
  EXPECT_EQ(im->head[8], "");
  EXPECT_EQ(im->db.PersonCount, 1);
}

TEST(Header, SummaryKeptWhenTheFileHasNoHeader) {
  auto im = std::make_unique<test::Imported>();
  im->head[0] = "avant";
  test::TempDir dir;
  test::writeFile(dir.str() + "a.ged", "0 @I1@ INDI\r\n0 TRLR\r\n");
  ImportGedcom(im->db, dir.str() + "a.ged", im->head, kModeAnsel, false, false, true, nullptr);
  EXPECT_EQ(im->head[0], "avant");
}

TEST(Header, HeaderOnlyStopsAfterHeaderAndSubmitter) {
  ImportOptions o;
  o.headerOnly = true;
  o.writeLog = true;
  const FixedClock day({2024, 3, 5});
  o.clock = &day;
  auto im = importLines({"0 HEAD", "1 SOUR P", "1 XYZ 1", "0 @U1@ SUBM", "1 NAME Paul",
                         "0 @I1@ INDI", "1 NAME A /B/", "0 TRLR"},
                        o);
  EXPECT_EQ(im->db.PersonCount, 0);
  EXPECT_EQ(im->head[0], "P");
  EXPECT_EQ(im->head[8], "Paul");
  EXPECT_EQ(im->log,
            "Import du fichier : " + im->gedPath +
                " le 05/03/2024?\r\nLes lignes suivantes n'ont pas \xE9t\xE9 trait\xE9.\r\n"
                "3 HEAD : 1 XYZ 1\r\n"
                "\r\nFin de chargement de l'ent\xEAte.\r\n");
  // No hint to press Escape when only the header is read.
  EXPECT_EQ(im->host.statuses, std::vector<std::string>{"Nombre de personnes et d'unions : 0 / 0"});
}

TEST(TopLevel, TrailerEndsTheImportAndStrayLinesAreLogged) {
  ImportOptions o;
  o.writeLog = true;
  auto im = importLines(
      {"0 HEAD", "0 @N1@ NOTE texte", "1 CONT suite", "1 @X@ INDI", "1 NAME Egar\xE9 /Ligne/",
       "0 @R1@ REPO", "1 NAME D\xE9p\xF4t", "0 TRLR", "0 @I9@ INDI", "1 NAME Apr\xE8s /Fin/"},
      o);
  // A stray line whose value is INDI starts a person, whatever its level: a note record
  // takes only its continuation lines.
  ASSERT_EQ(im->db.PersonCount, 1);
  EXPECT_EQ(im->db.GetSurname(1), "LIGNE");
  EXPECT_NE(im->log.find("6 : 0 @R1@ REPO\r\n7 : 1 NAME D\xE9p\xF4t\r\n"), std::string::npos);
  EXPECT_EQ(im->log.find("@N1@"), std::string::npos);
  EXPECT_EQ(im->log.find("I9"), std::string::npos);
}

TEST(TopLevel, AFileWithoutTrailerEndsAtItsEndAndKeepsTheLastLine) {
  auto im = importBytes("0 HEAD\n0 @I1@ INDI\n1 NAME A /B/\n0 @I2@ INDI");
  EXPECT_EQ(im->db.PersonCount, 2);
  EXPECT_FALSE(im->result.failed);
  EXPECT_FALSE(im->db.AppendMode);
}

TEST(TopLevel, LogFileByteForByte) {
  ImportOptions o;
  o.writeLog = true;
  const FixedClock day({2024, 3, 5});
  o.clock = &day;
  auto im = importLines(
      {"0 HEAD", "1 SOUR Test", "1 FOO bar", "0 @I1@ INDI", "1 NAME Jean /Dupont/", "1 BIRT",
       "2 DATE 1 JAN 1900", "2 FOO x", "0 @N1@ NOTE hello", "0 @S9@ SOUR", "1 TITL t", "0 TRLR"},
      o);
  EXPECT_EQ(im->log, "Import du fichier : " + im->gedPath +
                         " le 05/03/2024?\r\n"
                         "Les lignes suivantes n'ont pas \xE9t\xE9 trait\xE9.\r\n"
                         "3 HEAD : 1 FOO bar\r\n"
                         "8 EVE : 2 FOO x\r\n"
                         "11 1 TITL t Pointeur de source invalide.\r\n"
                         "12 0 TRLR\r\n"
                         " \r\n"
                         "Termin\xE9 avec succ\xE9s !!\r\n"
                         "Nombre de personne =1\r\n"
                         "Nombre d'union =0\r\n");
}

TEST(TopLevel, LogOfAFileNameWithoutFolderGoesToTheCurrentFolder) {
  test::TempDir dir;
  test::writeFile(dir.str() + "seul.ged", "0 HEAD\r\n0 TRLR\r\n");
  char old[4096];
  ASSERT_NE(getcwd(old, sizeof old), nullptr);
  ASSERT_EQ(chdir(dir.path().c_str()), 0);
  TBD db;
  THead head;
  ImportResult r = ImportGedcom(db, "seul.ged", head, kModeAnsel, false, true, true, nullptr);
  std::string log = test::readFile(dir.str() + "kestrane.log");
  ASSERT_EQ(chdir(old), 0);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(log.rfind("Import du fichier : seul.ged le ", 0), 0u);
}

TEST(TopLevel, ALogThatWouldReplaceTheGedcomFileIsRefused) {
  test::TempDir dir;
  const std::string ged = "0 @I1@ INDI\r\n1 NAME A /B/\r\n0 TRLR\r\n";
  test::writeFile(dir.str() + "kestrane.log", ged);
  TBD db;
  THead head;
  test::RecordingHost host;
  ImportResult r =
      ImportGedcom(db, dir.str() + "kestrane.log", head, kModeAnsel, false, true, true, &host);
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(r.reason, "Le journal " + dir.str() +
                          "kestrane.log remplacerait le fichier GEDCOM : il n'est pas \xE9"
                          "crit.");
  EXPECT_EQ(host.messages, std::vector<std::string>{kErreur});
  EXPECT_EQ(test::readFile(dir.str() + "kestrane.log"), ged);
}

TEST(TopLevel, MissingFileIsAnErrorAndKeepsTheDatabase) {
  TBD db;
  db.AppendMode = false;
  int32_t p = db.NewPerson();
  db.SetSurname(p, "GARDE");
  THead head;
  test::RecordingHost host;
  ImportResult r =
      ImportGedcom(db, "/nonexistent-folder/x.ged", head, kModeAnsel, false, false, true, &host);
  EXPECT_TRUE(r.failed);
  EXPECT_EQ(host.messages, std::vector<std::string>{kErreur});
  EXPECT_EQ(r.reason, "Impossible de lire le fichier /nonexistent-folder/x.ged : il n'existe pas.");
  EXPECT_EQ(db.PersonCount, 1);
  EXPECT_EQ(db.GetSurname(1), "GARDE");
}

TEST(TopLevel, ProgressStatusAndDispatchEvery182Records) {
  std::vector<std::string> lines = {"0 HEAD"};
  for (int i = 1; i <= 200; ++i) lines.push_back("0 @I" + std::to_string(i) + "@ INDI");
  lines.push_back("0 TRLR");
  std::string bytes = test::gedLines(lines);
  auto im = importBytes(bytes);
  const std::string count = "Nombre de personnes et d'unions : ";
  EXPECT_EQ(im->host.statuses,
            (std::vector<std::string>{"Appuyez sur Echap pour abandonner.", count + "0 / 0",
                                      count + "0 / 0", count + "182 / 0"}));
  EXPECT_EQ(im->host.processed, 3);
  EXPECT_EQ(im->host.progressMax,
            std::vector<long long>{static_cast<long long>(bytes.size()) / 128});
  // Positions: at the header, at the first person, at person 183, then back to 0.
  ASSERT_EQ(im->host.progressPos.size(), 4u);
  EXPECT_EQ(im->host.progressPos[0], 0);
  const std::string line183 = "0 @I183@ INDI\r\n";
  EXPECT_EQ(im->host.progressPos[2],
            static_cast<long long>(bytes.find(line183) + line183.size()) / 128);
  EXPECT_EQ(im->host.progressPos[3], 0);
  EXPECT_TRUE(im->host.messages.empty());
}

TEST(TopLevel, AbortThroughTheHostKeepsWhatWasRead) {
  ImportOptions o;
  o.writeLog = true;
  o.abortAfter = 3;  // polled once per top-level record: HEAD, I1, then I2
  auto im = importLines({"0 HEAD", "0 @I1@ INDI", "1 NAME Un /A/", "1 SOUR @S1@", "0 @I2@ INDI",
                         "1 NAME Deux /B/", "0 TRLR"},
                        o);
  EXPECT_TRUE(im->result.aborted);
  EXPECT_FALSE(im->result.failed);
  EXPECT_EQ(im->db.PersonCount, 1);
  EXPECT_EQ(im->db.GetSurname(1), "A");
  EXPECT_TRUE(im->db.AppendMode);
  EXPECT_EQ(im->db.SourceCount, 1);  // the cited source stays reachable
  const std::string tail = "\r\nStopp\xE9 par touche ESCAPE \xE0 la Ligne 0 @I2@ INDI\r\n";
  ASSERT_GE(im->log.size(), tail.size());
  EXPECT_EQ(im->log.substr(im->log.size() - tail.size()), tail);
}

// ---- dates

TEST(Dates, PlainFormsGiveWhatDateGedcomGives) {
  std::vector<std::string> values = {"",
                                     " ",
                                     "1900 ",
                                     "12  MAY 1900",
                                     "12 MAY 1900 X",
                                     "ABT 1900",
                                     "BET 1900 AND 1910",
                                     "FROM 1900 TO 1910",
                                     "may 1900",
                                     "12 may 1900",
                                     "MAY",
                                     "12 MAY",
                                     "1 2 3",
                                     "+1 MAY 1900",
                                     "-5 MAY 1900",
                                     "MAY -1900",
                                     "X Y Z",
                                     "INT 1900",
                                     "AND 1900"};
  const char* days[] = {"0", "00", "1", "01", "9", "31", "32", "99", "123"};
  const char* months[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN", "JUL",
                          "AUG", "SEP", "OCT", "NOV", "DEC", "XYZ", "MA"};
  const char* years[] = {"0", "1", "0900", "1900", "9999", "10000", "00000", "19a0"};
  for (const char* y : years) {
    values.push_back(y);
    for (const char* m : months) {
      values.push_back(std::string(m) + " " + y);
      for (const char* d : days) values.push_back(std::string(d) + " " + m + " " + y);
    }
  }
  size_t plain = values.size();
  for (const char* q : {"ABT", "BEF", "AFT", "CAL", "EST", "INT", "BET", "FROM", "abt", "ABOUT"})
    for (size_t i = 0; i < plain; ++i) values.push_back(std::string(q) + " " + values[i]);
  for (const std::string& v : values) EXPECT_EQ(GedcomDateText(v), DateGedcom(v)) << v;
  EXPECT_EQ(GedcomDateText("12 MAY 1900"), "12/5/1900");
  EXPECT_EQ(GedcomDateText("01 DEC 0900"), "1/12/900");
  EXPECT_EQ(GedcomDateText("AFT MAY 1900"), "apr\xE8s 5/1900");
}

// ---- continued text

TEST(ContinuedText, ConcAddsASpaceContAddsALineEnd) {
  auto im = importLines({"0 @I1@ INDI", "1 NOTE xyz", "2 CONC abc", "2 CONT def", "2 FOO skipped",
                         "3 CONT deeper", "1 NOTE", "2 CONT second", "1 NOTE", "0 TRLR"});
  EXPECT_EQ(im->db.GetPersonField(1, 18), "xyz abc\r\ndef\r\ndeeper\r\n\r\nsecond\r\n");
}

// ---- individuals

// M and F as before; U, an empty value, any other value and no SEX line: unknown (2).
TEST(Individual, SexRules) {
  auto im = importLines({"0 @I1@ INDI", "1 SEX F", "0 @I2@ INDI", "1 SEX U", "0 @I3@ INDI",
                         "0 @I4@ INDI", "1 SEX m", "0 @I5@ INDI", "1 SEX", "0 @I6@ INDI", "1 SEX f",
                         "0 @I7@ INDI", "1 SEX X", "0 TRLR"});
  const int sexes[] = {1, 2, 2, 0, 2, 1, 2};
  for (int p = 1; p <= 7; ++p) EXPECT_EQ(im->db.GetSex(p), sexes[p - 1]) << p;
}

// Roman numerals written in capitals after the first given name keep them under name case.
TEST(Individual, RomanNumeralsKeepTheirCapitals) {
  const std::pair<const char*, const char*> cases[] = {
      {"Louis XIV /Bourbon/", "Louis XIV"},
      {"HENRY VIII /Tudor/", "Henry VIII"},
      {"Jean /Dupont/ III", "Jean, III"},
      {"jean-paul II /x/", "Jean-Paul II"},
      {"Louis MMMCMXCIX I /x/", "Louis MMMCMXCIX I"},
      {"LIV /x/", "Liv"},
      {"MIX /x/", "Mix"},
      {"LIV MIX /x/", "Liv MIX"},
      {"Jean IIII /x/", "Jean Iiii"},
      {"Jean VIC /x/", "Jean Vic"},
      {"Jean MMMM /x/", "Jean Mmmm"},
      {"Jean IL /x/", "Jean Il"},
      {"Louis xiv /x/", "Louis Xiv"},
      {"Louis Xiv /x/", "Louis Xiv"},
      {"Louis XIV. /x/", "Louis Xiv."},
      {"MARIE VICTOIRE /x/", "Marie Victoire"},
  };
  for (const auto& [value, given] : cases) {
    std::string s, g;
    SplitName(value, true, s, g);
    EXPECT_EQ(g, given) << value;
  }
}

TEST(Individual, NameExamples) {
  struct Case {
    std::string value, surname, given;
  } cases[] = {
      {"Jean Marie /Dupont/", "Dupont", "Jean Marie"},
      {"/Dupont/ Jean", "Dupont", "Jean"},
      {"Dupont", "Dupont", ""},
      {"Jean //", "?", "Jean"},
      {"", "?", ""},
      {"/Dupont", "Dupont", ""},
      {"Jean /Du/pont/", "pont", "Jean /Du"},
      {"  Jean  /  de la Tour /", "de la Tour", "Jean"},
      // A suffix after the surname stays with the given names.
      {"Jean /Dupont/ Jr", "Dupont", "Jean, Jr"},
      {"Jean /Dupont/III", "Dupont", "Jean, III"},
      {"Jean /Du/pont/ x", "Du", "Jean, pont/ x"},
  };
  for (const Case& c : cases) {
    std::string s, g;
    SplitName(c.value, false, s, g);
    EXPECT_EQ(s, c.surname) << c.value;
    EXPECT_EQ(g, c.given) << c.value;
  }
  std::string s, g;
  SplitName("jean-PIERRE \"jo\" /de la fontaine/", true, s, g);
  EXPECT_EQ(s, "DE LA FONTAINE");
  EXPECT_EQ(g, "Jean-Pierre \"Jo\"");
  SplitName("\xE9lodie /lef\xE8vre/", true, s, g);
  EXPECT_EQ(s, "LEF\xC8VRE");
  EXPECT_EQ(g, "\xC9lodie");
}

TEST(Individual, NameLinesWithAndWithoutNameCase) {
  std::vector<std::string> lines = {"0 @I1@ INDI", "1 NAME jean marie /dupont/", "2 GIVN x",
                                    "0 TRLR"};
  auto on = importLines(lines);
  EXPECT_EQ(on->db.GetSurname(1), "DUPONT");
  EXPECT_EQ(on->db.GetGivenNames(1), "Jean Marie");
  ImportOptions o;
  o.nameCase = false;
  auto off = importLines(lines, o);
  EXPECT_EQ(off->db.GetSurname(1), "dupont");
  EXPECT_EQ(off->db.GetGivenNames(1), "jean marie");
}

TEST(Individual, FixedKindEventsKeepFileOrder) {
  auto im = importLines({"0 @I1@ INDI", "1 BIRT", "2 DATE 12 MAY 1900", "2 PLAC France, Bretagne",
                         "2 TYPE ignored", "1 CHR", "1 DEAT Y", "1 BURI", "1 CREM", "1 BAPM",
                         "1 BARM", "1 BASM", "1 BLES", "1 FAMS @F1@", "1 FAMC @F2@", "0 TRLR"});
  const TBD& db = im->db;
  ASSERT_EQ(db.PersonEventCount(1), 9);
  const std::string kinds[] = {kNaissance, kBapteme, kDeces,   kSepulture, kSepulture,
                               kBapteme,   kBapteme, kBapteme, kBapteme};
  for (int i = 0; i < 9; ++i) EXPECT_EQ(ev(db, 1, i + 1, 1), kinds[i]) << i;
  EXPECT_EQ(ev(db, 1, 1, 2), "12/5/1900");
  EXPECT_EQ(ev(db, 1, 1, 4), "France, Bretagne");
  EXPECT_EQ(ev(db, 1, 3, 5), "");  // the value of a fixed-kind line is not kept
  EXPECT_EQ(db.GetBirthDate(1), "12/5/1900");
}

TEST(Individual, QualityFromQuay) {
  auto im = importLines({"0 @I1@ INDI", "1 BIRT", "2 QUAY 2", "1 DEAT", "2 QUAY 0", "1 BURI",
                         "2 QUAY x", "1 BAPM", "1 EVEN", "2 QUAY 5", "0 TRLR"});
  // The fourth has no QUAY: empty, not the "0" of a fresh slot.
  const char* qualities[] = {"1", "3", "3", "", "-2"};
  for (int i = 0; i < 5; ++i) EXPECT_EQ(ev(im->db, 1, i + 1, 6), qualities[i]) << i;
}

TEST(Individual, NoteAndSourceOrderInEvents) {
  auto im = importLines({"0 @I1@ INDI", "1 DEAT", "2 NOTE mort", "3 CONT jeune", "2 SOUR @S1@",
                         "3 PAGE 4", "2 TIME 10:15", "1 BURI", "2 SOUR @S1@", "2 NOTE la note",
                         "0 TRLR"});
  EXPECT_EQ(ev(im->db, 1, 1, 5), "mort\r\njeune\r\n\r\n@S1@\r\n");
  EXPECT_EQ(ev(im->db, 1, 1, 3), "10:15");
  EXPECT_EQ(ev(im->db, 1, 2, 5), "la note\r\n");
}

TEST(Individual, UnknownEventLinesGoToTheNoteAndTheLog) {
  ImportOptions o;
  o.writeLog = true;
  auto im = importLines(
      {"0 @I1@ INDI", "1 BIRT", "2 AGE 3", "3 TIME 9:00", "2 ADDR Ici", "3 CONT La", "0 TRLR"}, o);
  EXPECT_EQ(ev(im->db, 1, 1, 5), "\r\n2 AGE 3\r\n2 ADDR Ici\r\n3 CONT La");
  EXPECT_EQ(ev(im->db, 1, 1, 3), "9:00");  // a deeper TIME is still the time
  EXPECT_NE(im->log.find("4 EVE : 2 AGE 3\r\n6 EVE : 2 ADDR Ici\r\n7 EVE : 3 CONT La\r\n"),
            std::string::npos);
}

TEST(Individual, GenericAndEvenEvents) {
  auto im = importLines({"0 @I1@ INDI", "1 GRAD", "2 TYPE Licence", "1 RESI Paris", "1 RESI Lyon",
                         "2 NOTE rue", "1 EVEN", "2 TYPE Communion", "1 EVEN valeur perdue",
                         "1 _UID 123", "0 TRLR"});
  const TBD& db = im->db;
  ASSERT_EQ(db.PersonEventCount(1), 6);
  EXPECT_EQ(ev(db, 1, 1, 1), "GRAD Licence");
  EXPECT_EQ(ev(db, 1, 1, 5), "");
  EXPECT_EQ(ev(db, 1, 2, 1), "RESI");
  EXPECT_EQ(ev(db, 1, 2, 5), "Paris");
  EXPECT_EQ(ev(db, 1, 3, 5), "Lyon\r\nrue\r\n");
  EXPECT_EQ(ev(db, 1, 4, 1), "Communion");
  EXPECT_EQ(ev(db, 1, 5, 1), "");
  EXPECT_EQ(ev(db, 1, 5, 5), "");
  EXPECT_EQ(ev(db, 1, 6, 1), "_UID");
  EXPECT_EQ(ev(db, 1, 6, 5), "123");
}

TEST(Individual, AttributesNotesAndChange) {
  auto im =
      importLines({"0 @I1@ INDI", "1 OCCU Tisserand", "1 TITL Comte", "1 OCCU Meunier", "1 NOTE un",
                   "1 NOTE deux", "1 CHAN", "2 DATE 1 JAN 2001", "3 TIME 10:00", "0 TRLR"});
  const TBD& db = im->db;
  EXPECT_EQ(db.GetPersonField(1, 23), "t|Profession|Tisserand|t|Titre|Comte|t|Profession|Meunier|");
  EXPECT_EQ(db.GetProfession(1), "Tisserand");
  EXPECT_EQ(db.GetAttribute(1, "Titre"), "Comte");
  EXPECT_EQ(db.GetPersonField(1, 18), "un\r\ndeux\r\n");
  EXPECT_EQ(db.GetPersonField(1, 21), "1/1/2001");
  EXPECT_EQ(db.GetPersonField(1, 22), "1/1/2001");
  EXPECT_EQ(db.PersonEventCount(1), 0);
  EXPECT_EQ(db.EventCount, 0);
}

TEST(Individual, DeeperLinesOfAPersonAreSkipped) {
  auto im = importLines({"0 @I1@ INDI", "1 NAME A /B/", "2 SURN X", "5 NAME C /D/", "0 TRLR"});
  EXPECT_EQ(im->db.GetSurname(1), "B");
  EXPECT_EQ(im->db.EventCount, 0);
}

// ---- sources

TEST(Sources, CitationsNumberSourcesInOrderOfFirstCitation) {
  ImportOptions o;
  o.writeLog = true;
  auto im = importLines({"0 @I1@ INDI",
                         "1 SOUR @S4@",
                         "2 PAGE 12",
                         "1 SOUR @S2@",
                         "1 SOUR @S4@",
                         "0 @I2@ INDI",
                         "1 SOUR @S4@",
                         "1 SOUR texte sans pointeur",
                         "1 SOUR Registre 1789",
                         "0 @S4@ SOUR",
                         "1 AUTH Avant",
                         "1 NOTE n1",
                         "2 CONT n2",
                         "1 TITL Registre",
                         "2 CONC suite",
                         "1 ABBR Reg",
                         "1 AUTH Cur\xE9",
                         "1 OBJE",
                         "2 FORM jpg",
                         "2 FILE image.jpg",
                         "2 NOTE legende",
                         "3 NOTE profond",
                         "0 @S2@ SOUR",
                         "1 NOTE @N1@",
                         "2 NOTE dans la note",
                         "1 FILE f.txt",
                         "1 OBJE",
                         "2 NOTE x",
                         "0 @S9@ SOUR",
                         "1 TITL Jamais",
                         "2 DATA",
                         "0 TRLR"},
                        o);
  const TBD& db = im->db;
  EXPECT_EQ(db.SourceCount, 2);
  EXPECT_EQ(db.Person(1)->SourceList, (NumList{1, 2}));
  EXPECT_EQ(db.Person(2)->SourceList, (NumList{1}));
  const TSrc* s4 = db.SourceRecord(1);
  EXPECT_TRUE(s4->InUse);
  EXPECT_EQ(s4->Title, "Registre");
  EXPECT_EQ(s4->Abbrev, "Reg");
  // A level-1 NOTE replaces the text gathered so far; other lines are added after it.
  EXPECT_EQ(s4->Text, "n1\r\nn2\r\nCONC: suite\r\nAUTH: Cur\xE9\r\n");
  EXPECT_EQ(s4->File, "image.jpg|legende");
  const TSrc* s2 = db.SourceRecord(2);
  EXPECT_EQ(s2->Text, "@N1@\r\n");
  EXPECT_EQ(s2->File, "f.txt|x");
  EXPECT_NE(
      im->log.find("31 1 TITL Jamais Pointeur de source invalide.\r\n32 2 DATA\r\n33 0 TRLR\r\n"),
      std::string::npos);
}

TEST(Sources, ARecordBeforeItsFirstCitationIsFilled) {
  auto im = importLines({"0 @S1@ SOUR", "1 TITL Avant", "0 @I1@ INDI", "1 SOUR @S1@", "0 TRLR"});
  EXPECT_EQ(im->db.SourceCount, 1);
  EXPECT_EQ(im->db.SourceRecord(1)->Title, "Avant");
  EXPECT_EQ(im->db.PersonCount, 1);
}

TEST(Sources, CitationsBeyondTheTableStoreNothing) {
  ImportOptions o;
  o.capacity = 5;
  auto im = importLines({"0 @I1@ INDI", "1 SOUR @S6@", "1 SOUR @S5@", "1 SOUR @S0@", "0 TRLR"}, o);
  EXPECT_EQ(im->db.SourceCount, 1);
  EXPECT_EQ(im->db.Person(1)->SourceList, (NumList{1}));
}

// ---- pointers and families

TEST(Pointers, SplitIntoLettersAndNumber) {
  struct Case {
    std::string ptr, letters;
    int64_t number;
  } cases[] = {
      {"@I12@", "I", 12},  {"@I007@", "I", 7}, {"@P7@", "P", 7},
      {"@FAM@", "FAM", 0}, {"@@", "", 0},      {"", "", 0},
      {"@12@", "", 12},    {"@I1X2@", "I", 1}, {"@I99999999999999999999@", "I", INT32_MAX}};
  for (const Case& c : cases) {
    GedPointer p = SplitPointer(c.ptr);
    EXPECT_EQ(p.letters, c.letters) << c.ptr;
    EXPECT_EQ(p.number, c.number) << c.ptr;
  }
}

TEST(Pointers, MainTableAndExtraList) {
  auto im =
      importLines({"0 @I1@ INDI", "1 SEX F", "0 @I2@ INDI", "1 SEX F", "0 @I3@ INDI", "0 @P7@ INDI",
                   "1 SEX M", "0 @I1001@ INDI", "0 @I99999999999999999999@ INDI", "0 @@ INDI",
                   "0 @F1@ FAM", "1 HUSB @p7@", "1 WIFE @I2@", "1 CHIL @I3@", "1 CHIL @I9@",
                   "1 CHIL @i1001@", "1 CHIL @I99999999999999999999@", "1 CHIL @@", "0 TRLR"});
  const TBD& db = im->db;
  ASSERT_EQ(db.UnionCount, 1);
  EXPECT_EQ(db.GetHusband(1), 4);
  EXPECT_EQ(db.GetWife(1), 2);
  for (int32_t child : {3, 5, 6, 7}) {
    EXPECT_EQ(db.GetFather(child), 4) << child;
    EXPECT_EQ(db.GetMother(child), 2) << child;
  }
}

TEST(Pointers, RepeatedPointers) {
  // The main table keeps the last person of a number, the extra list the first of a pointer.
  auto im = importLines({"0 @I1@ INDI", "1 SEX M", "0 @I1@ INDI", "1 SEX M", "0 @X1@ INDI",
                         "0 @X1@ INDI", "0 @F1@ FAM", "1 HUSB @I1@", "1 CHIL @X1@", "0 TRLR"});
  EXPECT_EQ(im->db.GetFather(3), 2);
  EXPECT_EQ(im->db.GetFather(4), 0);
}

TEST(Families, SpousesMustHaveTheRightSex) {
  auto im = importLines({"0 @I1@ INDI", "1 SEX F", "0 @I2@ INDI", "1 SEX F", "0 @I3@ INDI",
                         "0 @F1@ FAM", "1 HUSB @I1@", "1 WIFE @I2@", "1 CHIL @I3@", "0 @F2@ FAM",
                         "1 HUSB @I1@", "1 WIFE @I2@", "1 MARR", "2 DATE 1950", "0 TRLR"});
  const TBD& db = im->db;
  ASSERT_EQ(db.UnionCount, 1);  // F1: husband is a woman, no event, no union
  EXPECT_EQ(db.Union(1)->NumH, 0);
  EXPECT_EQ(db.Union(1)->NumF, 2);
  EXPECT_EQ(db.GetFather(3), 0);
  EXPECT_EQ(db.GetMother(3), 2);
  EXPECT_EQ(db.GetUnionEvent(1, kMariage, 2), "1950");
}

// A spouse of unknown sex is taken in either role; a known sex in the other role is not.
TEST(Families, SpousesOfUnknownSexAreTaken) {
  struct Case {
    const char *husbandSex, *wifeSex;
    int32_t father, mother, unions;
    const char* logged;  // the log line of a spouse not taken, or ""
  } cases[] = {
      {"1 SEX M", "1 SEX F", 1, 2, 1, ""},
      {"", "1 SEX F", 1, 2, 1, ""},
      {"1 SEX M", "", 1, 2, 1, ""},
      {"1 SEX U", "1 SEX", 1, 2, 1, ""},
      {"1 SEX F", "1 SEX F", 0, 2, 0,
       "8 Femme donn\xE9"
       "e comme \xE9poux, lien non enregistr\xE9 : 1 HUSB @I1@\r\n"},
      {"", "1 SEX M", 1, 0, 0,
       "8 Homme donn\xE9 comme \xE9pouse, lien non enregistr\xE9 : 1 WIFE @I2@\r\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines = {"0 @I1@ INDI", c.husbandSex, "0 @I2@ INDI", c.wifeSex,
                                      "0 @I3@ INDI", "0 @F1@ FAM", "1 HUSB @I1@", "1 WIFE @I2@",
                                      "1 CHIL @I3@", "0 TRLR"};
    std::erase(lines, std::string());
    auto im = importLines(lines, {.writeLog = true});
    SCOPED_TRACE(std::string(c.husbandSex) + " / " + c.wifeSex);
    if (*c.logged)
      EXPECT_NE(im->log.find(c.logged), std::string::npos) << im->log;
    else
      EXPECT_EQ(im->log.find("comme \xE9"), std::string::npos) << im->log;
    EXPECT_EQ(im->db.GetFather(3), c.father);
    EXPECT_EQ(im->db.GetMother(3), c.mother);
    EXPECT_EQ(im->db.UnionCount, c.unions);
    EXPECT_EQ(ConjointNum(im->db, 1).Lit(1), c.unions ? 2 : 0);
  }
}

TEST(Families, MarriageAndChildBeforeASpouseStillLinkBothSpouses) {
  auto im = importLines({"0 @I1@ INDI", "1 SEX M", "0 @I2@ INDI", "1 SEX F", "0 @I3@ INDI",
                         "0 @I4@ INDI", "0 @F1@ FAM", "1 CHIL @I3@", "1 HUSB @I1@", "1 MARR",
                         "1 WIFE @I2@", "1 CHIL @I4@", "0 TRLR"});
  const TBD& db = im->db;
  ASSERT_EQ(db.UnionCount, 1);
  EXPECT_EQ(db.Union(1)->NumH, 1);
  EXPECT_EQ(db.Union(1)->NumF, 2);
  for (int32_t child : {3, 4}) {
    EXPECT_EQ(db.GetFather(child), 1);
    EXPECT_EQ(db.GetMother(child), 2);
  }
}

TEST(Families, NotesOfAUnionWithOneMarriageAccumulate) {
  auto im =
      importLines({"0 @I1@ INDI", "1 SEX M", "0 @I2@ INDI", "1 SEX F", "0 @F1@ FAM", "1 HUSB @I1@",
                   "1 WIFE @I2@", "1 NOTE un", "2 CONC et", "1 NOTE deux", "0 TRLR"});
  EXPECT_EQ(im->db.UnionEventCount(1), 1);  // the note makes the "Mariage" event
  EXPECT_EQ(im->db.GetUnionField(1, 7), "un et\r\ndeux\r\n");
  EXPECT_EQ(im->result.eventsDropped, 0);
}

TEST(Families, SingleParentWithoutEventMakesNoUnion) {
  auto im = importLines({"0 @I1@ INDI", "1 SEX F", "0 @I2@ INDI", "0 @F1@ FAM", "1 WIFE @I1@",
                         "1 CHIL @I2@", "1 NOTE perdue", "0 TRLR"});
  EXPECT_EQ(im->db.UnionCount, 0);
  EXPECT_EQ(im->db.GetMother(2), 1);
}

TEST(Families, EventsNotesAndKinds) {
  ImportOptions o;
  o.writeLog = true;
  auto im = importLines({"0 @I1@ INDI",
                         "1 SEX M",
                         "0 @I2@ INDI",
                         "1 SEX F",
                         "0 @F1@ FAM",
                         "1 RESI avant",
                         "1 HUSB @I1@",
                         "1 WIFE @I2@",
                         "1 ENGA",
                         "2 DATE 1949",
                         "1 MARR",
                         "2 DATE 12 JUN 1950",
                         "2 PLAC France, Bretagne, 29, 200 Brest",
                         "1 NOTE ma",
                         "2 CONT note",
                         "1 NOTE encore",
                         "1 DIV",
                         "2 DATE 1960",
                         "1 CENS",
                         "1 EVEN",
                         "2 TYPE Contrat",
                         "1 RESI Brest",
                         "0 TRLR"},
                        o);
  const TBD& db = im->db;
  ASSERT_EQ(db.UnionCount, 1);
  // An event listed before the spouses belongs to their union all the same.
  ASSERT_EQ(db.UnionEventCount(1), 7);
  const std::string kinds[] = {"RESI", kMariage, kMariage, kDivorce, kDivorce, "Contrat", "RESI"};
  for (int i = 0; i < 7; ++i) EXPECT_EQ(db.GetUnionEventField(1, i + 1, 1), kinds[i]) << i;
  EXPECT_EQ(db.GetUnionEventField(1, 1, 5), "avant");
  EXPECT_EQ(db.GetUnionEventField(1, 2, 2), "1949");
  EXPECT_EQ(db.GetUnionEventField(1, 7, 5), "Brest");
  // The family note is union code 7: read through the first "Mariage" event, written to the
  // last one; with two such events the second note replaces the first.
  EXPECT_EQ(db.GetUnionEventField(1, 2, 5), "");
  EXPECT_EQ(db.GetUnionEventField(1, 3, 5), "encore\r\n");
  EXPECT_EQ(db.GetUnionField(1, 4), "1960");
  EXPECT_EQ(im->log.find("FAM :"), std::string::npos);
  EXPECT_EQ(db.EventCount, 7);
}

// ---- record order and linked notes

// Everything an import puts in the database, event numbers aside.
std::string dump(const TBD& db, const ImportResult& r) {
  std::string d = std::to_string(db.PersonCount) + "/" + std::to_string(db.UnionCount) + "/" +
                  std::to_string(db.SourceCount) + " dropped " + std::to_string(r.personsDropped) +
                  "/" + std::to_string(r.unionsDropped) + "/" + std::to_string(r.eventsDropped) +
                  "\n";
  auto events = [&](const NumList& list) {
    for (int32_t e : list) {
      const TEve* ev = db.EventRecord(e);
      d += "  [" + ev->Kind + "|" + ev->Date + "|" + ev->Time + "|" + ev->Place + "|" + ev->Note +
           "|" + ev->Quality + "]\n";
    }
  };
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    const TFiche* f = db.Person(p);
    d += "P" + std::to_string(p) + " " + f->Nom + "|" + f->Pre + "|" + std::to_string(f->Sexe) +
         "|" + std::to_string(f->NumP) + "|" + std::to_string(f->NumM) + "|" + f->Note + "|" +
         f->Dcree + "|" + f->Attributes + "|sources";
    for (int32_t s : f->SourceList) d += " " + std::to_string(s);
    d += "\n";
    events(f->EventList);
  }
  for (int32_t u = 1; u <= db.UnionCount; ++u) {
    d += "U" + std::to_string(u) + " " + std::to_string(db.Union(u)->NumH) + "+" +
         std::to_string(db.Union(u)->NumF) + "\n";
    events(db.Union(u)->EventList);
  }
  for (int32_t s = 1; s <= db.SourceCount; ++s) {
    const TSrc* src = db.SourceRecord(s);
    d += "S" + std::to_string(s) + " " + src->Title + "|" + src->Abbrev + "|" + src->Text + "|" +
         src->File + "\n";
  }
  return d;
}

using Record = std::vector<std::string>;
using Lines = std::vector<std::string>;

// The parts one after the other, then the trailer; importLines adds the header.
Lines file(const std::vector<Lines>& parts) {
  Lines lines;
  for (const Lines& part : parts) lines.insert(lines.end(), part.begin(), part.end());
  lines.push_back("0 TRLR");
  return lines;
}

TEST(RecordOrder, AnyOrderGivesWhatTheCanonicalOrderGives) {
  const Record i1 = {"0 @I1@ INDI", "1 NAME Jean /Martin/", "1 SEX M",
                     "1 BIRT",      "2 DATE 1 JAN 1900",    "2 NOTE @N1@",
                     "1 NOTE @N2@", "1 SOUR @S2@",          "1 SOUR @S1@"};
  const Record i2 = {"0 @I2@ INDI", "1 NAME Marie /Durand/", "1 SEX F", "1 SOUR @S1@"};
  const Record i3 = {"0 @I3@ INDI", "1 NAME Paul /Martin/", "1 SEX M"};
  const Record i4 = {"0 @I4@ INDI", "1 NAME Anne /Martin/", "1 SEX F"};
  // The same pointer again: from here on "@I3@" names this person, as the main table keeps
  // the last one.
  const Record i3again = {"0 @I3@ INDI", "1 NAME Pierre /Martin/", "1 SEX M"};
  const Record i5 = {"0 @I5@ INDI", "1 NAME Luc /Martin/", "1 BIRT", "1 CHR", "1 DEAT", "1 BURI"};
  const Record f1 = {"0 @F1@ FAM", "1 HUSB @I1@", "1 WIFE @I2@",  "1 CHIL @I3@", "1 CHIL @I4@",
                     "1 MARR",     "2 DATE 1925", "2 PLAC Paris", "1 NOTE @N2@", "1 RESI Lyon"};
  const Record f1Shuffled = {"0 @F1@ FAM",  "1 MARR",      "2 DATE 1925", "2 PLAC Paris",
                             "1 CHIL @I3@", "1 NOTE @N2@", "1 WIFE @I2@", "1 CHIL @I4@",
                             "1 HUSB @I1@", "1 RESI Lyon"};
  // A husband who is a woman is refused; one parent and no event: no union, but the child.
  const Record f2 = {"0 @F2@ FAM", "1 HUSB @I4@", "1 WIFE @I4@", "1 CHIL @I5@"};
  const Record f3 = {"0 @F3@ FAM", "1 HUSB @I3@", "1 CHIL @I5@", "1 DIV", "2 DATE 1950"};
  const Record s1 = {"0 @S1@ SOUR", "1 TITL Registre", "1 NOTE @N1@"};
  const Record s2 = {"0 @S2@ SOUR", "1 TITL Recensement", "1 ABBR Rec"};
  const Record n1 = {"0 @N1@ NOTE Premi\xE8re", "1 CONT suite", "1 CONC fin"};
  const Record n2 = {"0 @N2@ NOTE Seconde"};

  const std::vector<Record> canonical = {i1, i2, i3, i4, i3again, i5, f1, f2, f3, s1, s2, n1, n2};
  const std::vector<std::vector<Record>> orders = {
      {f1, f2, f3, i1, i2, i3, i4, i3again, i5, s1, s2, n1, n2},          // families first
      {s2, s1, n2, n1, i1, i2, i3, i4, i3again, i5, f1, f2, f3},          // sources and notes first
      {i1, i2, i3, i4, i3again, f1Shuffled, i5, f2, f3, s1, s2, n1, n2},  // MARR, CHIL first
      {i1, i2, i3, i4, f1, i3again, i5, f2, f3, s1, s2, n1, n2},          // a pointer taken again
      {i1, s1, i2, f2, i3, n1, i4, f1, i3again, f3, i5, n2, s2},          // all mixed
  };
  auto ansel = [](std::vector<Record> records) {
    records.insert(records.begin(), Record{"1 CHAR ANSEL"});
    return file(records);
  };
  // Growing, fixed and so small a pool that events are dropped: the same ones (those of the
  // families, read last in the canonical order).
  for (int capacity : {kGrowing, 1000, 6}) {
    ImportOptions o;
    o.capacity = capacity;
    auto want = importLines(ansel(canonical), o);
    const std::string expected = dump(want->db, want->result);
    for (size_t k = 0; k < orders.size(); ++k) {
      auto got = importLines(ansel(orders[k]), o);
      EXPECT_EQ(dump(got->db, got->result), expected) << "capacity " << capacity << ", order " << k;
    }
    if (capacity != kGrowing) continue;
    // The canonical result itself, spelt out where the rules bite.
    const TBD& db = want->db;
    EXPECT_EQ(db.GetFather(5), 1);  // "@I3@" listed in F1: the last record of that pointer
    EXPECT_EQ(db.GetFather(3), 0);
    EXPECT_EQ(db.GetMother(6), 4);  // F2: the mother alone; F3 names the second "@I3@"
    EXPECT_EQ(db.GetFather(6), 5);
    ASSERT_EQ(db.UnionCount, 2);
    EXPECT_EQ(db.GetHusband(2), 5);
    EXPECT_EQ(db.GetWife(2), 0);
    EXPECT_EQ(db.GetPersonField(1, 18), "Seconde\r\n");
    EXPECT_EQ(db.GetPersonEventField(1, 1, 5), "Premi\xE8re\r\nsuite fin\r\n");
    EXPECT_EQ(db.GetUnionField(1, 7), "Seconde\r\n");
    EXPECT_EQ(db.SourceRecord(1)->Title, "Recensement");
    EXPECT_EQ(db.SourceRecord(2)->Text, "Premi\xE8re\r\nsuite fin\r\n");
  }
}

TEST(LinkedNotes, PointersTakeTheirNoteRecordsText) {
  const Lines citations = {"0 @I1@ INDI", "1 SEX M",     "1 NOTE @N1@", "1 BIRT",     "2 NOTE @N1@",
                           "0 @I2@ INDI", "1 SEX F",     "1 SOUR @S1@", "0 @F1@ FAM", "1 HUSB @I1@",
                           "1 WIFE @I2@", "1 NOTE @N1@", "0 @S1@ SOUR", "1 NOTE @N1@"};
  const Lines note = {"0 @N1@ NOTE Texte", "1 CONT suite", "1 SOUR @S1@"};
  const std::string text = "Texte\r\nsuite\r\n";
  struct Case {
    const char* what;
    Lines lines;
    std::string expected;
  } cases[] = {
      {"record after", file({citations, note}), text},
      {"record before", file({note, citations}), text},
      {"pointer to nothing", file({{"0 @N2@ NOTE autre"}, citations}), "@N1@\r\n"},
      {"after the trailer", file({citations, {"0 TRLR", "0 @N1@ NOTE trop tard"}}), "@N1@\r\n"},
      {"the first of two",
       file({{"0 @N1@ NOTE Texte", "1 CONT suite"}, citations, {"0 @N1@ NOTE non"}}), text},
  };
  for (const Case& c : cases) {
    auto im = importLines(c.lines);
    const TBD& db = im->db;
    EXPECT_EQ(db.GetPersonField(1, 18), c.expected) << c.what;
    EXPECT_EQ(db.GetPersonEventField(1, 1, 5), c.expected) << c.what;
    EXPECT_EQ(db.GetUnionField(1, 7), c.expected) << c.what;
    ASSERT_NE(db.SourceRecord(1), nullptr);
    EXPECT_EQ(db.SourceRecord(1)->Text, c.expected) << c.what;
  }
}

TEST(LinkedNotes, Gedcom7SharedNotes) {
  const std::string shared =
      "Partag\xE9"
      "e";
  auto im = importLines({"0 HEAD", "1 GEDC", "2 VERS 7.0", "0 @I1@ INDI", "1 SNOTE @N1@", "1 BIRT",
                         "2 SNOTE @N1@", "1 SNOTE @VOID@", "0 @N1@ SNOTE " + shared,
                         "1 CONT par deux", "0 TRLR"});
  const TBD& db = im->db;
  EXPECT_EQ(db.GetPersonField(1, 18), shared + "\r\npar deux\r\n");
  EXPECT_EQ(db.GetPersonEventField(1, 1, 5), shared + "\r\npar deux\r\n");
  // A pointer to no shared note stays what it was: an event of its tag.
  ASSERT_EQ(db.PersonEventCount(1), 2);
  EXPECT_EQ(db.GetPersonEventField(1, 2, 1), "SNOTE");
  EXPECT_EQ(db.GetPersonEventField(1, 2, 5), "@VOID@");
}

// A note record linked again and again from one record (a 100 KB note, 1000 times) is shown
// there once; another record still shows it, and text typed under a pointer is kept.
TEST(LinkedNotes, ANoteLinkedManyTimesFromOneRecordIsShownOnce) {
  Lines n1 = {
      "0 @N1@ NOTE d\xE9"
      "but"};
  std::string text1 =
      "d\xE9"
      "but";
  for (int i = 0; i < 1000; ++i) {
    const std::string part = std::to_string(i) + std::string(96, 'x');
    n1.push_back("1 CONC " + part);
    text1 += " " + part;
  }
  text1 += "\r\n";
  const Lines n2 = {"0 @N2@ NOTE autre"};
  Lines p1 = {"0 @I1@ INDI", "1 SEX M"}, p2 = {"0 @I2@ INDI", "1 SEX F", "1 NOTE @N1@"},
        f1 = {"0 @F1@ FAM", "1 HUSB @I1@", "1 WIFE @I2@", "1 MARR"};
  for (int i = 0; i < 1000; ++i) {
    for (Lines* record : {&p1, &f1}) record->push_back("1 NOTE @N1@");
    if (i == 500) {
      for (Lines* record : {&p1, &f1}) record->push_back("1 NOTE @n2@");
      p1.insert(p1.end(), {"1 NOTE \xE0 moi", "1 NOTE \xE0 moi", "1 NOTE @N1@", "2 CONT ajout"});
    }
  }
  const std::string mine = "\xE0 moi\r\n";
  struct Case {
    const char* what;
    Lines lines;
  } cases[] = {
      {"notes first", file({n1, n2, p1, p2, f1})},
      {"notes last", file({p1, p2, f1, n1, n2})},
  };
  for (const Case& c : cases) {
    auto im = importLines(c.lines);
    const TBD& db = im->db;
    EXPECT_EQ(db.GetPersonField(1, 18), text1 + "autre\r\n" + mine + mine + "\r\najout\r\n")
        << c.what;
    EXPECT_EQ(db.GetPersonField(2, 18), text1) << c.what;
    EXPECT_EQ(db.GetUnionField(1, 7), text1 + "autre\r\n") << c.what;
  }
}

// ---- not a GEDCOM file

TEST(NotGedcom, NothingIsReadWithoutAHeaderFirst) {
  std::string utf16 = "\xFF\xFE";
  for (char c : std::string("0 HEAD\n0 @I1@ INDI\n")) utf16 += std::string{c, '\0'};
  std::string noise(3000, '\0');
  for (size_t i = 0; i < noise.size(); ++i) noise[i] = static_cast<char>((i * 7919 + 13) % 256);
  struct Case {
    const char* what;
    std::string bytes;
    bool gedcom;
  } cases[] = {
      {"text", "Lisez-moi\nCe dossier contient 0 HEAD plus loin.\n0 HEAD\n", false},
      {"random bytes", noise, false},
      {"empty", "", false},
      {"a person first", "0 @I1@ INDI\n1 NAME A /B/\n0 HEAD\n0 TRLR\n", false},
      {"byte-order mark and blank lines", "\xEF\xBB\xBF\r\n\r\n  0 HEAD\r\n0 @I1@ INDI\r\n", true},
      {"UTF-16", utf16, true},
  };
  for (const Case& c : cases) {
    ImportOptions o;
    o.writeLog = true;
    auto im = importBytes(c.bytes, o);
    EXPECT_EQ(im->result.notGedcom, !c.gedcom) << c.what;
    EXPECT_EQ(im->result.failed, !c.gedcom) << c.what;
    EXPECT_EQ(im->db.PersonCount, c.gedcom ? 1 : 0) << c.what;
    EXPECT_FALSE(im->db.AppendMode) << c.what;
    if (c.gedcom) continue;
    EXPECT_EQ(im->result.reason, "Ce fichier n'est pas un fichier GEDCOM : " + im->gedPath + ".");
    EXPECT_TRUE(im->host.messages.empty());  // the caller shows the reason
    EXPECT_NE(im->log.find(kNotGedcom), std::string::npos);
  }
}

// ---- full pools

TEST(FullPools, PersonsUnionsAndEventsBeyondCapacityAreCountedAndLogged) {
  ImportOptions o;
  o.capacity = 2;
  o.writeLog = true;
  auto im = importLines(
      {"0 @I1@ INDI", "1 SEX M",     "1 BIRT",      "0 @I2@ INDI",        "1 SEX F", "1 BIRT",
       "1 DEAT",      "2 DATE 1990", "0 @I3@ INDI", "1 NAME Trop /Tard/", "1 BIRT",  "0 @F1@ FAM",
       "1 HUSB @I1@", "1 WIFE @I2@", "1 NOTE n",    "0 @F2@ FAM",         "1 MARR",  "0 @F3@ FAM",
       "1 MARR",      "2 DATE 1950", "0 TRLR"},
      o);
  const TBD& db = im->db;
  EXPECT_EQ(db.PersonCount, 2);
  EXPECT_EQ(db.UnionCount, 2);
  EXPECT_EQ(db.EventCount, 2);
  EXPECT_EQ(im->result.personsDropped, 1);
  EXPECT_EQ(im->result.unionsDropped, 1);
  EXPECT_EQ(im->result.eventsDropped, 3);  // DEAT, the note's "Mariage", F2's MARR
  std::string summary =
      "Base pleine (capacit\xE9 2) : 1 personne, 1 union et 3 \xE9v\xE9nements "
      "n'ont pas pu \xEAtre enregistr\xE9s.";
  EXPECT_EQ(DroppedSummary(im->result, 2), summary);
  EXPECT_EQ(DroppedSummary(ImportResult{}, 2), "");
  EXPECT_EQ(im->host.statuses.back(), summary);
  for (const char* entry : {"8 Base pleine, \xE9v\xE9nement non enregistr\xE9 : 1 DEAT\r\n",
                            "10 Base pleine, personne non enregistr\xE9"
                            "e : 0 @I3@ INDI\r\n",
                            "16 Base pleine, \xE9v\xE9nement non enregistr\xE9 : 1 NOTE n\r\n",
                            "18 Base pleine, \xE9v\xE9nement non enregistr\xE9 : 1 MARR\r\n",
                            "20 Base pleine, union non enregistr\xE9"
                            "e : 1 MARR\r\n"})
    EXPECT_NE(im->log.find(entry), std::string::npos) << entry;
  EXPECT_EQ(im->log.substr(im->log.size() - summary.size() - 2), summary + "\r\n");
  EXPECT_EQ(db.GetDeathDate(2), "");
}

TEST(FullPools, ADroppedEventIsLoggedBeforeItsSubLines) {
  ImportOptions o;
  o.capacity = 1;
  o.writeLog = true;
  auto im = importLines({"0 @I1@ INDI", "1 BIRT", "1 DEAT", "2 FOO x", "0 @F1@ FAM", "1 RESI ici",
                         "2 BAR y", "0 TRLR"},
                        o);
  EXPECT_NE(im->log.find("4 Base pleine, \xE9v\xE9nement non enregistr\xE9 : 1 DEAT\r\n"
                         "5 EVE : 2 FOO x\r\n"
                         "7 FAM : 1 RESI ici\r\n"
                         "8 EVE : 2 BAR y\r\n"),
            std::string::npos)
      << im->log;
}

TEST(FullPools, TheEventPoolAtOneThousand) {
  std::vector<std::string> lines = {"0 @I1@ INDI"};
  for (int i = 0; i < 1001; ++i) lines.push_back("1 BIRT");
  lines.push_back("0 TRLR");
  auto im = importLines(lines);
  EXPECT_EQ(im->db.EventCount, 1000);
  EXPECT_EQ(im->db.PersonEventCount(1), 1000);
  EXPECT_EQ(im->result.eventsDropped, 1);
  EXPECT_EQ(im->result.personsDropped, 0);
}

// ---- media linked to a person

TEST(Media, InlineAndLinkedFilesInFileOrder) {
  using M = std::vector<TMedia>;
  const Lines person = {"0 @I1@ INDI", "1 NAME Jean /Martin/", "1 OBJE @O1@", "1 BIRT",
                        "1 OBJE",      "2 FILE b.jpg",         "3 FORM jpg",  "3 TITL B",
                        "1 OBJE @O2@", "2 TITL Autre titre"};
  const Lines o1 = {"0 @O1@ OBJE", "1 FILE photos/a.jpg", "2 FORM jpg", "2 TITL Portrait"};
  const Lines o2 = {"0 @O2@ OBJE", "1 FILE C:\\Photos\\c.png", "1 FILE d.png", "2 TITL D"};
  const M all = {{"photos/a.jpg", "Portrait"},
                 {"b.jpg", "B"},
                 {"C:\\Photos\\c.png", "Autre titre"},
                 {"d.png", "Autre titre"}};
  struct Case {
    const char* what;
    Lines lines;
    M expected;
  } cases[] = {
      {"records after", file({person, o1, o2}), all},
      {"records before", file({o1, o2, person}), all},
      {"one on each side", file({o2, person, o1}), all},
      {"a record missing", file({o1, person}), M{all[0], all[1]}},
      {"the first of two records", file({o1, o2, person, {"0 @O1@ OBJE", "1 FILE non.jpg"}}), all},
      {"after the trailer", file({person, {"0 TRLR", "0 @O1@ OBJE", "1 FILE tard.jpg"}}),
       M{all[1]}},
  };
  for (const Case& c : cases) {
    auto im = importLines(c.lines);
    EXPECT_EQ(im->db.PersonMedia(1), c.expected) << c.what;
    EXPECT_EQ(im->db.PersonEventCount(1), 1) << c.what;  // the birth only
  }
}

TEST(Media, TitlesAndFormsOfEachVersion) {
  using M = std::vector<TMedia>;
  struct Case {
    const char* what;
    Lines obje;  // the person's lines after its NAME
    M expected;
  } cases[] = {
      {"5.5: FORM, TITL and FILE under OBJE",
       {"1 OBJE", "2 FORM jpg", "2 TITL Mariage", "2 FILE m.jpg"},
       {{"m.jpg", "Mariage"}}},
      {"5.5.1: TITL under OBJE, FORM under FILE",
       {"1 OBJE", "2 FILE m.jpg", "3 FORM jpg", "2 TITL Mariage"},
       {{"m.jpg", "Mariage"}}},
      {"no title", {"1 OBJE", "2 FILE m.jpg"}, {{"m.jpg", ""}}},
      {"a file's own title wins",
       {"1 OBJE", "2 TITL Tous", "2 FILE a.jpg", "3 TITL A", "2 FILE b.jpg"},
       {{"a.jpg", "A"}, {"b.jpg", "Tous"}}},
      {"no file, an empty file", {"1 OBJE", "2 TITL Rien", "1 OBJE", "2 FILE"}, {}},
      {"web addresses are no files, a drive letter is",
       {"1 OBJE", "2 FILE http://example.org/a.jpg", "2 FILE mailto:x@example.org",
        "2 FILE ftp://example.org/d/", "2 FILE C:/Photos/c.jpg"},
       {{"C:/Photos/c.jpg", ""}}},
      {"TITL deeper is not the title",
       {"1 OBJE", "2 FILE a.jpg", "3 FORM jpg", "4 TITL non"},
       {{"a.jpg", ""}}},
      {"a pointer to nothing", {"1 OBJE @O9@"}, {}},
  };
  for (const Case& c : cases) {
    auto im = importLines(file({{"0 @I1@ INDI", "1 NAME Jean /Martin/"}, c.obje, {"1 SEX M"}}));
    EXPECT_EQ(im->db.PersonMedia(1), c.expected) << c.what;
    EXPECT_EQ(im->db.GetSex(1), 0) << c.what;  // the lines after are read
    EXPECT_EQ(im->db.EventCount, 0) << c.what;
  }
}

TEST(Media, Gedcom7RecordsAndClearedPersons) {
  auto im = importLines({"0 HEAD", "1 GEDC", "2 VERS 7.0", "0 @I1@ INDI", "1 OBJE @M1@",
                         "0 @M1@ OBJE", "1 FILE media/x.jpg", "2 FORM image/jpeg", "2 TITL Acte",
                         "1 FILE media/y.jpg", "2 FORM image/jpeg", "0 TRLR"});
  EXPECT_EQ(im->db.PersonMedia(1),
            (std::vector<TMedia>{{"media/x.jpg", "Acte"}, {"media/y.jpg", ""}}));
  im->db.ClearPerson(1);
  EXPECT_TRUE(im->db.PersonMedia(1).empty());
  EXPECT_TRUE(im->db.PersonMedia(7).empty());
}

// The reference person is the first one whose _SOSA or _SOSADABOVILLE value is the number 1,
// else the first of the file; the lines stay events as before, the pointers stay with persons.
TEST(Individual, SosaOneIsTheDefaultReferencePerson) {
  struct Case {
    std::vector<std::string> lines;  // after "0 @In@ INDI" for n = 1, 2, 3...
    int32_t declared, root;
  } cases[] = {
      {{"", "", ""}, 0, 1},
      {{"1 _SOSA 2", "1 _SOSA 1", "1 _SOSA 1"}, 2, 2},
      {{"1 _SOSADABOVILLE 1.2", "1 _SOSA 12", "1 _SOSADABOVILLE 1"}, 3, 3},
      {{"1 _SOSA 10", "1 _SOSA 01 de cujus", ""}, 2, 2},
      {{"1 _SOSA", "1 _SOSA x1", "1 _SOSA 1."}, 3, 3},
      {{"1 _SOSA 3", "2 _SOSA 1", "1 _SOSAX 1"}, 0, 1},
  };
  for (const Case& c : cases) {
    std::vector<std::string> lines;
    for (size_t i = 0; i < c.lines.size(); ++i) {
      lines.push_back("0 @I" + std::to_string(i + 1) + "@ INDI");
      if (!c.lines[i].empty()) lines.push_back(c.lines[i]);
    }
    lines.push_back("0 TRLR");
    auto im = importLines(lines);
    SCOPED_TRACE(c.lines[0] + " / " + c.lines[1] + " / " + c.lines[2]);
    EXPECT_EQ(im->db.SosaRoot, c.declared);
    EXPECT_EQ(DefaultRoot(im->db), c.root);
    EXPECT_EQ(FindRoot(im->db, "@i3@"), 3);
    if (c.declared == 0) continue;
    const std::string& line = c.lines[static_cast<size_t>(c.declared - 1)];
    EXPECT_EQ(im->db.GetPersonEvent(c.declared, "_SOSA", EventCode::Note) +
                  im->db.GetPersonEvent(c.declared, "_SOSADABOVILLE", EventCode::Note),
              line.substr(line.find(' ', 2) + 1));
  }
}

}  // namespace
}  // namespace lignado
