#include "pages/uParser.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "pages/TemplateCode.h"
#include "pages/WorkList.h"

using namespace lignado;
using lignado::test::TempDir;
using lignado::test::writeFile;

namespace {

using Lines = std::vector<std::string>;

const std::string kPrenom = "<pr\xE9nom>";
const std::string kMarker = "<p>*** Syntax Error ***<p>";
const std::string kNoComparator =
    "<p>*** Syntax Error : Il n'y a pas de comparateur dans le if ***<p>";

// Jean DUPONT x Marie MARTIN, their children Pierre and Anne, Pierre's son Louis.
class Interpreter : public ::testing::Test {
 protected:
  void SetUp() override {
    jean = person("DUPONT", "Jean", 0);
    marie = person("MARTIN", "Marie", 1);
    pierre = person("DUPONT", "Pierre", 0);
    anne = person("DUPONT", "Anne", 1);
    louis = person("DUPONT", "Louis", 0);
    for (int32_t child : {pierre, anne}) {
      db.SetFather(child, jean);
      db.SetMother(child, marie);
    }
    db.SetFather(louis, pierre);
    int32_t u = db.NewUnion();
    db.SetHusband(u, jean);
    db.SetWife(u, marie);
  }

  int32_t person(const std::string& nom, const std::string& pre, int sexe) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, nom);
    db.SetGivenNames(p, pre);
    db.SetSex(p, sexe);
    return p;
  }

  // Runs template text (lines separated by "\n") in the template folder.
  Lines run(const std::string& text) { return parser.RunTemplate(SplitLines(text), dirText()); }
  std::string eval(const std::string& expr) { return parser.Evaluate(expr); }
  void tpl(const std::string& name, const std::string& text) { writeFile(dir / name, text); }
  std::string dirText() const { return dir.string() + "/"; }

  TBD db;
  TKSParse parser{db};
  TempDir root;  // holds the template folder and files outside it
  std::filesystem::path dir = [this] {
    std::filesystem::create_directory(root.path() / "modele");
    return root.path() / "modele";
  }();
  int32_t jean = 0, marie = 0, pierre = 0, anne = 0, louis = 0;
};

}  // namespace

