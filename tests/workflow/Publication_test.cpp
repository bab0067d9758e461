#include "workflow/Publication.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "TestSupport.h"
#include "ftp/FtpTestServer.h"
#include "ftp/UploadMarks.h"
#include "ftp/WinInetControl.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

const char kFamily[] =
    "0 HEAD\r\n1 CHAR ANSEL\r\n"
    "0 @I1@ INDI\r\n1 NAME Jean /Dupont/\r\n1 BIRT\r\n2 DATE 12 MAY 1850\r\n1 FAMS @F1@\r\n"
    "0 @I2@ INDI\r\n1 NAME Marie /Martin/\r\n1 FAMS @F1@\r\n"
    "0 @I3@ INDI\r\n1 NAME Pierre /Dupont/\r\n1 FAMC @F1@\r\n"
    "0 @F1@ FAM\r\n1 HUSB @I1@\r\n1 WIFE @I2@\r\n1 CHIL @I3@\r\n1 MARR\r\n0 TRLR\r\n";

// A template whose home page links one page per person of a list text, so that a test can
// change what is generated.
void writeTemplate(const fs::path& tpl, const std::string& persons) {
  fs::create_directories(tpl);
  writeFile(tpl / "index.kshtml",
            "#\n$t = \"" + persons + "\"\necho evalue($t, include(\"ligne\"))\n#\n");
  writeFile(tpl / "ligne.kshtml", "#\necho \"<a href=\"p|id=$1\">$1</a>\"\n#\n");
  writeFile(tpl / "p.kshtml", "#\necho champ($id, \"<nom> <pr\xE9nom>\")\n#\n");
}

class Publication : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(ged(), kFamily);
    ImportOutcome w = ImportForPublication(ged(), {}, nullptr);
    ASSERT_FALSE(w.result.failed) << w.failure;
    db = std::move(w.db);
  }
  std::string ged() const { return (dir.path() / "famille.ged").string(); }
  GenerateOutcome generate(const std::string& persons) {
    writeTemplate(tpl, persons);
    return GeneratePublication(*db, tpl, site, nullptr);
  }

  TempDir dir;
  std::unique_ptr<TBD> db;
  fs::path tpl = dir.path() / "modele" / "essai";
  fs::path site = dir.path() / "site";
};

TEST_F(Publication, ImportCountsPersonLinesAndWhatAFullPoolKeptOut) {
  ImportOptions small;
  small.capacity = 2;
  test::RecordingHost host;
  ImportOutcome w = ImportForPublication(ged(), small, &host, std::move(db));
  EXPECT_FALSE(w.result.failed);
  EXPECT_EQ(w.db->Capacity(), 2);
  EXPECT_EQ(std::vector<int32_t>({w.persons, w.unions, w.events, w.sources}),
            std::vector<int32_t>({2, 1, 2, 0}));
  EXPECT_EQ(w.dropped,
            "Base pleine (capacit\xE9 2) : 1 personne, 0 union et 0 \xE9v\xE9nement n'ont pas pu "
            "\xEAtre enregistr\xE9s.");
  EXPECT_EQ(PersonLines(*w.db), (std::vector<std::string>{"DUPONT Jean", "MARTIN Marie"}));
  EXPECT_FALSE(host.statuses.empty());

  // The same database, emptied: nothing of the earlier import is left.
  TBD* same = w.db.get();
  writeFile(ged(), "0 HEAD\r\n0 @I1@ INDI\r\n1 NAME Anne /Le Gall/\r\n0 TRLR\r\n");
  w = ImportForPublication(ged(), small, nullptr, std::move(w.db));
  EXPECT_EQ(w.db.get(), same);
  EXPECT_EQ(PersonLines(*w.db), std::vector<std::string>{"LE GALL Anne"});
  EXPECT_EQ(w.unions, 0);
  EXPECT_EQ(w.dropped, "");

  w = ImportForPublication((dir.path() / "absent.ged").string(), {}, nullptr);
  EXPECT_TRUE(w.result.failed);
  EXPECT_TRUE(w.nothingRead());
  EXPECT_EQ(w.failure,
            "Impossible de lire le fichier " + dir.str() + "absent.ged : il n'existe pas.");
}

