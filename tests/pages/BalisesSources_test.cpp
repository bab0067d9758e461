// The sources of each fact: citations below events, families, names and notes reach the page of
// their person, through the tags and lists, and a page per source lists who cites it; the living
// rule and RESN lines hide what they hide, whatever the template asks.

#include "pages/BalisesSources.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "../gedcom/ImportFixture.h"
#include "genealogy/Vivants.h"
#include "pages/Remplace.h"
#include "pages/SiteGeneration.h"
#include "pages/uParser.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;

const FixedClock kToday({2024, 12, 7});

// 1 Jean (dead): name cited inline, birth and note by records, a family with its own citation
// and its marriage's. 2 Marie (dead). 3 Paul (living) cites S3 at birth and S1 at his name.
// 4 Luc (dead, RESN confidential) cites S1. 5 Anne (dead, RESN locked) cites S4 at birth and
// S5 at a burial hidden by its RESN. 6 Pierre (dead) cites S6 and S7 at his birth, two
// residences and an occupation; another occupation (citing S5) and his title are hidden by RESN.
const std::vector<std::string> kFile = {"0 @I1@ INDI",
                                        "1 NAME Jean /DUPONT/",
                                        "2 SOUR Registre familial",
                                        "3 TEXT copie",
                                        "1 SEX M",
                                        "1 BIRT",
                                        "2 DATE 1 JAN 1700",
                                        "2 SOUR @S1@",
                                        "3 PAGE f. 12",
                                        "3 QUAY 3",
                                        "3 DATA",
                                        "4 TEXT L'an mil",
                                        "5 CONT sept",
                                        "1 DEAT",
                                        "2 DATE 1760",
                                        "1 NOTE Une note",
                                        "2 SOUR @S2@",
                                        "3 PAGE p. 3",
                                        "0 @I2@ INDI",
                                        "1 NAME Marie /MARTIN/",
                                        "1 SEX F",
                                        "1 DEAT",
                                        "2 DATE 1770",
                                        "0 @I3@ INDI",
                                        "1 NAME Paul /VIVANT/",
                                        "2 SOUR @S1@",
                                        "1 SEX M",
                                        "1 BIRT",
                                        "2 DATE 2000",
                                        "2 SOUR @S3@",
                                        "0 @I4@ INDI",
                                        "1 NAME Luc /SECRET/",
                                        "1 RESN confidential",
                                        "1 DEAT",
                                        "2 DATE 1800",
                                        "2 SOUR @S1@",
                                        "0 @I5@ INDI",
                                        "1 NAME Anne /FERME/",
                                        "1 SEX F",
                                        "1 RESN locked",
                                        "1 BIRT",
                                        "2 DATE 1750",
                                        "2 SOUR @S4@",
                                        "1 BURI",
                                        "2 DATE 1820",
                                        "2 RESN privacy",
                                        "2 SOUR @S5@",
                                        "0 @I6@ INDI",
                                        "1 NAME Pierre /ROI/",
                                        "1 SEX M",
                                        "1 BIRT",
                                        "2 DATE 1 JAN 1700",
                                        "2 SOUR @S6@",
                                        "1 RESI",
                                        "2 DATE 1720",
                                        "2 PLAC Paris",
                                        "2 SOUR @S6@",
                                        "3 PAGE r1",
                                        "1 OCCU Espion",
                                        "2 DATE 1740",
                                        "2 RESN confidential",
                                        "2 SOUR @S5@",
                                        "1 OCCU Laboureur",
                                        "2 DATE 1725",
                                        "2 SOUR @S7@",
                                        "1 RESI",
                                        "2 DATE 1730",
                                        "2 PLAC Lyon",
                                        "2 SOUR @S7@",
                                        "3 PAGE r2",
                                        "1 TITL Comte",
                                        "2 RESN privacy",
                                        "1 DEAT",
                                        "2 DATE 1790",
                                        "0 @F1@ FAM",
                                        "1 HUSB @I1@",
                                        "1 WIFE @I2@",
                                        "1 MARR",
                                        "2 DATE 1725",
                                        "2 SOUR @S2@",
                                        "3 PAGE acte 9",
                                        "1 SOUR @S4@",
                                        "0 @S1@ SOUR",
                                        "1 TITL Registres de Paris",
                                        "1 AUTH Archives",
                                        "1 PUBL 1900",
                                        "1 REPO Mairie",
                                        "1 NOTE Collection",
                                        "1 OBJE",
                                        "2 FILE couverture.jpg",
                                        "2 TITL Couverture",
                                        "0 @S2@ SOUR",
                                        "1 TITL Etat civil",
                                        "1 OBJE",
                                        "2 FILE actes/bapteme.pdf",
                                        "2 TITL Acte de bapt\xEAme",
                                        "0 @S3@ SOUR",
                                        "1 TITL Secret",
                                        "0 @S4@ SOUR",
                                        "1 TITL Notaire",
                                        "0 @S5@ SOUR",
                                        "1 TITL Cimetiere",
                                        "0 @S6@ SOUR",
                                        "1 TITL Paroisse",
                                        "0 @S7@ SOUR",
                                        "1 TITL Cadastre",
                                        "0 TRLR"};

