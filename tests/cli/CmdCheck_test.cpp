// lignado-cli check and the template errors of lignado-cli build, as a template author meets them.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

using lignado::test::ProgramRun;
using lignado::test::TempDir;
using lignado::test::writeFile;
namespace fs = std::filesystem;

namespace {

const char kGedcom[] =
    "0 HEAD\r\n1 CHAR ASCII\r\n0 @I1@ INDI\r\n1 NAME Jean /DUPONT/\r\n1 SEX M\r\n0 TRLR\r\n";

ProgramRun cli(const std::vector<std::string>& args) {
  return lignado::test::RunProgram(LIGNADO_CLI, args);
}

// A copied template with the mistakes authors make: "=" for a comparator on the home page, and
// a misspelt function in a file that no page reaches.
class BrokenTemplate : public ::testing::Test {
 protected:
  void SetUp() override {
    fs::create_directory(tpl);
    writeFile(dir.path() / "famille.ged", kGedcom);
    writeFile(tpl / "index.kshtml", "<h1>Accueil</h1>\n#\n$p = 1\nif $p = 1\necho oui\nendif\n#\n");
    writeFile(tpl / "orphelin.kshtml", "#\n  echo champs(1)\n#\n");
  }
  TempDir dir;
  fs::path tpl = dir.path() / "modele";
  const std::string where = tpl.string() + "/";
  const std::string comparator = where +
                                 "index.kshtml:4:1 : Il n'y a pas de comparateur dans le if : "
                                 "il faut == ou <> entre ses deux c\xC3\xB4t\xC3\xA9s. (1 page)";
};

}  // namespace

TEST(CmdCheck, ShippedTemplatesAreCleanOnTheExampleFamily) {
  for (const char* name : {"classique", "parchemin"}) {
    ProgramRun r = cli({"check", name});
    EXPECT_EQ(r.code, 0) << name << r.err;
    EXPECT_EQ(r.err, "") << name;
    EXPECT_EQ(r.out.rfind("Aucune erreur dans le mod\xC3\xA8le ", 0), 0u) << r.out;
  }
}

TEST_F(BrokenTemplate, CheckListsEveryFileWithItsPlaceAndFails) {
  ProgramRun r = cli({"check", tpl.string(), (dir.path() / "famille.ged").string()});
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  EXPECT_NE(r.err.find("2 erreurs dans le mod\xC3\xA8le (fichier:ligne:colonne) :\n  " +
                       comparator + "\n  " + where +
                       "orphelin.kshtml:2:8 : Fonction inconnue \xC2\xAB champs( \xC2\xBB : "
                       "l'expression est \xC3\xA9" +
                       "crite telle quelle. (1 page)\n"),
            std::string::npos)
      << r.err;
}

TEST_F(BrokenTemplate, BuildWarnsAndStrictFails) {
  struct Case {
    std::vector<std::string> extra;
    int code;
  } cases[] = {{{}, 0}, {{"--strict"}, 1}};
  for (const Case& c : cases) {
    std::vector<std::string> args = {"build",      (dir.path() / "famille.ged").string(),
                                     "--template", tpl.string(),
                                     "--out",      (dir.path() / "site").string()};
    args.insert(args.end(), c.extra.begin(), c.extra.end());
    ProgramRun r = cli(args);
    EXPECT_EQ(r.code, c.code) << r.err;
    EXPECT_NE(r.out.find("Pages \xC3\xA9"
                         "crites : 1"),
              std::string::npos)
        << r.out;
    EXPECT_NE(r.err.find("Une erreur dans le mod\xC3\xA8le (fichier:ligne:colonne) :\n  " +
                         comparator + "\n"),
              std::string::npos)
        << r.err;
  }
}

TEST(CmdCheck, RefusesWhatItCannotRun) {
  TempDir dir;
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"check"}, 2, "Mod\xC3\xA8le manquant.\n"},
      {{"check", (dir.path() / "absent").string()},
       2,
       "Mod\xC3\xA8le introuvable : " + (dir.path() / "absent").string() + ".\n"},
      {{"check", "classique", "--vite"}, 2, "Option inconnue : --vite.\n"},
  };
  for (const Case& c : cases) {
    ProgramRun r = cli(c.args);
    EXPECT_EQ(r.code, c.code);
    EXPECT_EQ(r.err.rfind(c.err, 0), 0u) << r.err;
  }
}
