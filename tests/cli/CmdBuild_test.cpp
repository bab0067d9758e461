#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "../../bench/TreeGen.h"
#include "TestSupport.h"

using lignado::test::readFile;
using lignado::test::TempDir;
using lignado::test::writeFile;
namespace fs = std::filesystem;

namespace {

const char kGedcom[] =
    "0 HEAD\r\n1 SOUR TEST\r\n1 GEDC\r\n2 VERS 5.5\r\n1 CHAR ASCII\r\n"
    "0 @I1@ INDI\r\n1 NAME Jean /DUPONT/\r\n1 SEX M\r\n1 BIRT\r\n2 DATE 12 MAY 1850\r\n"
    "2 PLAC Paris\r\n1 FAMS @F1@\r\n"
    "0 @I2@ INDI\r\n1 NAME Marie /MARTIN/\r\n1 SEX F\r\n1 FAMS @F1@\r\n"
    "0 @I3@ INDI\r\n1 NAME Pierre /DUPONT/\r\n1 SEX M\r\n1 FAMC @F1@\r\n"
    "0 @F1@ FAM\r\n1 HUSB @I1@\r\n1 WIFE @I2@\r\n1 CHIL @I3@\r\n0 TRLR\r\n";

struct CliRun {
  int code = -1;
  std::string out, err;
};

class CmdBuild : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir.path() / "famille.ged", kGedcom);
    fs::create_directory(tpl);
    writeFile(tpl / "index.kshtml",
              "<ul>\n#\n$t = liste_tous()\necho evalue($t, include(\"ligne\"))\n#\n</ul>\n");
    writeFile(tpl / "ligne.kshtml", "#\necho \"<li><a href=\"p|id=$1\">$1</a></li>\"\n#\n");
    writeFile(tpl / "p.kshtml", "#\necho champ($id, \"<nom> <ddn> <ldn>\")\n#\n");
  }

  // Runs the program in the temp folder with the given arguments.
  CliRun cli(const std::string& args) {
    CliRun r;
    std::string cmd = "cd '" + dir.path().string() + "' && '" + LIGNADO_CLI + "' " + args +
                      " >out.txt 2>err.txt </dev/null";
    int status = std::system(cmd.c_str());
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.out = readFile(dir.path() / "out.txt");
    r.err = readFile(dir.path() / "err.txt");
    return r;
  }

  TempDir dir;
  fs::path tpl = dir.path() / "modele-test";
};

}  // namespace

TEST_F(CmdBuild, BuildsTheSiteIntoANewNestedFolder) {
  CliRun r = cli("build famille.ged --template ./modele-test --out a/b/site");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Pages \xC3\xA9"
            "crites : 4 dans a/b/site\n");
  fs::path site = dir.path() / "a/b/site";
  EXPECT_EQ(readFile(site / "index.html"),
            "<ul>\r\n<li><a href=\"p_id_1.html\">1</a></li>\r\n"
            "<li><a href=\"p_id_2.html\">2</a></li>\r\n"
            "<li><a href=\"p_id_3.html\">3</a></li>\r\n\r\n</ul>\r\n\r\n");
  EXPECT_EQ(readFile(site / "p_id_1.html"), "DUPONT 12/5/1850 Paris\r\n\r\n");
  EXPECT_EQ(readFile(site / "p_id_2.html"), "MARTIN  \r\n\r\n");
  EXPECT_EQ(readFile(site / "p_id_3.html"), "DUPONT  \r\n\r\n");
}

TEST_F(CmdBuild, ATemplateFolderGivenByAbsolutePath) {
  CliRun r = cli("build famille.ged --out sortie --template '" + tpl.string() + "'");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "sortie/p_id_3.html"));
}

