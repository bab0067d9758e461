#include "pages/TemplateProblems.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "pages/SiteGeneration.h"
#include "pages/uParser.h"

using namespace lignado;
using lignado::test::TempDir;
using lignado::test::writeFile;

namespace {

struct BrokenCase {
  const char* what;
  std::vector<std::pair<std::string, std::string>> files;  // name -> text; "index" runs
  std::vector<std::string> expected;                       // TemplateProblems::Lines()
};

// Each kind of mistake, with the place where it stands and its sentence.
const BrokenCase kBroken[] = {
    {"assignment without =",
     {{"index.kshtml", "<p>\n#\n$x 1\n#"}},
     {"index.kshtml:3:1 : Erreur de syntaxe : une affectation s'\xE9"
      "crit $nom = expression, le signe = manque. (1 page)"}},
    {"if with = instead of a comparator, indented by a tab and blanks",
     {{"index.kshtml", "#\n\t  if $x = 1\necho a\nendif\n#"}},
     {"index.kshtml:2:4 : Il n'y a pas de comparateur dans le if : il faut == ou <> entre ses "
      "deux c\xF4t\xE9s. (1 page)"}},
    {"unknown keyword, endif is known",
     {{"index.kshtml", "#\nif 1 == 1\n  fi\nendif\n#"}},
     {"index.kshtml:3:3 : Mot-cl\xE9 inconnu \xAB fi \xBB : la ligne est ignor\xE9"
      "e (une ligne de script commence par $, echo, if, else, endif ou //). (1 page)"}},
    {"unknown function, nested in an argument",
     {{"index.kshtml", "#\n$a = nombre(champs(1,\"<nom>\"))\n#"}},
     {"index.kshtml:2:13 : Fonction inconnue \xAB champs( \xBB : l'expression est \xE9"
      "crite telle quelle. (1 page)"}},
    {"missing include, in the included template's own place",
     {{"index.kshtml", "<p>\n#\necho include(entete)\n#"},
      {"entete.kshtml", "#\n\n echo include(absent)\n#"}},
     {"entete.kshtml:3:7 : Le mod\xE8le inclus \xAB absent.kshtml \xBB est introuvable dans le "
      "dossier du mod\xE8le. (1 page)"}},
    {"include that includes itself",
     {{"index.kshtml", "#\necho include(boucle)\n#"},
      {"boucle.kshtml", "x\n#\necho include(boucle)\n#"}},
     {"boucle.kshtml:3:6 : Plus de 64 include les uns dans les autres : le mod\xE8le \xAB "
      "boucle.kshtml \xBB s'inclut-il lui-m\xEAme sans fin ? (1 page)"}},
    {"> before the next < of a tag text",
     {{"index.kshtml", "#\necho champ(1,\"<nom> > <pr\xE9nom>\")\n#"}},
     {"index.kshtml:2:21 : Un \xAB > \xBB vient avant le \xAB < \xBB suivant dans le texte de "
      "balises : les balises qui le suivent restent telles quelles. (1 page)"}},
    {"misspelt tag and a form the tag does not take; markup is no mistake",
     {{"index.kshtml",
       "#\n  $a = champ(1,\"<b><profesion></b> <ddn:clair>\")\n"
       "echo champ(1,\"<i><profession:clair>\")\n#"}},
     {"index.kshtml:2:20 : Balise inconnue : <profesion> (1 page)",
      "index.kshtml:3:18 : Forme de balise inconnue : <profession:clair> (<profession> ne prend "
      "pas la forme :clair) (1 page)"}},
    {"misspelt tag in the value of a variable, at the variable",
     {{"index.kshtml", "#\n$t = \"<nom> <profesion>\"\necho champ(1, $t)\n#"}},
     {"index.kshtml:3:15 : Balise inconnue : <profesion> (1 page)"}},
    {"a > after the last tag is text",
     {{"index.kshtml", "#\necho champ(1,\"<nom> -> \")\necho \"a(b)\"\necho Voir(1)\n#"}},
     {}},
    {"errors in lines passed over or in HTML mode are not met",
     {{"index.kshtml", "$x 1\nif a\n#\nif 1 == 2\nfi\n$y 2\nendif\n#"}},
     {}},
};

class BrokenTemplates : public ::testing::TestWithParam<BrokenCase> {};

}  // namespace

TEST_P(BrokenTemplates, ReportedWithFileLineAndColumn) {
  const BrokenCase& c = GetParam();
  TempDir dir;
  for (const auto& [name, text] : c.files) writeFile(dir.path() / name, text);
  TBD db;
  int32_t p = db.NewPerson();
  db.SetSurname(p, "DUPONT");
  TemplateProblems problems;
  TKSParse parser(db);
  parser.Problems = &problems;
  ASSERT_TRUE(parser.RunPage("index", dir.str())) << c.what;
  EXPECT_EQ(problems.Lines(), c.expected) << c.what;
}

INSTANTIATE_TEST_SUITE_P(Cases, BrokenTemplates, ::testing::ValuesIn(kBroken));

TEST(TemplateProblemsTest, PagesCountedOnceEachAndThePageTextKeepsItsMarker) {
  TempDir tpl, dest;
  // Three pages meet the same mistake; the list page meets it three times over.
  writeFile(tpl.path() / "index.kshtml",
            "<a href=\"p|x=1\">1</a>\n<a href=\"p|x=2\">2</a>\n#\n"
            "echo evalue(1|2|3,include(ligne),)\n#");
  writeFile(tpl.path() / "ligne.kshtml", "#\necho champs($1)\n#");
  writeFile(tpl.path() / "p.kshtml", "#\necho include(ligne)\nif $x = 1\n#");
  TBD db;
  db.NewPerson();
  for (int jobs : {1, 2}) {
    TemplateProblems problems;
    TKSParse parser(db);
    parser.Problems = &problems;
    SiteResult r = GenerateSite(parser, tpl.str(), dest.str(), nullptr, jobs);
    EXPECT_EQ(r.pagesWritten, 3);
    EXPECT_EQ(problems.Lines("modele"),
              (std::vector<std::string>{
                  "modele/ligne.kshtml:2:6 : Fonction inconnue \xAB champs( \xBB : l'expression "
                  "est \xE9"
                  "crite telle quelle. (3 pages)",
                  "modele/p.kshtml:3:1 : Il n'y a pas de comparateur dans le if : il faut == ou "
                  "<> entre ses deux c\xF4t\xE9s. (2 pages)"}));
    EXPECT_NE(lignado::test::readFile(dest.path() / "p_x_1.html")
                  .find("<p>*** Syntax Error : Il n'y a pas de comparateur dans le if ***<p>"),
              std::string::npos);
  }
}

TEST(TemplateProblemsTest, LimitReportedAtTheLineThatWentOver) {
  TempDir tpl;
  writeFile(tpl.path() / "index.kshtml", "a\nb\nc\nd\ne\nf\n");
  TBD db;
  TemplateProblems problems;
  TKSParse parser(db);
  parser.MaxSteps = 4;
  parser.Problems = &problems;
  parser.RunPage("index", tpl.str());
  EXPECT_EQ(problems.Lines(),
            (std::vector<std::string>{"index.kshtml:5:1 : Le mod\xE8le \"index.kshtml\" d\xE9passe "
                                      "la limite de 4 \xE9tapes par page : la page est arr\xEAt\xE9"
                                      "e. (1 page)"}));
}
