#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"

namespace lignado {
namespace {

using CliRun = test::ProgramRun;

// lignado-cli import with these arguments.
CliRun runImport(const std::vector<std::string>& args) {
  std::vector<std::string> all{"import"};
  all.insert(all.end(), args.begin(), args.end());
  return test::RunProgram(LIGNADO_CLI, all);
}

const std::string kSmall =
    "0 HEAD\r\n1 SOUR Essai\r\n1 CHAR ANSEL\r\n0 @I1@ INDI\r\n1 NAME Ren\xE2"
    "e /Lef\xE1"
    "evre/\r\n1 SEX F\r\n1 BIRT\r\n2 DATE 1900\r\n1 SOUR @S1@\r\n0 @I2@ INDI\r\n1 NAME jean "
    "/durand/\r\n1 SEX M\r\n0 @I3@ INDI\r\n1 NAME /Sans Pr\xE2"
    "enom/\r\n0 @F1@ FAM\r\n1 HUSB @I2@\r\n1 WIFE @I1@\r\n1 MARR\r\n0 TRLR\r\n";

TEST(CliImport, PrintsHeaderCountsAndPersonsInUtf8) {
  test::TempDir dir;
  std::string file = dir.str() + "petit.ged";
  test::writeFile(file, kSmall);
  CliRun r = runImport({file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(r.out, "Fichier : " + file +
                       "\n"
                       "Logiciel : Essai\n"
                       "Jeu de caract\xC3\xA8res : ANSEL\n"
                       "Personnes : 3\n"
                       "Unions : 1\n"
                       "\xC3\x89v\xC3\xA9nements : 2\n"
                       "Sources : 1\n"
                       "\n"
                       "LEF\xC3\x88VRE Ren\xC3\xA9\n"
                       "DURAND Jean\n"
                       "SANS PR\xC3\x89NOM \n");
  EXPECT_FALSE(std::filesystem::exists(dir.path() / "kestrane.log"));
}

// Values of the file reach the terminal with their control characters replaced: a GEDCOM file
// cannot send escape sequences (colours, window title, screen erase) to the terminal.
TEST(CliImport, ControlCharactersOfTheFileAreNotPrinted) {
  test::TempDir dir;
  std::string file = dir.str() + "piege.ged";
  test::writeFile(
      file,
      "0 HEAD\r\n1 SOUR Ess\x1B]0;titre\x07"
      "ai\r\n1 CHAR ANSI\r\n0 @I1@ INDI\r\n1 NAME Jean\x1B[31m\x9D /Nom\x1B[2J\x90x/\r\n"
      "0 TRLR\r\n");
  const struct {
    std::vector<std::string> args;
    std::string out;
  } cases[] = {
      {{"import", file},
       "Fichier : " + file +
           "\nLogiciel : Ess?]0;titre?ai\nJeu de caract\xC3\xA8res : ANSI\nPersonnes : 1\n"
           "Unions : 0\n\xC3\x89v\xC3\xA9nements : 0\nSources : 0\n\nNOM?[2J?X Jean?[31m?\n"},
      {{"tags", file, "1", "<nom>|<pr\xC3\xA9nom>"}, "NOM?[2J?X|Jean?[31m?\n"},
  };
  for (const auto& c : cases) {
    CliRun r = test::RunProgram(LIGNADO_CLI, c.args);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(r.out, c.out);
  }
}

TEST(CliImport, CharsetOptionIsTheDefaultForFilesWithoutCharLine) {
  test::TempDir dir;
  std::string file = dir.str() + "dos.ged";
  test::writeFile(file, "0 HEAD\r\n0 @I1@ INDI\r\n1 NAME Fran\x87ois /B\x82rard/\r\n0 TRLR\r\n");
  CliRun r = runImport({file, "--charset", "ibmpc"});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("\nB\xC3\x89RARD Fran\xC3\xA7ois\n"), std::string::npos) << r.out;
  r = runImport({file, "--charset", "none"});  // Windows-1252 bytes: double dagger, low quote
  EXPECT_NE(r.out.find("\nB\xE2\x80\x9ARARD Fran\xE2\x80\xA1ois\n"), std::string::npos) << r.out;
}

TEST(CliImport, FullPoolWarnsOnStderr) {
  test::TempDir dir;
  std::string file = dir.str() + "petit.ged";
  test::writeFile(file, kSmall);
  CliRun r = runImport({file, "--capacity", "2", "--log"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err,
            "Attention : Base pleine (capacit\xC3\xA9 2) : 1 personne, 0 union et 0 "
            "\xC3\xA9v\xC3\xA9nement n'ont pas pu \xC3\xAAtre enregistr\xC3\xA9s. Relancez sans "
            "--capacity, ou avec une capacit\xC3\xA9 plus grande.\n");
  EXPECT_NE(r.out.find("Personnes : 2\n"), std::string::npos);
  std::string log = test::readFile(dir.path() / "kestrane.log");
  EXPECT_NE(log.find("13 Base pleine, personne non enregistr\xE9"
                     "e : 0 @I3@ INDI\r\n"),
            std::string::npos);
}

TEST(CliImport, UnreadableFileFails) {
  CliRun r = runImport({"/nonexistent-folder/absent.ged"});
  EXPECT_NE(r.code, 0);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Erreur \xC3\xA0 l'import\n"
            "Impossible de lire le fichier /nonexistent-folder/absent.ged : il n'existe pas.\n");
}

TEST(CliImport, BadArguments) {
  for (const std::vector<std::string>& args : {std::vector<std::string>{},
                                               {"a.ged", "--charset", "latin9"},
                                               {"a.ged", "--capacity", "0"},
                                               {"a.ged", "--capacity", "12x"},
                                               {"a.ged", "--capacity"},
                                               {"a.ged", "--verbose"},
                                               {"a.ged", "b.ged"}}) {
    CliRun r = runImport(args);
    EXPECT_EQ(r.code, 2);
    EXPECT_NE(r.err.find("Usage : lignado-cli import FICHIER.ged"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
}

TEST(CliImport, NotAGedcomFileFailsEveryCommand) {
  test::TempDir dir;
  std::string file = dir.str() + "lisez-moi.txt";
  test::writeFile(file, "Lisez-moi\n0 HEAD\n");
  const std::string site = dir.str() + "site";
  for (const std::vector<std::string>& args : {std::vector<std::string>{"import", file},
                                               {"build", file, "--out", site},
                                               {"tags", file, "1", "<nom>"},
                                               {"list", file, "tous", ""}}) {
    CliRun r = test::RunProgram(LIGNADO_CLI, args);
    EXPECT_EQ(r.code, 1) << args[0];
    EXPECT_EQ(r.err, "Ce fichier n'est pas un fichier GEDCOM : " + file + ".\n") << args[0];
    EXPECT_EQ(r.out, "") << args[0];
  }
  EXPECT_FALSE(std::filesystem::exists(site));
}

TEST(CliImport, TheWholeFileByDefaultAFixedCapacityWhenAsked) {
  test::TempDir dir;
  std::string file = dir.str() + "grand.ged";
  std::string ged = "0 HEAD\r\n";
  for (int i = 1; i <= 1500; ++i) ged += "0 @I" + std::to_string(i) + "@ INDI\r\n1 BIRT\r\n";
  test::writeFile(file, ged);
  CliRun r = runImport({file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_NE(r.out.find("Personnes : 1500\n"), std::string::npos);
  r = runImport({file, "--capacity", "1000"});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err,
            "Attention : Base pleine (capacit\xC3\xA9 1000) : 500 personnes, 0 union et 0 "
            "\xC3\xA9v\xC3\xA9nement n'ont pas pu \xC3\xAAtre enregistr\xC3\xA9s. Relancez sans "
            "--capacity, ou avec une capacit\xC3\xA9 plus grande.\n");
  EXPECT_NE(r.out.find("Personnes : 1000\n"), std::string::npos);
}

TEST(CliImport, ListsTheFirstHundredPersons) {
  test::TempDir dir;
  std::string file = dir.str() + "grand.ged";
  std::string ged = "0 HEAD\r\n";
  for (int i = 1; i <= 150; ++i)
    ged += "0 @I" + std::to_string(i) + "@ INDI\r\n1 NAME P" + std::to_string(i) + " /N/\r\n";
  test::writeFile(file, ged);
  CliRun r = runImport({file});
  EXPECT_EQ(r.code, 0);
  EXPECT_NE(r.out.find("Personnes : 150\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nN P100\n"), std::string::npos);
  EXPECT_EQ(r.out.find("N P101"), std::string::npos);
}

TEST(CliImport, TheShippedExampleFamily) {
  std::string file = std::string(LIGNADO_SOURCE_DIR) + "/examples/famille-exemple.ged";
  std::string ged = test::readFile(file);
  int indi = 0, fam = 0;
  for (size_t p = 0; (p = ged.find("\r\n0 @", p)) != std::string::npos; ++p) {
    size_t e = ged.find("\r\n", p + 2);
    std::string line = ged.substr(p + 2, e - p - 2);
    indi += line.ends_with("@ INDI");
    fam += line.ends_with("@ FAM");
  }
  CliRun r = runImport({file});
  EXPECT_EQ(r.code, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_GE(indi, 60);
  EXPECT_NE(r.out.find("Personnes : " + std::to_string(indi) + "\n"), std::string::npos);
  EXPECT_NE(r.out.find("Unions : " + std::to_string(fam) + "\n"), std::string::npos);
  EXPECT_NE(r.out.find("Jeu de caract\xC3\xA8res : UTF-8\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nLE GALL Fran\xC3\xA7oise\n"), std::string::npos);
  EXPECT_NE(r.out.find("\nGU\xC3\x89GUEN Ma\xC3\xAF\n"), std::string::npos);
}

}  // namespace
}  // namespace lignado