TEST_F(CmdBuild, DefaultsToTheShippedTemplateAndSiteFolder) {
  fs::path shipped = fs::path(LIGNADO_BINARY_DIR) / "modele" / "classique" / "index.kshtml";
  if (!fs::exists(shipped)) GTEST_SKIP() << "no shipped template beside the program";
  CliRun r = cli("build famille.ged");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out.rfind("Pages \xC3\xA9"
                        "crites : ",
                        0),
            0u)
      << r.out;
  EXPECT_TRUE(fs::exists(dir.path() / "site/index.html"));
  // A name is looked up without regard to case.
  r = cli("build famille.ged --template CLASSIQUE --out autre");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(dir.path() / "autre/index.html"));
  // An unknown name lists the templates there are.
  r = cli("build famille.ged --template inconnu-xyz");
  std::string line = r.err.substr(r.err.find('\n') + 1);
  EXPECT_EQ(line.rfind("Mod\xC3\xA8les disponibles : ", 0), 0u) << r.err;
  EXPECT_NE(line.find("classique"), std::string::npos) << r.err;
  EXPECT_NE(line.find("parchemin"), std::string::npos) << r.err;
}

TEST_F(CmdBuild, PagesOfAnEarlierBuildAreRemovedAndTheUsersFilesKept) {
  ASSERT_EQ(cli("build famille.ged --template modele-test --out site").code, 0);
  writeFile(dir.path() / "site/photo.jpg", "de l'utilisateur");
  // Pierre left the tree: his page must not stay published.
  writeFile(dir.path() / "famille.ged",
            "0 HEAD\r\n0 @I1@ INDI\r\n1 NAME Jean /DUPONT/\r\n0 @I2@ INDI\r\n1 NAME Marie "
            "/MARTIN/\r\n0 TRLR\r\n");
  CliRun r = cli("build famille.ged --template modele-test --out site");
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_EQ(r.out,
            "Pages \xC3\xA9"
            "crites : 3 dans site\n"
            "1 page d'une g\xC3\xA9n\xC3\xA9ration pr\xC3\xA9"
            "c\xC3\xA9"
            "dente supprim\xC3\xA9"
            "e\n");
  EXPECT_FALSE(fs::exists(dir.path() / "site/p_id_3.html"));
  EXPECT_TRUE(fs::exists(dir.path() / "site/p_id_2.html"));
  EXPECT_EQ(readFile(dir.path() / "site/photo.jpg"), "de l'utilisateur");
}

// A file that leaves nothing to publish fails the build and leaves the earlier site whole.
TEST_F(CmdBuild, NothingToPublishLeavesTheEarlierSite) {
  struct Case {
    const char* name;
    const char* content;
    const char* said;  // in stderr
  } cases[] = {
      {"not GEDCOM", "Bonjour,\r\nvoici ma famille.\r\n", "pas un fichier GEDCOM"},
      {"no record", "0 HEAD\r\n0 TRLR\r\n", "Aucune personne \xC3\xA0 publier"},
      {"a family alone", "0 HEAD\r\n0 @F1@ FAM\r\n1 MARR\r\n0 TRLR\r\n",
       "Aucune personne \xC3\xA0 publier"},
  };
  ASSERT_EQ(cli("build famille.ged --template modele-test --out site").code, 0);
  const std::string index = readFile(dir.path() / "site/index.html");
  for (const Case& c : cases) {
    writeFile(dir.path() / "vide.ged", c.content);
    CliRun r = cli("build vide.ged --template modele-test --out site");
    EXPECT_EQ(r.code, 1) << c.name;
    EXPECT_NE(r.err.find(c.said), std::string::npos) << c.name << ": " << r.err;
    EXPECT_EQ(readFile(dir.path() / "site/index.html"), index) << c.name;
    EXPECT_TRUE(fs::exists(dir.path() / "site/p_id_3.html")) << c.name;
  }
}

TEST_F(CmdBuild, AnInstalledProgramFindsItsTemplates) {
  fs::path shipped = fs::path(LIGNADO_BINARY_DIR) / "modele" / "parchemin" / "index.kshtml";
  if (!fs::exists(shipped)) GTEST_SKIP() << "no shipped template beside the program";
  TempDir prefix;
  lignado::test::ProgramRun install = lignado::test::RunProgram(
      LIGNADO_CMAKE, {"--install", LIGNADO_BINARY_DIR, "--prefix", prefix.path().string()});
  ASSERT_EQ(install.code, 0) << install.err;
  const fs::path site = dir.path() / "installe";
  lignado::test::ProgramRun r =
      lignado::test::RunProgram((prefix.path() / "bin/lignado-cli").string(),
                                {"build", (dir.path() / "famille.ged").string(), "--template",
                                 "parchemin", "--out", site.string()});
  EXPECT_EQ(r.code, 0) << r.err;
  EXPECT_TRUE(fs::exists(site / "index.html"));
  EXPECT_TRUE(fs::exists(prefix.path() / "share/lignado/modele/classique/index.kshtml"));
}