struct Fixture {
  std::unique_ptr<test::Imported> im = test::importLines(kFile, {.writeLog = true});
  const TBD& db = im->db;
};

// An expression of the page language run for its value.
std::string eval(const TBD& db, const TVivants& v, const std::string& expression) {
  TKSParse parser(db, nullptr, kToday);
  parser.Vivants = &v;
  return parser.Evaluate(expression);
}

TEST(BalisesSources, ImportKeepsSourcesCitedBelowFacts) {
  Fixture f;
  ASSERT_FALSE(f.im->result.failed) << f.im->result.reason;
  // S1, S3 and S4 are cited by no level-1 line; S2 by a note, S5 by a hidden burial: all kept.
  EXPECT_EQ(f.db.SourceCount, 7);
  EXPECT_EQ(f.im->log.find("Pointeur de source invalide"), std::string::npos) << f.im->log;
  // Under the source's OBJE, TITL names the file, not the source.
  EXPECT_EQ(f.db.SourceRecord(1)->Title, "Registres de Paris");
  // RESN is a restriction: no event, no note text.
  EXPECT_EQ(f.db.Person(4)->EventList.size(), 1u);
  EXPECT_EQ(f.db.GetPersonEvent(5, kSepulture, EventCode::Note), "\r\n@S5@\r\n");
}

TEST(BalisesSources, CitationsOfThePersonPage) {
  Fixture f;
  const TVivants hide(f.db, LivingMode::Hide, kToday);
  // Page order: the name, the events by date, the note, then the union and its events.
  EXPECT_EQ(eval(f.db, hide, "liste_citation(1)"), "1|2|3|4|5");
  struct Case {
    const char* expression;
    std::string expected;
  };
  const Case cases[] = {
      {"liste_renvoi(\"1/nom\")", "1"},
      {"liste_renvoi(\"1/Naissance\")", "2"},
      {"liste_renvoi(\"1/D\xE9"
       "c\xE8s\")",
       ""},
      {"liste_renvoi(\"1/note\")", "3"},
      {"liste_renvoi(\"1/conjoint/2\")", "4|5"},
      {"liste_renvoi(\"1/conjoint/3\")", ""},
      {"champ(1,\"<citation:rang>|<citation:fait>|<citation:source>|<citation:titre>|"
       "<citation:texte>\")",
       "1|Nom||Registre familial|copie"},
      {"champ(2,\"<citation:fait>|<citation:source>|<citation:titre>|<citation:page>|"
       "<citation:texte>|<citation:qualit\xE9>\")",
       "Naissance|1|Registres de Paris|f. 12|L&#39;an mil sept|directe"},
      {"champ(3,\"<citation:fait>|<citation:titre>|<citation:page>\")", "Note|Etat civil|p. 3"},
      {"champ(4,\"<citation:rang>|<citation:fait>|<citation:titre>\")", "4|Union|Notaire"},
      {"champ(5,\"<citation:fait>|<citation:page>\")", "Mariage|acte 9"},
      // Marie's page holds the union's citations too, with numbers of its own.
      {"liste_citation(2)", "6|7"},
      {"champ(6,\"<citation:rang>|<citation:titre>\")", "1|Notaire"},
      // Paul is living and hidden; Luc's RESN hides him though he is dead.
      {"liste_citation(3)", ""},
      {"champ(8,\"[<citation:titre>]\")", "[]"},
      {"liste_citation(4)", ""},
      {"champ(4,\"<pre> <nom> [<ddd>]\")", "Luc SECRET []"},
      // Anne's "locked" hides nothing; her burial's "privacy" hides the burial and its citation.
      {"champ(5,\"<ddn>|<dds>|<lds>\")", "1750||"},
      {"liste_citation(5)", "11"},
      {"champ(11,\"<citation:rang>|<citation:titre>\")", "1|Notaire"},
      {"champ(12,\"[<citation:titre>]\")", "[]"},
      // Sources and who cites them: hidden persons are never listed.
      {"liste_citeur(1)", "1"},
      {"liste_citeurunion(1)", ""},
      {"liste_citeur(2)", "1"},
      {"liste_citeurunion(2)", "1"},
      {"liste_citeur(4)", "5"},
      {"liste_citeurunion(4)", "1"},
      {"champ(1,\"<source:titre>|<source:auteur>|<source:publication>|<source:d\xE9p\xF4t>|"
       "<source:note>|<source:publi\xE9"
       "e>\")",
       "Registres de Paris|Archives|1900|Mairie|Collection|oui"},
      {"champ(1,\"<union:mari>|<union:femme>\")", "1|2"},
      // S3 is cited by Paul alone, S5 by a hidden burial alone: neither is published.
      {"champ(3,\"[<source:publi\xE9"
       "e>|<source:auteur>]\")",
       "[|]"},
      {"liste_citeur(3)", ""},
      {"champ(5,\"[<source:publi\xE9"
       "e>]\")",
       "[]"},
  };
  for (const Case& c : cases) EXPECT_EQ(eval(f.db, hide, c.expression), c.expected) << c.expression;

  // Published, Paul shows his citations and S3 gets its page; RESN hides whatever the mode.
  const TVivants publish(f.db, LivingMode::Publish, kToday);
  const Case published[] = {
      {"liste_citation(3)", "8|9"},
      {"liste_citeur(1)", "1|3"},
      {"champ(3,\"<source:publi\xE9"
       "e>\")",
       "oui"},
      {"liste_citation(4)", ""},
      {"champ(4,\"[<ddd>]\")", "[]"},
      {"champ(5,\"[<source:publi\xE9"
       "e>]\")",
       "[]"},
  };
  for (const Case& c : published)
    EXPECT_EQ(eval(f.db, publish, c.expression), c.expected) << c.expression;
}

