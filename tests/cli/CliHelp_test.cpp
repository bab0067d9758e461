// lignado-cli as a new user meets it: help, version, unknown commands, French reasons.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace lignado {
namespace {

using test::ProgramRun;

ProgramRun runCli(const std::vector<std::string>& args) {
  return test::RunProgram(LIGNADO_CLI, args);
}

bool startsWith(const std::string& text, const std::string& start) {
  return text.rfind(start, 0) == 0;
}

TEST(CliHelp, HelpGoesToStandardOutputAndUnknownCommandsFail) {
  const std::string general = "Usage :\n  lignado-cli import FICHIER.ged";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string out, err;  // how each begins
  } cases[] = {
      {{"--help"}, 0, general, ""},
      {{"-h"}, 0, general, ""},
      {{"help"}, 0, general, ""},
      {{"help", "upload"}, 0, "Usage : lignado-cli upload DOSSIER", ""},
      {{"import", "--help"}, 0, "Usage : lignado-cli import FICHIER.ged", ""},
      {{"build", "famille.ged", "-h"}, 0, "Usage : lignado-cli build FICHIER.ged", ""},
      {{"tags", "--help"}, 0, "Usage : lignado-cli tags FICHIER.ged", ""},
      {{"list", "--help"}, 0, "Usage : lignado-cli list FICHIER.ged", ""},
      {{"upload", "--help"}, 0, "Usage : lignado-cli upload DOSSIER", ""},
      {{"publier", "x"}, 2, "", "Commande inconnue : publier\n" + general},
      {{}, 2, "", general},
  };
  for (const Case& c : cases) {
    ProgramRun r = runCli(c.args);
    std::string shown = c.args.empty() ? "(rien)" : c.args[0];
    EXPECT_EQ(r.code, c.code) << shown;
    EXPECT_TRUE(startsWith(r.out, c.out)) << shown << ": " << r.out;
    EXPECT_TRUE(startsWith(r.err, c.err)) << shown << ": " << r.err;
    if (c.out.empty()) {
      EXPECT_EQ(r.out, "") << shown;
    }
    if (c.err.empty()) {
      EXPECT_EQ(r.err, "") << shown;
    }
  }
  // The help of a command says what it does, in French, beyond its usage line.
  EXPECT_NE(runCli({"build", "--help"}).out.find("\n  --out DOSSIER "), std::string::npos);

  ProgramRun r = runCli({"--version"});
  EXPECT_EQ(r.code, 0);
  ASSERT_TRUE(startsWith(r.out, "lignado-cli ")) << r.out;
  std::string version = r.out.substr(12);
  EXPECT_EQ(version.find_first_not_of("0123456789."), version.size() - 1) << r.out;
  EXPECT_EQ(version.back(), '\n');
}

TEST(CliHelp, FileProblemsAreExplainedInFrench) {
  test::TempDir dir;
  test::writeFile(dir.path() / "fichier", "x");
  const std::string d = dir.path().string(), f = d + "/fichier";
  struct Case {
    std::vector<std::string> args;
    int code;
    std::string err;
  } cases[] = {
      {{"import", d},
       1,
       "Erreur \xC3\xA0 l'import\nImpossible de lire le fichier " + d + " : c'est un dossier.\n"},
      {{"tags", d + "/absent.ged", "1", "<nom>"},
       1,
       "Erreur \xC3\xA0 l'import\nImpossible de lire le fichier " + d +
           "/absent.ged : il n'existe pas.\n"},
      {{"import", f + "/a.ged"},
       1,
       "Erreur \xC3\xA0 l'import\nImpossible de lire le fichier " + f +
           "/a.ged : un \xC3\xA9l\xC3\xA9ment du chemin est un fichier.\n"},
      {{"upload", f, "--host", "h", "--user", "u"}, 2, "Ce n'est pas un dossier : " + f + "\n"},
  };
  for (const Case& c : cases) {
    ProgramRun r = runCli(c.args);
    EXPECT_EQ(r.code, c.code) << c.args[0];
    EXPECT_EQ(r.err, c.err);
    EXPECT_EQ(r.out, "");
  }
}

}  // namespace
}  // namespace lignado