TEST_F(Publication, TemplatesAreListedOnceAndFoundWithoutRegardToCase) {
  fs::path a = dir.path() / "a", b = dir.path() / "b";
  for (fs::path p : {a / "classique", a / "Parchemin", a / ".cache", b / "CLASSIQUE",
                     b / "z\xC3\xA8"
                         "bre"})
    fs::create_directories(p);
  writeFile(a / "notes.txt", "pas un mod\xE8le");
  std::vector<TemplateChoice> list = ListTemplates({a, b, dir.path() / "absent"});
  EXPECT_EQ(TemplateNames(list),
            "classique, Parchemin, z\xE8"
            "bre");
  EXPECT_EQ(list[0].folder, a / "classique");

  struct Case {
    std::string typed;
    std::optional<fs::path> found;
  } cases[] = {
      {"PARCHEMIN", a / "Parchemin"},
      {"classique", a / "classique"},
      {"Z\xC3\x88"
       "BRE",
       b / "z\xC3\xA8"
           "bre"},
      {"absent", std::nullopt},
      {"", std::nullopt},
      {(b / "CLASSIQUE").string(), b / "CLASSIQUE"},  // a path is taken as it stands
      {(b / "classique").string(), std::nullopt},
  };
  for (const Case& c : cases) EXPECT_EQ(FindTemplate(c.typed, {a, b}), c.found) << c.typed;

  EXPECT_FALSE(HasHomePage(a / "classique"));
  writeFile(a / "classique" / "Index.kshtml", "x\n");
  EXPECT_TRUE(HasHomePage(a / "classique"));
}

TEST_F(Publication, DestinationAndRemoteRoot) {
  struct Case {
    std::string base;
    Destine kind;
    bool sub;
    std::string folder;
  } cases[] = {
      {"/d", Destine::Web, true, "/d/Internet/"},
      {"/d/", Destine::CD, true, "/d/A graver/"},
      {"/d", Destine::CD, false, "/d/"},
      {"/d", Destine::None, true, "/d/"},
      {"", Destine::Web, true, ""},
  };
  for (const Case& c : cases) EXPECT_EQ(ExportFolder(c.base, c.kind, c.sub), c.folder) << c.base;

  EXPECT_EQ(RemoteRoot("www", "lignado"), "/www/lignado");
  EXPECT_EQ(RemoteRoot("www", ""), "/www");
  EXPECT_EQ(RemoteRoot("", "lignado"), "//lignado");

  FolderOutcome made = MakeExportFolder(dir.path() / "x" / "A graver");
  EXPECT_TRUE(made.ok);
  EXPECT_TRUE(fs::is_directory(dir.path() / "x" / "A graver"));
  made = MakeExportFolder(dir.path() / "famille.ged" / "site");
  EXPECT_FALSE(made.ok);
  EXPECT_EQ(made.reason, "un \xE9l\xE9ment du chemin est un fichier");
}