std::vector<std::string> items(const std::string& list) {
  std::vector<std::string> out;
  for (size_t start = 0; start < list.size();) {
    const size_t bar = std::min(list.find('|', start), list.size());
    out.push_back(list.substr(start, bar - start));
    start = bar + 1;
  }
  return out;
}

// Each event of the list has the marks of its own citations, numbered as the page's notes; what
// a RESN line hides is neither marked nor read by the attribute tags, and a person it hides is
// told apart from a living one.
TEST(BalisesSources, MarksOfEachEventAndWhatRestrictionsHide) {
  Fixture f;
  const TVivants hide(f.db, LivingMode::Hide, kToday);
  const TVivants publish(f.db, LivingMode::Publish, kToday);
  EXPECT_EQ(eval(f.db, hide, "liste_citation(6)"), "13|14|15|16");
  const std::vector<std::string> events = items(eval(f.db, hide, "liste_evenement(6)"));
  std::vector<std::string> rows;
  for (const std::string& e : events)
    rows.push_back(eval(f.db, hide, "champ(" + e + ",\"<\xE9v\xE9nement:genre>\")") + " " +
                   eval(f.db, hide, "liste_renvoi(\"6/evenement/" + e + "\")"));
  const std::vector<std::string> expected = {"Naissance 13", "R\xE9sidence 14", "Profession 15",
                                             "R\xE9sidence 16",
                                             "D\xE9"
                                             "c\xE8s "};
  EXPECT_EQ(rows, expected);
  ASSERT_EQ(events.size(), 5u);
  const std::string marriage = items(eval(f.db, hide, "liste_evenement(1,1)"))[0];
  struct Case {
    const TVivants& rule;
    std::string expression, expected;
  };
  const Case cases[] = {
      // By kind (as the file names it), the first event of that kind.
      {hide, "liste_renvoi(\"6/Naissance\")", "13"},
      // Another person's event, or a number that is no event, has no mark on this page.
      {hide, "liste_renvoi(\"1/evenement/" + events[1] + "\")", ""},
      {hide, "liste_renvoi(\"6/evenement/99999\")", ""},
      // A union's event: on each spouse's page, with that page's numbers.
      {hide, "liste_renvoi(\"1/evenement/" + marriage + "\")", "5"},
      {hide, "liste_renvoi(\"2/evenement/" + marriage + "\")", "7"},
      {hide, "liste_renvoi(\"3/evenement/" + marriage + "\")", ""},
      // The hidden occupation and title are read by no tag, whatever the mode.
      {hide, "champ(6,\"<profession>|[<chp:Titre>]\")", "Laboureur|[]"},
      {publish, "champ(6,\"<profession>|[<chp:Titre>]\")", "Laboureur|[]"},
      // Luc is dead, hidden by his RESN; Paul is living.
      {hide, "champ(4,\"[<masqu\xE9>|<masqu\xE9:auteur>]\")", "[oui|oui]"},
      {publish, "champ(4,\"[<masqu\xE9>|<masqu\xE9:auteur>]\")", "[oui|oui]"},
      {hide, "champ(3,\"[<masqu\xE9>|<masqu\xE9:auteur>]\")", "[oui|]"},
      {publish, "champ(3,\"[<masqu\xE9>|<masqu\xE9:auteur>]\")", "[|]"},
      {hide, "champ(5,\"[<masqu\xE9>|<masqu\xE9:auteur>]\")", "[|]"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(eval(f.db, c.rule, c.expression), c.expected) << c.expression;
}

// The shipped templates: each fact's notes on the person page, a page per published source.
TEST(BalisesSources, ShippedTemplatesShowNotesAndSourcePages) {
  Fixture f;
  const TVivants hide(f.db, LivingMode::Hide, kToday);
  for (const char* name : {"classique", "parchemin"}) {
    SCOPED_TRACE(name);
    test::TempDir dest;
    TKSParse parser(f.db, nullptr, kToday);
    parser.Vivants = &hide;
    test::RecordingHost host;
    const std::string tpl = std::string(LIGNADO_SOURCE_DIR) + "/modele/" + name + "/";
    const SiteResult r = GenerateSite(parser, tpl, dest.str(), &host, 1);
    ASSERT_TRUE(r.failure.empty()) << r.failure;
    auto page = [&](const std::string& file) {
      return fs::exists(dest.str() + file) ? test::readFile(dest.str() + file) : std::string("-");
    };
    const std::string jean = page("personne_n_1.html");
    const std::string s1 = page("source_s_1.html");
    const std::string pierre = page("personne_n_6.html");
    // Each residence row has its own mark, not the first residence's.
    size_t marks14 = 0;
    for (size_t at = 0; (at = pierre.find("href=\"#c14.html\"", at)) != std::string::npos; ++at)
      ++marks14;
    EXPECT_EQ(marks14, 1u);
    struct Case {
      const std::string& text;
      std::string part;
      bool present;
    };
    const Case cases[] = {
        {jean, "<a href=\"#c2.html\">2</a>", true},
        {jean, "<li id=\"c2.html\" value=\"2\">", true},
        {jean, "<a href=\"source_s_1.html\">Registres de Paris</a>", true},
        {jean, "L&#39;an mil sept", true},
        {jean, "preuve directe", true},
        {jean, "<a href=\"source_s_4.html\">Notaire</a>", true},
        {s1, "<h1>Registres de Paris</h1>", true},
        {s1, "Archives", true},
        {s1, "personne_n_1.html", true},
        {s1, "personne_n_3.html", false},
        {s1, "personne_n_4.html", false},
        {page("source_s_4.html"), "personne_n_2.html", true},  // through the union
        {page("source_s_3.html"), "-", true},
        {page("source_s_5.html"), "-", true},
        {page("personne_n_3.html"), "source_s_", false},
        {page("personne_n_5.html"), "Cimeti", false},
        {pierre, "<a href=\"#c16.html\">4</a>", true},
        {pierre, "<a href=\"#c15.html\">3</a>", true},
        {pierre, "Espion", false},
        {pierre, "Comte", false},
        {page("personne_n_4.html"),
         "Informations masqu\xC3\xA9"
         "es \xC3\xA0 la demande de l'auteur",
         true},
        {page("personne_n_4.html"), "personne vivante", false},
        {page("personne_n_3.html"),
         "Informations masqu\xC3\xA9"
         "es&nbsp;: personne vivante",
         true},
        // A source's own files: a picture shown, a document as a link with its kind.
        {s1, "alt=\"Couverture\"", true},
        {page("source_s_2.html"), ">Acte de bapt\xC3\xAAme (PDF)</a>", true},
        {page("source_s_2.html"), "<img", false},
    };
    for (const Case& c : cases)
      EXPECT_EQ(c.text.find(c.part) != std::string::npos, c.present) << c.part;
  }
}

}  // namespace
}  // namespace lignado