TEST_F(CmdBuild, AFailedWriteStopsTheBuildInOneMessage) {
  fs::create_directory(tpl / "sous");
  writeFile(tpl / "index.kshtml", "<a href=\"sous/p\">p</a> <a href=\"q\">q</a>\n");
  writeFile(tpl / "sous" / "p.kshtml", "p\n");
  writeFile(tpl / "q.kshtml", "q\n");
  fs::create_directories(dir.path() / "site/q.html");
  CliRun r = cli("build famille.ged --template modele-test --out site");
  EXPECT_EQ(r.code, 1);
  EXPECT_EQ(r.out, "");
  const std::string message =
      "Impossible d'enregistrer le fichier \"site/q.html\" : c'est un dossier.\n";
  EXPECT_NE(r.err.find(message), std::string::npos) << r.err;
  EXPECT_EQ(r.err.find("Impossible"), r.err.rfind("Impossible")) << r.err;
  EXPECT_EQ(readFile(dir.path() / "site/sous/p.html"), "p\r\n\r\n");
}

TEST_F(CmdBuild, RefusesWhatItCannotUse) {
  CliRun r = cli("build famille.ged --template inconnu-xyz");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("Mod\xC3\xA8le introuvable : inconnu-xyz"), std::string::npos) << r.err;

  fs::create_directory(dir.path() / "sans-index");
  writeFile(dir.path() / "sans-index" / "autre.kshtml", "x\n");
  r = cli("build famille.ged --template ./sans-index");
  EXPECT_EQ(r.code, 2);
  EXPECT_NE(r.err.find("index.kshtml"), std::string::npos) << r.err;

  r = cli("build absent.ged --template ./modele-test");
  EXPECT_NE(r.code, 0);
  EXPECT_FALSE(fs::exists(dir.path() / "site"));

  writeFile(dir.path() / "fichier", "x");
  r = cli("build famille.ged --template ./modele-test --out fichier/site");
  EXPECT_EQ(r.code, 1);
  EXPECT_NE(r.err.find("Impossible de cr\xC3\xA9"
                       "er le dossier fichier/site : un \xC3\xA9l\xC3\xA9ment du chemin est un "
                       "fichier.\n"),
            std::string::npos)
      << r.err;

  EXPECT_EQ(cli("build").code, 2);
  EXPECT_EQ(cli("build famille.ged --bizarre").code, 2);
  EXPECT_EQ(cli("build famille.ged --out").code, 2);
  EXPECT_EQ(cli("build famille.ged --capacity 0").code, 2);
  for (const char* jobs : {"0", "257", "2x", ""}) {
    r = cli(std::string("build famille.ged --jobs '") + jobs + "'");
    EXPECT_EQ(r.code, 2) << jobs;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')),
              std::string("Nombre de pages en m\xC3\xAAme temps invalide : ") + jobs +
                  " (de 1 \xC3\xA0 256).");
  }
  EXPECT_FALSE(fs::exists(dir.path() / "site"));
}