TEST_F(Publication, PagesOfAnEarlierBuildGoUnlessTheUserChangedThem) {
  ASSERT_TRUE(MakeExportFolder(site).ok);
  GenerateOutcome g = generate("1|2|3");
  ASSERT_TRUE(g.done) << g.failure;
  EXPECT_EQ(g.pagesWritten, 4);
  EXPECT_EQ(g.staleRemoved, 0);
  EXPECT_EQ(g.StaleText(), "");
  EXPECT_EQ(readFile(site / "p_id_2.html"), "MARTIN Marie\r\n\r\n");

  writeFile(site / "photo.jpg", "de l'utilisateur");
  writeFile(site / "p_id_3.html", "modifi\xE9 \xE0 la main");
  writeFile(site / "p_id_9.html", "de l'utilisateur, au nom d'une page");
  g = generate("1");
  ASSERT_TRUE(g.done);
  EXPECT_EQ(g.pagesWritten, 2);
  EXPECT_EQ(g.staleRemoved, 1);
  EXPECT_EQ(g.StaleText(),
            "1 page d'une g\xE9n\xE9ration pr\xE9"
            "c\xE9"
            "dente supprim\xE9"
            "e");
  EXPECT_FALSE(fs::exists(site / "p_id_2.html"));
  EXPECT_EQ(readFile(site / "p_id_3.html"), "modifi\xE9 \xE0 la main");
  EXPECT_TRUE(fs::exists(site / "photo.jpg"));
  EXPECT_TRUE(fs::exists(site / "p_id_9.html"));

  // The page the user changed is theirs now: no later build removes it, until a build writes
  // it again.
  g = generate("1");
  EXPECT_EQ(g.staleRemoved, 0);
  EXPECT_EQ(readFile(site / "p_id_3.html"), "modifi\xE9 \xE0 la main");
  generate("2|3");
  g = generate("1");
  EXPECT_EQ(g.staleRemoved, 2);
  EXPECT_EQ(g.StaleText(),
            "2 pages d'une g\xE9n\xE9ration pr\xE9"
            "c\xE9"
            "dente supprim\xE9"
            "es");
  EXPECT_FALSE(fs::exists(site / "p_id_2.html"));
  EXPECT_FALSE(fs::exists(site / "p_id_3.html"));
  EXPECT_TRUE(fs::exists(site / "photo.jpg"));

  // A list that names something outside the destination or a folder, or ends in an unfinished
  // line, removes nothing, even with the right size and time.
  fs::create_directories(site / "dossier.html");
  writeFile(dir.path() / "dehors.html", "x");
  auto line = [](const fs::path& file, const std::string& name) {
    FileStamp s;
    UploadMarks::StampOf(file.string(), s);
    return std::to_string(s.size) + " " + std::to_string(s.mtimeNs) + " " + name;
  };
  writeFile(site / kStaleListName, line(dir.path() / "dehors.html", "../dehors.html") + "\n" +
                                       line(site / "dossier.html", "dossier.html") + "\n" +
                                       line(site / "photo.jpg", "photo.jpg"));
  g = generate("1");
  EXPECT_EQ(g.staleRemoved, 0);
  EXPECT_TRUE(fs::exists(dir.path() / "dehors.html"));
  EXPECT_TRUE(fs::is_directory(site / "dossier.html"));
  EXPECT_TRUE(fs::exists(site / "photo.jpg"));
}

TEST_F(Publication, ADestinationThatIsNoFolderIsAFailure) {
  writeFile(site, "un fichier");
  GenerateOutcome g = generate("1");
  EXPECT_FALSE(g.done);
  EXPECT_EQ(g.failure, "La destination " + site.string() + " n'est pas un dossier : aucune page.");
  EXPECT_EQ(readFile(site), "un fichier");
}

// A database without any person never replaces a site: nothing in the destination changes.
TEST_F(Publication, ADatabaseWithoutPersonsIsRefused) {
  ASSERT_TRUE(MakeExportFolder(site).ok);
  ASSERT_TRUE(generate("1|2|3").done);
  const std::string index = readFile(site / "index.html"), list = readFile(site / kStaleListName);
  TBD empty;
  GenerateOutcome g = GeneratePublication(empty, tpl, site, nullptr);
  EXPECT_FALSE(g.done);
  EXPECT_EQ(g.failure, "Aucune personne \xE0 publier");
  EXPECT_EQ(g.pagesWritten + g.staleRemoved, 0);
  EXPECT_EQ(readFile(site / "index.html"), index);
  EXPECT_EQ(readFile(site / kStaleListName), list);
  EXPECT_TRUE(fs::exists(site / "p_id_3.html"));
}