TEST(SplitLinesTest, EveryLineBreakKind) {
  EXPECT_EQ(SplitLines("a\r\nb\rc\nd"), (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(SplitLines("a\r\n"), (Lines{"a"}));
  EXPECT_EQ(SplitLines("a\n\n"), (Lines{"a", ""}));
  EXPECT_EQ(SplitLines("\r\n"), (Lines{""}));
  EXPECT_EQ(SplitLines(""), Lines{});
}

TEST_F(Interpreter, HtmlModeCopiesTrimmedLinesWithoutExpanding) {
  EXPECT_EQ(run("  <p>$x</p>  \n\t<b>champ(1,\"<nom>\")</b>\n"),
            (Lines{"<p>$x</p>  ", "<b>champ(1,\"<nom>\")</b>"}));
  // "#" then a blank is not a switch: in HTML mode it is written out.
  EXPECT_EQ(run("# \necho a\n  #\necho b\n#\n<i>"), (Lines{"# ", "echo a", "b", "<i>"}));
  // In script mode "# " is a line that begins with none of the statements.
  EXPECT_EQ(run("#\n# \necho c"), (Lines{"c"}));
  EXPECT_EQ(run(""), Lines{});
}

TEST_F(Interpreter, StatementsAndTheirErrors) {
  EXPECT_EQ(run("#\n// echo a\n   \n$a = b\n  $B=\"x y\"\necho $a\necho   $b  \nendif\nfoo\n"
                "echo\n"),
            (Lines{"b", "x y", ""}));
  // Only the beginning of the line is tested.
  EXPECT_EQ(run("#\necho$a\n$a=1\nechoz\n"), (Lines{"b", "z"}));
  // An assignment without "=" stops the run after what was already written.
  EXPECT_EQ(run("<p>\n#\necho 1\n$a\necho 2\n#\n<q>"), (Lines{"<p>", "1", kMarker}));
  EXPECT_EQ(parser.ErrorText, "Syntax Error");
  // The next run starts clean; an echo value keeps its line breaks in one entry.
  EXPECT_EQ(run("#\necho \"a\\nb\""), (Lines{"a\r\nb"}));
  EXPECT_EQ(parser.ErrorText, "");
  EXPECT_EQ(run("#\necho 0\nif a\necho 1"), (Lines{"0", kNoComparator}));
  EXPECT_EQ(run("#\nif\n"), (Lines{kNoComparator}));
}

TEST_F(Interpreter, Conditions) {
  EXPECT_EQ(run("#\nif a == a\necho yes\nendif\nif a == b\necho no\nendif\necho end"),
            (Lines{"yes", "end"}));
  EXPECT_EQ(run("#\nif a <> b\necho 1\nelse\necho 2\nendif\nif a<>a\necho 3\nelse\necho 4\n"
                "endif"),
            (Lines{"1", "4"}));
  // The condition starts at the fourth character: "if$a" compares "a" with "x".
  parser.SetVariable("$a", "x");
  EXPECT_EQ(run("#\nif$a == x\necho 1\nendif\nif $a == x\necho 2\nendif"), (Lines{"2"}));
  EXPECT_EQ(run("#\nifxa==a\necho 3\nendif"), (Lines{"3"}));
  // "==" is looked for first: "a<>b==a<>b" compares "a<>b" with itself.
  EXPECT_EQ(run("#\nif a<>b==a<>b\necho eq\nendif"), (Lines{"eq"}));
  // Empty sides compare as the empty text; values compare exactly.
  EXPECT_EQ(run("#\nif == $rien\necho 1\nendif\nif A == a\necho 2\nendif\nif \"x\" == $a\n"
                "echo 3\nendif"),
            (Lines{"1", "3"}));
}

TEST_F(Interpreter, SkipsStopOnlyAtRawElseAndEndif) {
  const std::string indented = "#\nif a == $c\necho 1\n  else\necho 2\nendif\necho 3";
  EXPECT_EQ(run(indented), (Lines{"3"}));
  parser.SetVariable("$c", "a");
  EXPECT_EQ(run(indented), (Lines{"1", "3"}));
  // A failed condition with no raw "else"/"endif" after it passes over the rest.
  EXPECT_EQ(run("#\nif a == b\necho 1\n endif\nelse \necho 2"), Lines{});
  EXPECT_EQ(run("#\nif a == b\necho 1\n  endif\necho 2\nendif\necho 3"), (Lines{"3"}));
  // Conditions do not nest: the first "endif" ends the skip.
  EXPECT_EQ(run("#\nif a == b\nif c == c\necho 1\nendif\necho 2\nendif\necho 3"),
            (Lines{"2", "3"}));
  // A branch that leaves script mode and returns is balanced in both outcomes.
  const std::string branches =
      "#\nif $c == a\n#\n<p>vrai</p>\n#\nelse\n#\n<p>faux</p>\n#\nendif\n#\n<p>fin</p>";
  EXPECT_EQ(run(branches), (Lines{"<p>vrai</p>", "<p>fin</p>"}));
  parser.SetVariable("$c", "b");
  EXPECT_EQ(run(branches), (Lines{"<p>faux</p>", "<p>fin</p>"}));
}

TEST_F(Interpreter, PlainExpressionsAndVariables) {
  EXPECT_EQ(eval(""), "");
  EXPECT_EQ(eval("42"), "42");
  EXPECT_EQ(eval("Bonjour tout le monde"), "Bonjour tout le monde");
  EXPECT_EQ(eval(" $a"), " $a");
  EXPECT_EQ(eval("champ"), "champ");
  parser.SetVariable("$Nom", "Dupont");
  EXPECT_EQ(eval("$NOM"), "Dupont");
  EXPECT_EQ(parser.GetVariable("$nom"), "Dupont");
  EXPECT_EQ(eval("$nom "), "");  // the whole expression is the name
  EXPECT_EQ(parser.GetVariable("$inconnu"), "");
  parser.SetVariable("$NOM", "Martin");
  EXPECT_EQ(eval("$nom"), "Martin");
  // No fixed table: the 1002nd variable is kept like the first.
  for (int i = 0; i < 1500; ++i) parser.SetVariable("$v" + std::to_string(i), std::to_string(i));
  EXPECT_EQ(eval("$v1499"), "1499");
  EXPECT_EQ(eval("$v0"), "0");
}

TEST_F(Interpreter, StringLiterals) {
  parser.SetVariable("$1", "X");
  parser.SetVariable("$nom", "Dupont");
  EXPECT_EQ(eval("\"a$1B\""), "aXB");
  EXPECT_EQ(eval("\"a$1b\""), "a$1b");  // lower-case letters continue the name: "$1b" unset
  EXPECT_EQ(eval("\"$12\""), "X2");     // a further digit stays as text
  EXPECT_EQ(eval("\"<$nom>\""), "<Dupont>");
  EXPECT_EQ(eval("\"$Nom\""), "Dupont");  // an upper-case first letter names the same variable
  EXPECT_EQ(eval("\"$nOM\""), "OM");      // later capitals end the name
  EXPECT_EQ(eval("\"a $rien b\""), "a  b");
  EXPECT_EQ(eval("\"l1\\nl2\""), "l1\r\nl2");
  EXPECT_EQ(eval("\"il dit \"oui\"\""), "il dit \"oui\"");
  EXPECT_EQ(eval("\"abc'"), "abc");  // first and last characters go, whatever they are
  EXPECT_EQ(eval("\""), "");
  // "$" before the closing quote names the variable "$\"", which has no value: it stays.
  EXPECT_EQ(eval("\"5$\" euros"), "5$\" euro");
  // A value holding "$" is substituted again.
  parser.SetVariable("$ref", "[$nom]");
  EXPECT_EQ(eval("\"($ref)\""), "([Dupont])");
}

TEST_F(Interpreter, LiteralsThatWouldNeverEnd) {
  // A "$" that ends the expression stays a plain "$" (here then cut as the last character).
  EXPECT_EQ(eval("\"ab$"), "ab");
  parser.SetVariable("$prix", "5$");
  EXPECT_EQ(eval("\"$prix"), "5");
  // A value holding its own name stops after 100 substitutions, the rest as it stands.
  parser.SetVariable("$a", "x$a");
  EXPECT_EQ(eval("\"[$a]\""), "[" + std::string(100, 'x') + "$a]");
  parser.SetVariable("$b", "$b");
  EXPECT_EQ(eval("\"$b\""), "$b");
}

// A "$" without a letter after it is the author's text unless it names a variable with a value
// ("$1" in evalue); "$name" is unchanged. "5 $ US" once lost "$ ", and an unset "$1" itself.
TEST_F(Interpreter, DollarsWithoutALetterStayInLiterals) {
  parser.SetVariable("$x", "a");
  parser.SetVariable("$v", "b$w $ c");
  std::string many;
  for (int i = 0; i < 120; ++i) many += "$ ";  // beyond the pieces compiled once
  const std::pair<std::string, std::string> cases[] = {
      {"\"5 $ US\"", "5 $ US"},   {"\"$1 et $2\"", "$1 et $2"},
      {"\"10$\"", "10$"},         {"\"$x, $-$.$$\"", "a, $-$.$$"},
      {"\"$X$ \"", "a$ "},        {"\"[$absent]\"", "[]"},
      {"\"$v\"", "b $ c"},  // a value's "$" substituted in turn, by the same rule
      {"\"" + many + "\"", many},
  };
  for (const auto& [literal, expected] : cases) EXPECT_EQ(eval(literal), expected) << literal;
  EXPECT_EQ(run("#\necho evalue(\"7|8\",\"($1)\",\"$ \")\n#"), Lines{"(7)$ (8)"});
}

TEST_F(Interpreter, ArgumentsSplitAtEveryComma) {
  // The last character is dropped whatever it is; a blank after a comma makes a literal.
  parser.SetVariable("$n", "2");
  EXPECT_EQ(eval("nombre(a|b|c)"), "3");
  EXPECT_EQ(eval("nombre(a|b|cX"), "3");
  EXPECT_EQ(eval("nombre(\"a,b|c\")"), "0");  // the literal is cut at its comma
  EXPECT_EQ(eval("nombre($n,x)"), "1");
  EXPECT_EQ(eval("nombre( $n)"), "1");  // " $n" is the text itself
  EXPECT_EQ(eval("nombre("), "0");
  EXPECT_EQ(eval("nombre()"), "0");
}

TEST_F(Interpreter, ItemCounts) {
  EXPECT_EQ(eval("nombre(\"\")"), "0");
  EXPECT_EQ(eval("nombre(a|b|)"), "2");
  EXPECT_EQ(eval("nombre(a|b||)"), "2");
  EXPECT_EQ(eval("nombre(|a||b)"), "4");
  EXPECT_EQ(eval("nombre(||)"), "0");
  EXPECT_EQ(eval("nombre(|)"), "0");
  std::string big = "1";
  for (int i = 2; i <= 3000; ++i) big += "|" + std::to_string(i);
  parser.SetVariable("$big", big);
  EXPECT_EQ(eval("nombre($big)"), "3000");
}

TEST_F(Interpreter, ChampExpandsUnevaluatedTagText) {
  parser.SetVariable("$p", std::to_string(jean));
  EXPECT_EQ(eval("champ($p, \"<nom> " + kPrenom + "\")"), "DUPONT Jean");
  EXPECT_EQ(eval("champ($p,\"<nom>\"  )"), "DUPONT");  // the tag text is trimmed
  EXPECT_EQ(eval("champ(3,'<nom>')"), "DUPONT");       // its first and last characters go
  EXPECT_EQ(eval("champ( 2,\"<nom>\")"), "MARTIN");    // " 2" is a number with a blank
  EXPECT_EQ(eval("champ( $p,\"<nom>\")"), "");         // " $p" is not the variable
  EXPECT_EQ(eval("champ($p,\"$p <nom>\")"), "$p DUPONT");
  EXPECT_EQ(eval("champ($p,\"<nom>,<pr\xE9nom>\")"), "<nom");  // cut at the comma
  EXPECT_EQ(eval("champ(x,\"<nom>\")"), "");
  EXPECT_EQ(eval("champ(2,\"<nom>\",ignored)"), "MARTIN");
}

// A variable as second argument gives its value as the tag text, commas and all; any other
// text stays unevaluated. "champ(1,$t)" once lost "$t" to the quote rule and gave nothing.
TEST_F(Interpreter, ChampReadsTheTagTextOfAVariable) {
  parser.SetVariable("$p", std::to_string(jean));
  parser.SetVariable("$nom", "<nom>");
  parser.SetVariable("$deux", "<nom>, " + kPrenom + " $p");
  const std::pair<std::string, std::string> cases[] = {
      {"champ($p,$nom)", "DUPONT"},
      {"champ(2, $nom )", "MARTIN"},  // trimmed, as a
                                      // quoted text is
      {"champ($p,$Nom)", "DUPONT"},   // names are read in lower case
      {"champ($p,$deux)", "DUPONT, Jean $p"},
      {"champ($p,$absent)", ""},
      {"champ(0,$nom)", ""},
      {"champ($p,\"$nom\")", "$nom"},
  };
  for (const auto& [expr, expected] : cases) EXPECT_EQ(eval(expr), expected) << expr;
  EXPECT_EQ(run("#\n$t = \"<nom> " + kPrenom + "\"\n$v = champ(3,$t)\necho \"[$v]\"\n#"),
            Lines{"[DUPONT Pierre]"});
}

// A "$" in a value is the file's text, never one of the template's variables: "$500" once
// showed "00", "100 $ par an" lost "$ par", and "$fil" pulled in the template's own markup.
TEST_F(Interpreter, DollarsInValuesAreNotVariables) {
  const std::pair<std::string, std::string> cases[] = {
      {"100 $ par an", "<td>100 &#36; par an|100 \\x24 par an</td>"},
      {"$500 de dot", "<td>&#36;500 de dot|\\x24500 de dot</td>"},
      {"voir $fil", "<td>voir &#36;fil|voir \\x24fil</td>"},
      {"$v$", "<td>&#36;v&#36;|\\x24v\\x24</td>"},
  };
  for (const auto& [surname, html] : cases) {
    db.SetSurname(jean, surname);
    TKSParse fresh(db);  // a parser serves one state of the database
    EXPECT_EQ(fresh.RunTemplate(SplitLines("#\n$fil = \"<a href=\"x\">\"\n$v = champ(1,\"<nom>\")\n"
                                           "$j = champ(1,\"<nom:js>\")\necho \"<td>$v|$j</td>\"\n"),
                                dirText()),
              Lines{html})
        << surname;
  }
}

TEST_F(Interpreter, ListFunctions) {
  parser.SetVariable("$p", std::to_string(jean));
  parser.SetVariable("$l", "5|1|2|3|4");
  parser.SetVariable("$n", "2");
  EXPECT_EQ(eval("liste_parent(3)"), "1|2");
  EXPECT_EQ(eval("liste_parent(5)"), "3");
  EXPECT_EQ(eval("liste_enfant($p)"), "3|4");
  EXPECT_EQ(eval("liste_enfant(5)"), "");
  EXPECT_EQ(eval("liste_fatrie(4)"), "3");
  EXPECT_EQ(eval("liste_conjoint(2)"), "1");
  EXPECT_EQ(eval("liste_tous()"), "1|2|3|4|5");
  EXPECT_EQ(eval("liste_asc(5,$n)"), "5|3|1|2");
  EXPECT_EQ(eval("liste_asc(5, $n)"), "5");   // " $n" is a literal, read as 0
  EXPECT_EQ(eval("liste_asc(5, 1)"), "5|3");  // a number may have a leading blank
  EXPECT_EQ(eval("liste_des($p,1)"), "3|4");
  EXPECT_EQ(eval("liste_des($p,2)"), "3|5|4");
  EXPECT_EQ(eval("liste_commencepar(\"<nom>\",\"du\")"), "1");
  EXPECT_EQ(eval("liste_commencepar(\"" + kPrenom + "\",\"\")"), "1|2|3|4|5");
  EXPECT_EQ(eval("liste_trie(\"" + kPrenom + "\",$l)"), "4|1|5|2|3");
  EXPECT_EQ(eval("liste_inconnu(1)"), "");
  EXPECT_EQ(eval("liste_enfant)1("), "");
  EXPECT_EQ(eval("liste_enfant"), "");
  // The argument text ends at the first ")".
  EXPECT_EQ(eval("liste_enfant(1) et le reste)"), "3|4");
}

TEST_F(Interpreter, Counters) {
  EXPECT_EQ(eval("nombre_individu()"), "5");
  EXPECT_EQ(eval("nombre_union()"), "1");
  EXPECT_EQ(eval("nombre_patronyme()"), "2");
  EXPECT_EQ(eval("nombre_autre()"), "");
  EXPECT_EQ(eval("nombre_individu"), "");
}

TEST_F(Interpreter, DateAndTime) {
  const FixedClock clock({2024, 3, 5, 7, 8, 9});
  TKSParse timed(db, nullptr, clock);
  EXPECT_EQ(timed.Evaluate("date()"), "05/03/2024");
  EXPECT_EQ(timed.Evaluate("heure()"), "07:08:09");
  EXPECT_EQ(timed.Evaluate("date( )"), "date( )");
}

TEST_F(Interpreter, EvalueMapsAListThroughAnInclude) {
  tpl("Enfant.kshtml", "<li>\n#\necho champ($1,\"" + kPrenom + "\")\n#\n");
  parser.SetVariable("$p", std::to_string(jean));
  parser.SetVariable("$sep", ", ");
  parser.TemplateDir = dirText();
  // Both first arguments are lower-cased, so "ENFANT" and "$P" still work.
  EXPECT_EQ(eval("evalue( liste_enfant($P), include(\"ENFANT\"), $sep)"),
            "<li>\r\nPierre\r\n, <li>\r\nAnne\r\n");
  EXPECT_EQ(parser.GetVariable("$1"), "4");
  EXPECT_EQ(eval("evalue(a|b||c|,$1,-)"), "a-b--c");
  EXPECT_EQ(eval("evalue(liste_enfant(5),$1,-)"), "");
  EXPECT_EQ(parser.GetVariable("$1"), "c");
  // Literals in the item argument are lower-cased too.
  EXPECT_EQ(eval("evalue(x|y,\"<$1>\")"), "<x><y>");
  EXPECT_EQ(eval("evalue(x|y,\"A$1\")"), "axay");
}

TEST_F(Interpreter, Includes) {
  tpl("pied.kshtml", "<hr>\n#\n$vu = oui\necho $titre\n");
  tpl("autre.txt", "texte\n");
  tpl("vide.kshtml", "");
  std::filesystem::create_directory(dir / "Sous");
  tpl("Sous/Bloc.kshtml", "bloc\n");
  parser.SetVariable("$titre", "T");
  EXPECT_EQ(run("<p>\n#\necho include(\"pied\")\necho $vu\n#\nfin"),
            (Lines{"<p>", "<hr>\r\nT\r\n", "oui", "fin"}));
  EXPECT_EQ(eval("include(\"PIED.KSHTML\")"), "<hr>\r\nT\r\n");
  EXPECT_EQ(eval("include(\"autre.txt\")"), "texte\r\n");
  EXPECT_EQ(eval("include(\"absent\")"), "");
  EXPECT_EQ(eval("include(\"vide\")"), "");
  EXPECT_EQ(eval("include(\"sous\\bloc\")"), "bloc\r\n");
  EXPECT_EQ(eval("include(\"sous/bloc\")"), "bloc\r\n");
  // Names that leave the template folder read nothing.
  writeFile(root.path() / "secret.kshtml", "secret\n");
  EXPECT_EQ(eval("include(\"../secret\")"), "");
  EXPECT_EQ(eval("include(\"Sous\\..\\..\\secret\")"), "");
  EXPECT_EQ(eval("include(\"" + (root.path() / "secret").string() + "\")"), "");
}

TEST_F(Interpreter, ErrorsInsideIncludes) {
  tpl("faux.kshtml", "a\n#\n$x\necho jamais\n");
  EXPECT_EQ(run("debut\n#\necho include(\"faux\")\necho jamais"),
            (Lines{"debut", "a\r\n" + kMarker + "\r\n", kMarker}));
  // In an evalue, a later pass without error clears the error of an earlier one.
  tpl("item.kshtml", "#\nif $1 == 1\n$x\nendif\necho $1\n");
  EXPECT_EQ(run("#\necho evalue(1|2,include(\"item\"))\necho suite"),
            (Lines{kMarker + "\r\n2\r\n", "suite"}));
  EXPECT_EQ(run("#\necho evalue(2|1,include(\"item\"))\necho suite"),
            (Lines{"2\r\n" + kMarker + "\r\n", kMarker}));
}

TEST_F(Interpreter, EndlessRecursionEndsWithAnError) {
  tpl("moi.kshtml", "x\n#\necho include(\"moi\")\n");
  Lines out = run("#\necho include(\"moi\")");
  const std::string marker = "<p>*** Syntax Error : Trop d'include imbriqu\xE9s ***<p>";
  ASSERT_EQ(out.size(), 2u);
  EXPECT_EQ(out[1], marker);
  // 64 nested runs each write "x" and, unwinding, the marker.
  // The innermost echo writes the empty value of the refused include before the marker.
  std::string expected;
  for (int i = 0; i < 64; ++i) expected = "x\r\n" + expected + "\r\n" + marker + "\r\n";
  EXPECT_EQ(out[0], expected);

  std::string deep;
  for (int i = 0; i < 2000; ++i) deep += "nombre(";
  deep += std::string(2000, ')');
  EXPECT_EQ(run("#\necho " + deep + "\necho apres"),
            (Lines{"1",
                   "<p>*** Syntax Error : Expression trop imbriqu\xE9"
                   "e ***<p>"}));
}

// A page's work and text are bounded: a template that includes itself in each item of an
// "evalue(" doubles its work at each of its 64 levels, without end in practice.
TEST_F(Interpreter, ABombStopsAtTheLimitItPasses) {
  tpl("bombe.kshtml", "#\necho evalue(\"a|b\", include(bombe), \"\")\n#\n");
  tpl("texte.kshtml",
      "<p>" + std::string(1000, 'x') + "</p>\n#\necho evalue(\"a|b\", include(texte), \"\")\n#\n");
  tpl("page.kshtml", "<p>\n#\necho include(sage)\n#\n");
  tpl("sage.kshtml", "sage\n");
  const std::string stopped = "\" d\xE9passe la limite de ";
  const std::string end =
      " par page : la page est arr\xEAt\xE9"
      "e.";
  struct Case {
    const char* page;
    uint64_t steps, bytes;
    std::string limit;  // empty: the page is whole
  } cases[] = {
      {"bombe", 10000, kMaxPageBytes,
       "Le mod\xE8le \"bombe.kshtml" + stopped + "10 000 \xE9tapes" + end},
      {"texte", kMaxPageSteps, 1 << 20,
       "Le mod\xE8le \"texte.kshtml" + stopped + "1 Mo de texte" + end},
      {"texte", kMaxPageSteps, 123456,
       "Le mod\xE8le \"texte.kshtml" + stopped + "123 456 octets de texte" + end},
      {"page", 7, 100, ""},
      {"page", 4, 100, "Le mod\xE8le \"sage.kshtml" + stopped + "4 \xE9tapes" + end},
  };
  for (const Case& c : cases) {
    TKSParse parser(db);
    parser.MaxSteps = c.steps;
    parser.MaxBytes = c.bytes;
    std::optional<std::string> text = parser.RunPage(c.page, dirText());
    ASSERT_TRUE(text.has_value()) << c.page;
    EXPECT_EQ(parser.LimitText, c.limit) << c.page << " " << c.steps;
    EXPECT_EQ(*text, c.limit.empty() ? "<p>\r\nsage\r\n\r\n" : ErrorMarker(c.limit) + "\r\n")
        << c.page << " " << c.steps;
  }

  // The preview runs under the same limits, and so does the next run, afresh.
  parser.MaxSteps = 10000;
  Lines out = run("#\necho include(bombe)\n#\n");
  ASSERT_FALSE(out.empty());
  EXPECT_EQ(out.back(), ErrorMarker(parser.LimitText));
  EXPECT_EQ(run("#\necho include(sage)\n"), Lines{"sage\r\n"});
  EXPECT_EQ(parser.LimitText, "");
}

// With the limits as shipped, both bombs are stopped too: the one that writes by its text,
// the one that only works by its steps.
TEST_F(Interpreter, TheShippedLimitsStopTheIncludeBombs) {
  tpl("texte.kshtml", "<p>x</p>\n#\necho evalue(\"a|b\", include(texte), \"\")\n#\n");
  // Three levels of a thousand items each, writing nothing.
  std::string items = "a";
  for (int i = 1; i < 1000; ++i) items += "|a";
  tpl("travail.kshtml", "#\n$t = \"" + items + "\"\n$v = evalue($t, include(travail2), \"\")\n#\n");
  tpl("travail2.kshtml", "#\n$w = evalue($t, include(travail3), \"\")\n#\n");
  tpl("travail3.kshtml", "#\n$x = evalue($t, 1, \"\")\n#\n");
  const struct {
    const char* page;
    const char* file;  // where the limit is passed
    const char* limit;
  } cases[] = {{"texte", "texte.kshtml", "512 Mo de texte"},
               {"travail", "travail3.kshtml", "50 000 000 \xE9tapes"}};
  for (const auto& c : cases) {
    TKSParse parser(db);
    std::optional<std::string> text = parser.RunPage(c.page, dirText());
    ASSERT_TRUE(text.has_value());
    EXPECT_EQ(parser.LimitText, "Le mod\xE8le \"" + std::string(c.file) +
                                    "\" d\xE9passe la limite de " + c.limit +
                                    " par page : la page est arr\xEAt\xE9"
                                    "e.");
    EXPECT_EQ(*text, ErrorMarker(parser.LimitText) + "\r\n");
  }
}

TEST_F(Interpreter, Parameters) {
  parser.SetVariable("$garde", "1");
  parser.SetParameters("");
  EXPECT_EQ(parser.GetVariable("$garde"), "1");
  parser.SetParameters("id=12&Nom=A=B&x%20y=1&seul");
  EXPECT_EQ(parser.GetVariable("$garde"), "");
  EXPECT_EQ(parser.GetVariable("$id"), "12");
  EXPECT_EQ(parser.GetVariable("$nom"), "A");
  EXPECT_EQ(parser.GetVariable("$x%20y"), "1");
  EXPECT_EQ(parser.GetVariable("$seul"), "");
}

// Pages read each template once and run it many times: what the compiled lines keep (slots,
// pieces of literals, arguments) must give every page its own values.
TEST_F(Interpreter, CompiledTemplatesServeEveryPage) {
  std::string many;  // more variables in one literal than a run substitutes
  for (int i = 0; i < 101; ++i) many += "$a";
  tpl("lit.kshtml", "#\necho \"[$a-$B]\\n$c\"\n$Nom = <$a>\necho \"$nom$nomx\"\n");
  tpl("many.kshtml", "#\necho \"" + many + "\"\n");
  tpl("map.kshtml", "#\necho evalue($L,\"[$1]\",\"+\")\necho $1\n");
  tpl("champ.kshtml", "#\necho champ($id,\"<pre> <nom>\")\necho champ($Id,\"<nom>\", x)\n");
  const struct {
    std::string ref, page;
  } cases[] = {
      {"lit|a=1&b=x&c=y", "[1-x]\r\ny\r\n<1>\r\n"},
      {"lit|a=2", "[2-]\r\n\r\n<2>\r\n"},             // nothing kept from the page before
      {"lit|a=$b&b=Z", "[Z-Z]\r\n\r\n<Z>\r\n"},       // a value's "$" read in its turn
      {"lit|a=$$c&c=5", "[$$c-]\r\n5\r\n<$$c>\r\n"},  // "$$c" names no variable: it stays
      {"many|a=x", std::string(100, 'x') + "$a\r\n"},
      {"map|l=u|v", "[u]+[v]\r\nv\r\n"},
      {"map|l=$1|w", "[$1]+[w]\r\nw\r\n"},  // "$1" holds itself: 100 rounds
      {"champ|id=3", "Pierre DUPONT\r\nDUPONT\r\n"},
      {"champ|id=2", "Marie MARTIN\r\nMARTIN\r\n"},
  };
  for (int round = 0; round < 2; ++round)
    for (const auto& c : cases) EXPECT_EQ(parser.RunPage(c.ref, dirText()), c.page) << c.ref;
  EXPECT_EQ(parser.TemplatesCompiled(), 4u);
}

TEST_F(Interpreter, RunPage) {
  tpl("personne.kshtml", "<h1>\n#\necho champ($id,\"<nom>\")\necho $garde\n#\n</h1>");
  tpl("vide.kshtml", "");
  tpl("rien.kshtml", "#\n$a=1\n");
  parser.SetVariable("$garde", "non");
  EXPECT_EQ(parser.RunPage("personne|id=2", dirText()), "<h1>\r\nMARTIN\r\n\r\n</h1>\r\n");
  EXPECT_EQ(parser.RunPage("Personne", dirText()), "<h1>\r\n\r\n\r\n</h1>\r\n");
  EXPECT_EQ(parser.RunPage("absent|id=2", dirText()), std::nullopt);
  EXPECT_EQ(parser.RunPage("personne.kshtml", dirText()), std::nullopt);
  EXPECT_EQ(parser.RunPage("vide", dirText()), "");
  EXPECT_EQ(parser.RunPage("rien|a=2", dirText()), "");
  // The caller's variables are untouched.
  EXPECT_EQ(parser.GetVariable("$garde"), "non");
  EXPECT_EQ(parser.GetVariable("$id"), "");
  writeFile(root.path() / "dehors.kshtml", "dehors\n");
  EXPECT_EQ(parser.RunPage("../dehors", dirText()), std::nullopt);
  EXPECT_EQ(parser.RunPage((root.path() / "dehors").string(), dirText()), std::nullopt);
}
