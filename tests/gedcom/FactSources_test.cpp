// The citations and files below events, names, notes, families and source records, kept with
// what they belong to while the records read from the file stay as they were.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "ImportFixture.h"

namespace lignado {
namespace {

const std::vector<std::string> kFile = {"0 @I1@ INDI",
                                        "1 NAME Jean /DUPONT/",
                                        "2 SOUR @S1@",
                                        "3 PAGE f. 12",
                                        "1 SEX M",
                                        "1 SOUR @S1@",
                                        "1 BIRT",
                                        "2 DATE 1 JAN 1700",
                                        "2 SOUR @S2@",
                                        "3 PAGE reg. 4, f. 7",
                                        "3 QUAY 3",
                                        "3 DATA",
                                        "4 TEXT L'an mil sept cent",
                                        "5 CONT le premier janvier",
                                        "2 OBJE",
                                        "3 FILE actes/bapteme.jpg",
                                        "3 FORM jpg",
                                        "3 TITL Acte",
                                        "2 OBJE @O1@",
                                        "2 PLAC Paris",
                                        "1 NOTE Une note",
                                        "2 CONT suite",
                                        "2 SOUR @S9@",
                                        "3 PAGE p. 3",
                                        "1 OCCU Laboureur",
                                        "2 SOUR Registre sans cote",
                                        "3 TEXT extrait",
                                        "1 DEAT",
                                        "2 DATE 1760",
                                        "0 @I2@ INDI",
                                        "1 NAME Marie /MARTIN/",
                                        "1 SEX F",
                                        "1 SOUR @S2@",
                                        "0 @F1@ FAM",
                                        "1 HUSB @I1@",
                                        "1 WIFE @I2@",
                                        "1 MARR",
                                        "2 DATE 1725",
                                        "2 SOUR Registre paroissial",
                                        "3 CONT copie de 1790",
                                        "3 TEXT Mariage de Jean",
                                        "4 CONC et de Marie",
                                        "3 QUAY 2",
                                        "1 SOUR @S1@",
                                        "2 PAGE acte 9",
                                        "1 OBJE @O2@",
                                        "2 TITL Portrait",
                                        "0 @O1@ OBJE",
                                        "1 FILE scans/registre.pdf",
                                        "2 FORM pdf",
                                        "2 TITL Registre",
                                        "0 @O2@ OBJE",
                                        "1 FILE photo.jpg",
                                        "0 @S1@ SOUR",
                                        "1 TITL Registres de Paris",
                                        "1 AUTH Archives",
                                        "2 CONT de Paris",
                                        "1 PUBL 1900",
                                        "1 REPO @R1@",
                                        "1 OBJE",
                                        "2 FILE sources/couverture.jpg",
                                        "2 TITL Couverture",
                                        "0 @S2@ SOUR",
                                        "1 TITL Etat civil",
                                        "1 REPO Mairie de Lyon",
                                        "1 OBJE @O1@",
                                        "0 @R1@ REPO",
                                        "1 NAME Archives nationales",
                                        "0 TRLR"};

// A citation as "source|pointer|page|text|quay|inline source".
std::vector<std::string> shown(const std::vector<TCitation>& list) {
  std::vector<std::string> out;
  for (const TCitation& c : list)
    out.push_back(std::to_string(c.source) + "|" + c.pointer + "|" + c.page + "|" + c.text + "|" +
                  c.quay + "|" + c.inline_);
  return out;
}

std::vector<std::string> shown(const std::vector<TMedia>& list) {
  std::vector<std::string> out;
  for (const TMedia& m : list) out.push_back(m.File + "|" + m.Title);
  return out;
}

// The event of that kind of a person or a union.
int32_t eventOf(const TBD& db, const NumList& events, const std::string& kind) {
  for (int32_t e : events)
    if (db.EventRecord(e)->Kind == kind) return e;
  return 0;
}

const TEvePlus& plusOf(const TBD& db, int32_t e) {
  static const TEvePlus kNone;
  const TEvePlus* plus = e ? db.Plus.Event(e) : nullptr;
  return plus ? *plus : kNone;
}

TEST(FactSources, CitationsKeptWithWhatTheySupport) {
  auto im = test::importLines(kFile);
  ASSERT_FALSE(im->result.failed) << im->result.reason;
  const TBD& db = im->db;
  ASSERT_EQ(db.PersonCount, 2);
  ASSERT_EQ(db.UnionCount, 1);
  const int32_t birth = eventOf(db, db.Person(1)->EventList, kNaissance);
  const int32_t marriage = eventOf(db, db.Union(1)->EventList, kMariage);
  const int32_t familySour = eventOf(db, db.Union(1)->EventList, "SOUR");
  const TPersonPlus* person = db.Plus.Person(1);
  ASSERT_NE(person, nullptr);
  const std::vector<TFait>& facts = db.Plus.PersonFacts(1);
  ASSERT_EQ(facts.size(), 1u);
  ASSERT_NE(db.Plus.Union(1), nullptr);

  struct Case {
    const char* what;
    std::vector<TCitation> got;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      // @S2@ is cited by a person only later: the event learns its number at the end.
      {"event, pointer",
       plusOf(db, birth).citations,
       {"2|@S2@|reg. 4, f. 7|L'an mil sept cent\r\nle premier janvier|3|"}},
      {"family event, inline source",
       plusOf(db, marriage).citations,
       {"0|||Mariage de Jean et de Marie|2|Registre paroissial\r\ncopie de 1790"}},
      {"name", person->nameCitations, {"1|@S1@|f. 12|||"}},
      // @S9@ is cited by no person, and has no record: no source holds it.
      {"note", person->noteCitations, {"0|@S9@|p. 3|||"}},
      {"occupation fact, inline source",
       facts[0].plus.citations,
       {"0|||extrait||Registre sans cote"}},
      {"family", db.Plus.Union(1)->citations, {"1|@S1@|acte 9|||"}},
      {"the family's citation read as an event, as before", plusOf(db, familySour).citations, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(shown(c.got), c.expected) << c.what;
}

TEST(FactSources, FilesKeptWithWhatTheyBelongTo) {
  auto im = test::importLines(kFile);
  ASSERT_FALSE(im->result.failed) << im->result.reason;
  const TBD& db = im->db;
  const int32_t birth = eventOf(db, db.Person(1)->EventList, kNaissance);
  const TSourcePlus* s1 = db.Plus.Source(1);
  const TSourcePlus* s2 = db.Plus.Source(2);
  ASSERT_TRUE(s1 && s2 && db.Plus.Union(1));
  struct Case {
    const char* what;
    std::vector<TMedia> got;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"event: inline, then a media record",
       plusOf(db, birth).media,
       {"actes/bapteme.jpg|Acte", "scans/registre.pdf|Registre"}},
      {"family: a record under the link's title", db.Plus.Union(1)->media, {"photo.jpg|Portrait"}},
      {"source: inline", s1->media, {"sources/couverture.jpg|Couverture"}},
      {"source: a record", s2->media, {"scans/registre.pdf|Registre"}},
      {"person media stay apart", db.Person(1)->Media, {}},
  };
  for (const Case& c : cases) EXPECT_EQ(shown(c.got), c.expected) << c.what;
}

TEST(FactSources, SourceFieldsKeptBesideItsText) {
  auto im = test::importLines(kFile);
  const TBD& db = im->db;
  const TSourcePlus* s1 = db.Plus.Source(1);
  const TSourcePlus* s2 = db.Plus.Source(2);
  ASSERT_TRUE(s1 && s2);
  struct Case {
    const char* what;
    std::string got, expected;
  };
  const Case cases[] = {
      {"author with its CONT line", s1->author, "Archives\r\nde Paris"},
      {"publication", s1->publication, "1900"},
      {"repository record, named after the source", s1->repository, "Archives nationales"},
      {"repository as a text", s2->repository, "Mairie de Lyon"},
      {"text as before", db.SourceRecord(1)->Text,
       "AUTH: Archives\r\nCONT: de Paris\r\nPUBL: 1900\r\nREPO: @R1@\r\n"},
      // A title under the source's OBJE names the file, not the source.
      {"title", db.SourceRecord(1)->Title, "Registres de Paris"},
      {"file as before", db.SourceRecord(1)->File, "sources/couverture.jpg"},
  };
  for (const Case& c : cases) EXPECT_EQ(c.got, c.expected) << c.what;
}

// The records read as before: citation texts in the notes, the same events and sources.
TEST(FactSources, RecordsStayAsBefore) {
  auto im = test::importLines(kFile);
  const TBD& db = im->db;
  const int32_t birth = eventOf(db, db.Person(1)->EventList, kNaissance);
  const int32_t familySour = eventOf(db, db.Union(1)->EventList, "SOUR");
  ASSERT_TRUE(birth && familySour);
  EXPECT_EQ(db.EventRecord(birth)->Note,
            "\r\n@S2@\r\nle premier janvier\r\n\r\n2 OBJE\r\n3 FILE actes/bapteme.jpg\r\n3 FORM "
            "jpg\r\n3 TITL Acte\r\n2 OBJE @O1@");
  EXPECT_EQ(db.EventRecord(birth)->Place, "Paris");
  EXPECT_EQ(db.EventRecord(familySour)->Note, "@S1@\r\n\r\n2 PAGE acte 9");
  EXPECT_EQ(db.Person(1)->Note, "Une note\r\nsuite\r\n");
  EXPECT_EQ(db.Person(1)->SourceList, (NumList{1}));
  EXPECT_EQ(db.Person(1)->EventList.size(), 2u);
  EXPECT_EQ(db.Union(1)->EventList.size(), 3u);  // MARR, SOUR, OBJE
  EXPECT_EQ(db.SourceCount, 2);
}

// A file without citations or files below its facts makes no entry.
TEST(FactSources, NothingKeptWithoutCitationsOrFiles) {
  auto im = test::importLines({"0 @I1@ INDI", "1 NAME Jean /DUPONT/", "1 SOUR @S1@", "1 BIRT",
                               "2 DATE 1700", "2 NOTE n", "1 NOTE n", "0 @I2@ INDI", "1 SEX F",
                               "0 @F1@ FAM", "1 HUSB @I1@", "1 WIFE @I2@", "1 MARR", "0 @S1@ SOUR",
                               "1 TITL t", "1 NOTE n", "0 TRLR"});
  const TBD& db = im->db;
  ASSERT_EQ(db.SourceCount, 1);
  EXPECT_EQ(db.Plus.Person(1), nullptr);
  EXPECT_EQ(db.Plus.Union(1), nullptr);
  // The source's note alone is kept beside its text, for the page of the source.
  ASSERT_NE(db.Plus.Source(1), nullptr);
  EXPECT_EQ(db.Plus.Source(1)->note, "n\r\n");
  EXPECT_EQ(db.Plus.Event(db.Person(1)->EventList[0]), nullptr);
}

}  // namespace
}  // namespace lignado
