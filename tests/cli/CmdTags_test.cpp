#include <gtest/gtest.h>
#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "pages/Listes.h"
#include "pages/Remplace.h"

namespace lignado {
namespace {

using CliRun = test::ProgramRun;

CliRun runCli(const std::vector<std::string>& args) {
  return test::RunProgram(LIGNADO_CLI, args);
}

// A small family in UTF-8: Jean and Hélène, married 1874, their son Pierre.
const char kFamily[] =
    "0 HEAD\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME Jean /Dupont/\n1 SEX M\n"
    "1 BIRT\n2 DATE 12 MAY 1850\n2 PLAC France, Bretagne, 29, 200 Brest, Kerbonne\n1 FAMS @F1@\n"
    "0 @I2@ INDI\n1 NAME H\xC3\xA9l\xC3\xA8ne /Martin/\n1 SEX F\n"
    "1 DEAT\n2 DATE ABT 1900\n2 PLAC Brest\n1 FAMS @F1@\n"
    "0 @I3@ INDI\n1 NAME Pierre /Dupont/\n1 SEX M\n1 FAMC @F1@\n"
    "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 CHIL @I3@\n1 MARR\n2 DATE 1 FEB 1874\n"
    "0 TRLR\n";

class CliTest : public ::testing::Test {
 protected:
  void SetUp() override { test::writeFile(ged(), kFamily); }
  std::string ged() const { return (dir.path() / "famille.ged").string(); }
  test::TempDir dir;
};

TEST_F(CliTest, TagsExpandsForOnePerson) {
  CliRun r =
      runCli({"tags", ged(), "1", "<nom> <pr\xC3\xA9nom> <ddn> <eve:Naissance,code postal>"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "DUPONT Jean 12/5/1850 29200\n");
  EXPECT_EQ(r.err, "");

  // Accents typed in a UTF-8 terminal reach the tags, and come back as UTF-8.
  r = runCli({"tags", ged(), "2",
              "<pr\xC3\xA9nom> \xE2\x80\x94 <date de d\xC3\xA9"
              "c\xC3\xA8s>"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "H\xC3\xA9l\xC3\xA8ne \xE2\x80\x94 vers 1900\n");

  r = runCli({"tags", ged(), "3",
              "<p\xC3\xA8re><pr\xC3\xA9nom> <individu><m\xC3\xA8re><nom> <conjoint 0><nom>"});
  EXPECT_EQ(r.out, "Jean MARTIN DUPONT\n");

  // A misspelt tag or form is said on the error output, once; markup is not.
  r = runCli({"tags", ged(), "1",
              "<b><profesion></b> <ddn:ann\xC3\xA9"
              "e> <profession:clair><profesion><br/>"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, " 1850 \n");
  EXPECT_EQ(r.err,
            "Attention : Balise inconnue : <profesion>\n"
            "Attention : Forme de balise inconnue : <profession:clair> (<profession> ne prend "
            "pas la forme :clair)\n");

  r = runCli({"tags", ged(), "7", "[<nom>]<b>"});  // no such person: said so
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Pas de personne num\xC3\xA9ro 7 dans " + ged() + ".\n");
}

TEST_F(CliTest, TagsRejectsBadArguments) {
  CliRun r = runCli({"tags", ged(), "abc", "<nom>"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Num\xC3\xA9ro de personne invalide : abc\n");

  r = runCli({"tags", ged(), "1"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Usage : lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]\n");

  r = runCli({"tags", ged(), "1", "<nom>", "--capacity", "0"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Capacit\xC3\xA9 invalide : 0 (de 1 \xC3\xA0 2000000).\n");

  r = runCli({"tags", (dir.path() / "absent.ged").string(), "1", "<nom>"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("Erreur \xC3\xA0 l'import"), std::string::npos) << r.err;
}

TEST_F(CliTest, CapacityOptionLimitsTheImport) {
  const std::string warning =
      "Attention : Base pleine (capacit\xC3\xA9 2) : 1 personne, 0 union et 1 \xC3\xA9v\xC3\xA9"
      "nement n'ont pas pu \xC3\xAAtre enregistr\xC3\xA9s. Relancez sans --capacity, ou "
      "avec une capacit\xC3\xA9 plus grande.\n";
  CliRun r = runCli({"tags", ged(), "--capacity", "2", "3", "[<nom>]"});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");  // Pierre did not fit, and the command says so
  EXPECT_EQ(r.err, warning + "Pas de personne num\xC3\xA9ro 3 dans " + ged() + ".\n");
  r = runCli({"list", ged(), "tous", "", "--capacity", "2"});
  EXPECT_EQ(r.out, "1|2\n");
  EXPECT_EQ(r.err, warning);
  r = runCli({"list", ged(), "tous", "--capacity"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Option --capacity sans valeur.\n");
}

TEST_F(CliTest, ListPrintsTheListText) {
  CliRun r = runCli({"list", ged(), "enfant", "1"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.out, "3\n");
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(runCli({"list", ged(), "tous", "0"}).out, "1|2|3\n");
  EXPECT_EQ(runCli({"list", ged(), "tous"}).out, "1|2|3\n");
  EXPECT_EQ(runCli({"list", ged(), "parent", "3"}).out, "1|2\n");
  EXPECT_EQ(runCli({"list", ged(), "enfant", "3"}).out, "\n");
  EXPECT_EQ(runCli({"list", ged(), "asc", "3", "1"}).out, "3|1|2\n");
  // Sorted by given name, accents in the template given as UTF-8.
  EXPECT_EQ(runCli({"list", ged(), "trie", "<pr\xC3\xA9nom>", "1|2|3"}).out, "2|1|3\n");
  // Jean and Pierre share the surname: one person per distinct text.
  EXPECT_EQ(runCli({"list", ged(), "commencepar", "<nom>", "dup"}).out, "1\n");
}

TEST_F(CliTest, ListRejectsUnknownKeyword) {
  CliRun r = runCli({"list", ged(), "cousins", "1"});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Mot-cl\xC3\xA9 inconnu : cousins (connus : parent, enfant, fatrie, conjoint, tous, "
            "asc, des, commencepar, trie, tranches, tranche, initiales, initiale, source, "
            "citation, renvoi, citeur, citeurunion, photo, sosa, generations, evenement, media, "
            "media_evenement, media_union, media_source)\n");
  r = runCli({"list", ged()});
  EXPECT_EQ(r.code, 2);
  EXPECT_EQ(r.err, "Usage : lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]\n");
}

// Every keyword the template engine accepts after "liste_" is known to list and its help.
TEST_F(CliTest, ListKnowsEveryKeywordOfTheEngine) {
  const std::string help = runCli({"list", "--help"}).out;
  for (std::string_view k : ListKeywords()) {
    const std::string keyword(k);
    CliRun r = runCli({"list", ged(), keyword, "1", "1"});
    EXPECT_EQ(r.code, 0) << keyword << ": " << r.err;
    const bool listed = help.find("\n  " + keyword + " ") != std::string::npos ||
                        help.find("\n  " + keyword + "\n") != std::string::npos;
    EXPECT_TRUE(listed) << keyword;
    // Its arguments are described, not left to the generic "A [B]".
    EXPECT_EQ(help.find("\n  " + keyword + " A [B]\n"), std::string::npos) << keyword;
  }
  // The lists that came with events and sources give what a template gets.
  struct Case {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"evenement", "2"}, "2\n"}, {{"evenement", "1", "1"}, "3\n"}, {{"citation", "1"}, "\n"},
      {{"sosa", "1"}, "1\n"},      {{"generations", ""}, "1\n"},     {{"tranches", "1|2|3"}, "1\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"list", ged()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    EXPECT_EQ(runCli(args).out, c.out) << c.args[0];
  }
}

TEST_F(CliTest, ListRejectsMissingOrNonNumericArguments) {
  struct Case {
    std::vector<std::string> args;
    std::string err;
  } cases[] = {
      {{"parent"}, "Argument manquant : parent PERSONNE.\n"},
      {{"asc"}, "Argument manquant : asc PERSONNE [G\xC3\x89N\xC3\x89RATIONS].\n"},
      {{"trie", "<nom>"}, "Argument manquant : trie TEXTE LISTE.\n"},
      {{"commencepar", "<nom>"},
       "Argument manquant : commencepar TEXTE D\xC3\x89"
       "BUT.\n"},
      {{"enfant", "un"}, "Nombre entier attendu : un.\n"},
      {{"conjoint", "1x"}, "Nombre entier attendu : 1x.\n"},
      {{"des", "1", "deux"}, "Nombre entier attendu : deux.\n"},
      {{"fatrie", ""}, "Nombre entier attendu : .\n"},
  };
  for (const Case& c : cases) {
    std::vector<std::string> args = {"list", ged()};
    args.insert(args.end(), c.args.begin(), c.args.end());
    CliRun r = runCli(args);
    EXPECT_EQ(r.code, 1) << c.args[0];
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, c.err);
  }
  // What needs no number takes any text, and an empty prefix matches every name.
  EXPECT_EQ(runCli({"list", ged(), "commencepar", "<nom>", ""}).out, "1|2\n");
}

// What the five escapes of a value stand for.
std::string unescapeHtml(std::string s) {
  const std::pair<const char*, const char*> refs[] = {
      {"&lt;", "<"}, {"&gt;", ">"}, {"&quot;", "\""}, {"&#39;", "'"}, {"&amp;", "&"}};
  for (const auto& [ref, ch] : refs)
    for (size_t at = 0; (at = s.find(ref, at)) != std::string::npos; at += 1)
      s.replace(at, std::strlen(ref), ch);
  return s;
}

// Every person of every corpus file: no crash, no hang, and the person line is exactly its
// fields, written so that no markup or quote of theirs is left.
TEST(TagsCorpus, EveryPersonOfEveryFile) {
  auto corpus = test::corpusDir();
  if (corpus.empty()) GTEST_SKIP() << "corpus absent";
  const std::string line = "<nom> <pr\xE9nom> <ddn> <ldn> <ddd> <ldd>";
  const std::string wide =
      "<p\xE8re><nom>|<m\xE8re><nom>|<individu><conjoint 0><nom>|<individu><union 0>"
      "<eve:Mariage,adresse>|<individu><o+x>|<age>|<note>|<eve:Naissance,code postal>|"
      "<eve:D\xE9"
      "c\xE8s,jour> <ddn JJ.MM.AA>";
  int files = 0;
  for (const auto& entry : std::filesystem::directory_iterator(corpus)) {
    std::string ext = entry.path().extension().string();
    if (ext != ".ged" && ext != ".GED") continue;
    SCOPED_TRACE(entry.path().filename().string());
    TBD db(4000);
    THead head;
    ImportResult r =
        ImportGedcom(db, entry.path().string(), head, kModeAnsel, false, false, true, nullptr);
    EXPECT_FALSE(r.failed) << r.reason;
    ++files;
    for (int32_t p = 1; p <= db.PersonCount; ++p) {
      std::string expected = db.GetSurname(p) + " " + db.GetGivenNames(p) + " " +
                             db.GetPersonField(p, 6) + " " + db.GetPersonField(p, 7) + " " +
                             db.GetPersonField(p, 12) + " " + db.GetPersonField(p, 13);
      std::string got = ExpandTags(db, p, line);
      EXPECT_EQ(got.find_first_of("<>\"'"), std::string::npos) << "person " << p;
      EXPECT_EQ(unescapeHtml(got), expected) << "person " << p;
      ExpandTags(db, p, wide);
    }
  }
  EXPECT_GT(files, 0);
}

TEST(TagsCorpus, KnownPersonOfRoyal92) {
  auto corpus = test::corpusDir();
  if (corpus.empty() || !std::filesystem::exists(corpus / "royal92.ged"))
    GTEST_SKIP() << "corpus absent";
  TBD db(4000);
  THead head;
  ImportGedcom(db, (corpus / "royal92.ged").string(), head, kModeAnsel, false, false, true,
               nullptr);
  EXPECT_EQ(ExpandTags(db, 1, "<nom> <pr\xE9nom> <ddn> <ldn> <ddd> <ldd>"),
            "HANOVER Victoria 24/5/1819 Kensington,Palace,London,England 22/1/1901 Osborne "
            "House,Isle of Wight,England");
  EXPECT_EQ(ExpandTags(db, 1, "<eve:Naissance,pays>/<eve:Naissance,commune>/<o+x>/<sexe>"),
            "Kensington/England/o + x/femme");
}

}  // namespace
}  // namespace lignado