TEST_F(Publication, TheWholeRoadEndsOnTheServer) {
  TempDir served;
  test::FtpTestServer server(served.path());
  ASSERT_TRUE(server.running()) << server.error();
  fs::path dest = ExportFolder(site.string(), Destine::Web, true);
  ASSERT_TRUE(MakeExportFolder(dest).ok);
  writeTemplate(tpl, "1|2");
  ASSERT_TRUE(GeneratePublication(*db, tpl, dest, nullptr).done);

  UploadRequest request;
  request.host = "127.0.0.1";
  request.port = server.port();
  request.user = test::kFtpUser;
  request.password = test::kFtpPassword;
  request.remoteRoot = RemoteRoot("www", "lignado");
  request.localFolder = dest;
  struct Seen : TFtpObserver {
    std::vector<std::string> lines;
    void LogLine(const std::string& l) override { lines.push_back(l); }
  } seen;
  UploadOutcome sent = UploadPublication(request, &seen);
  EXPECT_TRUE(sent.ok);
  EXPECT_EQ(sent.filesSent, 4);  // the home page, two pages and robots.txt
  EXPECT_EQ(sent.lines.front(), "Connexion...");
  EXPECT_EQ(sent.lines.back(), "Transfert termin\xE9");
  EXPECT_EQ(seen.lines, sent.lines);
  EXPECT_EQ(sent.Message(),
            "L'envoi est termin\xE9. Cette g\xE9n\xE9"
            "alogie est maintenant visible sur internet.");
  EXPECT_EQ(test::treeDifferences(dest, served.path() / "www" / "lignado"), "");

  // Removed on the server: only a check of the server sends it again, with the user's own file
  // named first.
  fs::remove(served.path() / "www/lignado/index.html");
  writeFile(dest / "notes.txt", "mes notes");
  request.verify = true;
  sent = UploadPublication(request, nullptr);
  EXPECT_TRUE(sent.ok);
  EXPECT_EQ(sent.filesSent, 2);
  EXPECT_EQ(sent.lines.front(),
            "1 fichier qui ne vient pas de la g\xE9n\xE9ration sera envoy\xE9 : notes.txt");
  EXPECT_EQ(test::treeDifferences(dest, served.path() / "www" / "lignado"), "");
  request.verify = false;
  fs::remove(dest / "notes.txt");

  request.password = "mauvais";
  sent = UploadPublication(request, nullptr);
  EXPECT_FALSE(sent.connected);
  EXPECT_FALSE(sent.ok);
  EXPECT_EQ(sent.lines, (std::vector<std::string>{"Connexion...", "Erreur: Connexion impossible",
                                                  "Raison: 530 Authentication failed."}));
  EXPECT_TRUE(sent.loginRefused);
  EXPECT_EQ(sent.Message(),
            "Identifiant ou mot de passe refus\xE9 par le serveur\r\n530 Authentication failed.");
}

TEST_F(Publication, FilesTheGenerationDidNotWriteAreCountedAndNamed) {
  EXPECT_EQ(DestinationState(site), FolderState::Missing);
  fs::create_directories(site);
  EXPECT_EQ(DestinationState(site), FolderState::Empty);
  test::putFile(site / "impots/2023.pdf", "x");
  EXPECT_EQ(DestinationState(site), FolderState::Other);
  EXPECT_EQ(ForeignFiles(site), (std::vector<std::string>{"impots/2023.pdf"}));
  ASSERT_TRUE(generate("1|2").done);
  EXPECT_EQ(DestinationState(site), FolderState::Generated);
  // Never sent, so never counted: dot-names and links.
  test::putFile(site / ".ssh/id_rsa", "cle");
  fs::create_directory_symlink(site / ".ssh", site / "cles");
  fs::create_symlink(site / "impots/2023.pdf", site / "lien.pdf");
  EXPECT_EQ(ForeignFiles(site), (std::vector<std::string>{"impots/2023.pdf"}));

  const std::string many =
      " fichiers qui ne viennent pas de la g\xE9n\xE9ration seront envoy\xE9s : ";
  const struct {
    std::vector<std::string> files;
    std::string line;
  } cases[] = {
      {{}, ""},
      {{"a.txt"}, "1 fichier qui ne vient pas de la g\xE9n\xE9ration sera envoy\xE9 : a.txt"},
      {{"b", "\xC3\xA9t\xC3\xA9.pdf"}, "2" + many + "b, \xE9t\xE9.pdf"},
      {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10"},
       "10" + many + "1, 2, 3, 4, 5, 6, 7, 8, 9, 10"},
      {{"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"},
       "12" + many + "1, 2, 3, 4, 5, 6, 7, 8, 9, 10, \x85"},
  };
  for (const auto& c : cases) EXPECT_EQ(ForeignFilesLine(c.files), c.line);
}

}  // namespace
}  // namespace lignado