// The reference person of the numbers: the first of the file by default, else the one --root
// names by pointer (letter case ignored) or number; an unknown one builds nothing.
TEST_F(CmdBuild, RootOfTheSosaNumbers) {
  fs::create_directory(dir.path() / "numeros");
  writeFile(dir.path() / "numeros" / "index.kshtml",
            "#\n$x = champ(1,\"<Sosa>/<Aboville>\")\n$y = champ(2,\"<Sosa>/<Aboville>\")\n"
            "$z = champ(3,\"<Sosa>/<Aboville>\")\necho \"$x;$y;$z\"\n#\n");
  const struct {
    const char* root;
    const char* page;  // Jean, Marie, then their son Pierre
  } cases[] = {
      {"", "1/1;/;/1.1"},
      {" --root @I3@", "2/;3/;1/1"},
      {" --root @i3@", "2/;3/;1/1"},
      {" --root 2", "/;1/1;/1.1"},
  };
  for (const auto& c : cases) {
    CliRun r = cli(std::string("build famille.ged --template ./numeros") + c.root);
    EXPECT_EQ(r.code, 0) << r.err;
    EXPECT_EQ(readFile(dir.path() / "site" / "index.html"), std::string(c.page) + "\r\n\r\n")
        << c.root;
  }
  fs::remove_all(dir.path() / "site");
  for (const char* root : {"@I9@", "4", "0", "x"}) {
    CliRun r = cli(std::string("build famille.ged --template ./numeros --root ") + root);
    EXPECT_EQ(r.code, 2) << root;
    EXPECT_NE(r.err.find(std::string("Personne de r\xC3\xA9"
                                     "f\xC3\xA9rence inconnue : ") +
                         root + " : aucun site construit.\n"),
              std::string::npos)
        << r.err;
  }
  EXPECT_EQ(cli("build famille.ged --root").code, 2);
  EXPECT_FALSE(fs::exists(dir.path() / "site"));
}

// A person born in 1990 counts as living: by default the name stays and the rest goes.
TEST_F(CmdBuild, LivingPersonsByMode) {
  for (const char* born : {"1990", "1915"})
    writeFile(dir.path() / (std::string("ne-") + born + ".ged"),
              std::string("0 HEAD\r\n1 CHAR ASCII\r\n0 @I1@ INDI\r\n1 NAME Luc /DUPONT/\r\n"
                          "1 BIRT\r\n2 DATE 3 MAR ") +
                  born + "\r\n2 PLAC Brest\r\n0 TRLR\r\n");
  const struct {
    const char* born;
    const char* option;
    const char* page;
  } cases[] = {
      {"1990", "", "DUPONT  \r\n\r\n"},
      {"1990", "--living hide", "DUPONT  \r\n\r\n"},
      {"1990", "--living anonymous", "DUPONT  \r\n\r\n"},
      {"1990", "--living publish", "DUPONT 3/3/1990 Brest\r\n\r\n"},
      {"1915", "", "DUPONT 3/3/1915 Brest\r\n\r\n"},
      {"1915", "--living-years 120", "DUPONT  \r\n\r\n"},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir.path() / "s");
    CliRun r = cli(std::string("build ne-") + c.born + ".ged --template ./modele-test --out s " +
                   c.option);
    EXPECT_EQ(r.code, 0) << c.option << r.err;
    EXPECT_EQ(readFile(dir.path() / "s/p_id_1.html"), c.page) << c.option;
  }
  const struct {
    const char* option;
    const char* message;
  } refused[] = {
      {"--living masquer", "Valeur inconnue pour --living : masquer (hide, anonymous ou publish)."},
      {"--living-years 30",
       "Nombre d'ann\xC3\xA9"
       "es invalide pour --living-years : 30 (de 40 \xC3\xA0 150)."},
  };
  for (const auto& c : refused) {
    CliRun r = cli(std::string("build ne-1990.ged --template ./modele-test --out s ") + c.option);
    EXPECT_EQ(r.code, 2);
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.message);
  }
}

TEST_F(CmdBuild, TheNumberOfThreadsLeavesTheSiteAsItIs) {
  ASSERT_EQ(cli("build famille.ged --template ./modele-test --out un --jobs 1").code, 0);
  CliRun r = cli("build famille.ged --template ./modele-test --out trois --jobs 3");
  EXPECT_EQ(r.code, 0) << r.err;
  for (const char* page : {"index.html", "p_id_1.html", "p_id_2.html", "p_id_3.html"})
    EXPECT_EQ(readFile(dir.path() / "trois" / page), readFile(dir.path() / "un" / page)) << page;
}

