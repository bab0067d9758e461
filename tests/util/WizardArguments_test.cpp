#include "util/WizardArguments.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "TestSupport.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::writeFile;

const std::string kUsage = "Usage : lignado [FICHIER.ged]\n";

TEST(WizardArguments, OneGedcomFileOrAFrenchUsageLine) {
  TempDir dir;
  writeFile(dir.path() / "Famille.ged", "0 HEAD\n");
  writeFile(dir.path() / "-tiret.ged", "0 HEAD\n");
  writeFile(dir.path() / "\xC3\xA9t\xC3\xA9.ged", "0 HEAD\n");  // "été.ged" in UTF-8
  fs::create_directory(dir.path() / "arbres");
  ::mkfifo((dir.path() / "tube").c_str(), 0600);
  const std::string d = dir.str();
  const struct {
    std::vector<std::string> args;
    std::string file;  // opened; empty: none
    std::string text;  // printed instead of starting; empty: starts
    int status;
  } cases[] = {
      {{}, "", "", 0},
      {{d + "Famille.ged"}, d + "Famille.ged", "", 0},
      {{d + "arbres/../Famille.ged"}, d + "Famille.ged", "", 0},
      {{"--", d + "-tiret.ged"}, d + "-tiret.ged", "", 0},
      {{d + "\xC3\xA9t\xC3\xA9.ged"}, d + "\xC3\xA9t\xC3\xA9.ged", "", 0},
      {{d + "absent.ged"}, "", "Fichier introuvable : " + d + "absent.ged\n" + kUsage, 2},
      {{""}, "", "Fichier introuvable : \n" + kUsage, 2},
      {{d + "\xC3\xA9t\xC3\xA9"}, "", "Fichier introuvable : " + d + "\xE9t\xE9\n" + kUsage, 2},
      {{d + "arbres"}, "", d + "arbres est un dossier ; donnez un fichier GEDCOM.\n" + kUsage, 2},
      {{d + "tube"}, "", d + "tube n'est pas un fichier GEDCOM.\n" + kUsage, 2},
      {{d + "Famille.ged", d + "Famille.ged"}, "", "Un seul fichier \xE0 la fois.\n" + kUsage, 2},
      {{"--", d + "Famille.ged", "x"}, "", "Un seul fichier \xE0 la fois.\n" + kUsage, 2},
      {{"-platform", "offscreen"}, "", "Option inconnue : -platform\n" + kUsage, 2},
      {{d + "Famille.ged", "--verbose"}, "", "Option inconnue : --verbose\n" + kUsage, 2},
      {{"-"}, "", "Fichier introuvable : -\n" + kUsage, 2},
      {{"--version"}, "", "lignado " LIGNADO_TEST_VERSION "\n", 0},
  };
  for (const auto& c : cases) {
    std::string shown;
    for (const std::string& a : c.args) shown += "[" + a + "]";
    WizardStart s = ParseWizardArguments(c.args);
    EXPECT_EQ(s.file, c.file) << shown;
    EXPECT_EQ(s.run, c.text.empty()) << shown;
    if (!c.text.empty()) {
      EXPECT_EQ(s.text, c.text) << shown;
    }
    EXPECT_EQ(s.status, c.status) << shown;
  }
}

TEST(WizardArguments, ARelativeFileIsOpenedFromWhereTheProgramStarted) {
  TempDir dir;
  writeFile(dir.path() / "Famille.ged", "0 HEAD\n");
  const fs::path before = fs::current_path();
  fs::current_path(dir.path());
  WizardStart s = ParseWizardArguments({"Famille.ged"});
  fs::current_path(before);
  EXPECT_TRUE(s.run);
  EXPECT_EQ(s.file, (fs::canonical(dir.path()) / "Famille.ged").string());
}

TEST(WizardArguments, HelpWinsOverEverythingElse) {
  for (auto args : {std::vector<std::string>{"--help"}, {"-h", "x"}, {"absent.ged", "--help"}}) {
    WizardStart s = ParseWizardArguments(args);
    EXPECT_FALSE(s.run);
    EXPECT_EQ(s.status, 0);
    EXPECT_EQ(s.text.rfind(kUsage, 0), 0u);
  }
}

}  // namespace
}  // namespace lignado