// Media come only from the GEDCOM file's folder and those added; a refusal is a line, not a
// failure.
TEST_F(CmdBuild, MediaFoldersAndSizeLimit) {
  const std::string jpg = "\xFF\xD8\xFF\xE0";
  fs::create_directories(dir.path() / "arbre/photos");
  fs::create_directories(dir.path() / "photos-famille");
  writeFile(dir.path() / "arbre/photos/a.jpg", jpg + "A");
  writeFile(dir.path() / "arbre/grande.jpg", jpg + std::string(1 << 20, 'g'));
  writeFile(dir.path() / "photos-famille/b.jpg", jpg + "B");
  writeFile(dir.path() / "arbre/arbre.ged",
            "0 HEAD\r\n1 CHAR ASCII\r\n0 @I1@ INDI\r\n1 NAME Jean /DUPONT/\r\n1 DEAT\r\n"
            "1 OBJE\r\n2 FILE photos/a.jpg\r\n1 OBJE\r\n2 FILE ../photos-famille/b.jpg\r\n"
            "1 OBJE\r\n2 FILE grande.jpg\r\n1 OBJE\r\n2 FILE /etc/passwd\r\n0 TRLR\r\n");
  const std::string outside = "Photo hors des dossiers autoris\xC3\xA9s : ";
  // These pictures are a few bytes: each also gets a line saying it could not be reduced.
  const struct {
    std::string options, copied;
    std::vector<std::string> lines;
  } cases[] = {
      {"",
       "Photos copi\xC3\xA9"
       "es : 2\n",
       {outside + "../photos-famille/b.jpg\n", outside + "/etc/passwd\n"}},
      {"--media-dir photos-famille --media-max-mb 1",
       "Photos copi\xC3\xA9"
       "es : 2\n",
       {"Photo trop grande (plus de 1 Mo) : grande.jpg\n", outside + "/etc/passwd\n"}},
  };
  for (const auto& c : cases) {
    fs::remove_all(dir.path() / "s");
    CliRun r = cli("build arbre/arbre.ged --template ./modele-test --out s " + c.options);
    EXPECT_EQ(r.code, 0) << c.options << r.err;
    EXPECT_NE(r.out.find(c.copied), std::string::npos) << c.options << r.out;
    for (const std::string& line : c.lines)
      EXPECT_NE(r.err.find(line), std::string::npos) << c.options << r.err;
  }
  for (const char* bad : {"--media-max-mb 0", "--media-max-mb 2x", "--media-dir absent"}) {
    CliRun r = cli(std::string("build arbre/arbre.ged --template ./modele-test --out s ") + bad);
    EXPECT_EQ(r.code, 2) << bad;
    EXPECT_NE(r.err.find(bad[8] == 'm' ? "Taille maximale des photos invalide : "
                                       : "Dossier des photos introuvable : absent."),
              std::string::npos)
        << r.err;
  }
}

TEST_F(CmdBuild, CtrlCDuringTheGenerationStopsItAndExitsNonZero) {
  ASSERT_TRUE(lignado::bench::WriteTree((dir.path() / "arbre.ged").string(), 3000));
  const fs::path site = dir.path() / "site";
  const std::string tpl = std::string(LIGNADO_SOURCE_DIR) + "/modele/classique";
  const pid_t pid = fork();
  ASSERT_GE(pid, 0);
  if (pid == 0) {
    if (chdir(dir.path().c_str()) != 0 || !freopen("err.txt", "w", stderr) ||
        !freopen("out.txt", "w", stdout))
      _exit(99);
    execl(LIGNADO_CLI, LIGNADO_CLI, "build", "arbre.ged", "--template", tpl.c_str(), "--out",
          "site", static_cast<char*>(nullptr));
    _exit(98);
  }
  // Wait for the first page, then hold the program still while Ctrl-C arrives, so that it sees
  // the interruption with most of the site still to write.
  auto pageWritten = [&] {
    std::error_code ec;
    for (fs::directory_iterator it(site, ec), end; !ec && it != end; it.increment(ec))
      if (it->path().extension() == ".html") return true;
    return false;
  };
  int status = 0;
  bool exited = false;
  while (!pageWritten() && !(exited = waitpid(pid, &status, WNOHANG) == pid)) usleep(1000);
  ASSERT_FALSE(exited) << readFile(dir.path() / "err.txt");
  kill(pid, SIGSTOP);
  kill(pid, SIGINT);
  kill(pid, SIGCONT);
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 130);
  EXPECT_NE(readFile(dir.path() / "err.txt")
                .find("Cr\xC3\xA9"
                      "ation des pages interrompue : le site n'est pas complet."),
            std::string::npos);
  EXPECT_EQ(readFile(dir.path() / "out.txt"), "");
}
