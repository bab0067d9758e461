#include "ftp/qorvFTP.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <memory>
#include <sstream>
#include <thread>

#include "TestSupport.h"
#include "ftp/FtpRecorder.h"
#include "ftp/FtpTestServer.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::FtpServerOptions;
using test::FtpTestServer;
using test::TempDir;
using Lines = std::vector<std::string>;

class Upload : public ::testing::Test {
 protected:
  void SetUp() override { startServer({}); }
  void startServer(const FtpServerOptions& o) {
    server_ = std::make_unique<FtpTestServer>(served(), o);
    ASSERT_TRUE(server_->running()) << server_->error();
  }
  // A connected uploader whose log goes to log_.
  std::unique_ptr<TqorvFtp> uploader() {
    auto ftp = std::make_unique<TqorvFtp>(&owner_);
    ftp->Port = server_->port();
    ftp->SetConnectTimeout(3000);
    ftp->SetReceiveTimeout(3000);
    EXPECT_TRUE(ftp->ConnectTo("127.0.0.1", test::kFtpUser, test::kFtpPassword));
    return ftp;
  }
  // Uploads with a fresh uploader and returns the log lines of the walk alone.
  Lines upload(const std::string& remoteRoot, bool expected = true) {
    auto ftp = uploader();
    log_.clear();
    EXPECT_EQ(ftp->UploadTree(remoteRoot, site()), expected);
    return log_;
  }
  fs::path served() const { return served_.path(); }
  std::string site() const { return local_.str(); }  // with its trailing "/", as the wizard's
  fs::path sitePath() const { return local_.path(); }

  TempDir served_, local_;
  std::unique_ptr<FtpTestServer> server_;
  test::FtpRecorder owner_;
  Lines& log_ = owner_.log;
};

const Lines kFullSite = {
    "OK: index.html",
    "OK: liste.html",
    "OK: personne-1.html",
    "OK: top.html",
    "OK: leaf.html",
    "OK: deep.html",
    "OK: site.css",
    "OK: fond.png",
    "OK: photo.jpg",
    "OK: rien.txt",
    "Envoi de 10 fichiers termin\xE9",
};

TEST_F(Upload, SendsTheWholeTreeThenNothing) {
  test::makeSite(sitePath());
  auto ftp = uploader();
  EXPECT_EQ(log_, (Lines{"Connexion...", "Connect\xE9"}));
  log_.clear();
  ASSERT_TRUE(ftp->UploadTree("/www/lignado", site()));
  EXPECT_EQ(log_, kFullSite);
  EXPECT_EQ(ftp->FilesSent, 10);
  EXPECT_TRUE(ftp->Stopped);  // the upload is over
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www/lignado"), "");
  EXPECT_TRUE(fs::is_directory(served() / "www/lignado/tout-vide"));

  // Nothing changed: nothing to send.
  ASSERT_TRUE(ftp->UploadTree("/www/lignado", site()));
  EXPECT_EQ(ftp->FilesSent, 0);
  EXPECT_EQ(upload("/www/lignado"), (Lines{"Envoi de 0 fichiers termin\xE9"}));

  // One page written again: only that one goes.
  test::putFile(sitePath() / "a/b/leaf.html", "nouvelle version");
  EXPECT_EQ(upload("/www/lignado"), (Lines{"OK: leaf.html", "Envoi de 1 fichiers termin\xE9"}));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www/lignado"), "");

  // Another destination has received nothing yet.
  EXPECT_EQ(upload("//autre"), kFullSite);
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "autre"), "");

  // Back to the first: it still has everything.
  EXPECT_EQ(upload("/www/lignado"), (Lines{"Envoi de 0 fichiers termin\xE9"}));

  // A root typed with a trailing "/" that does not exist yet is made, not reported as failed.
  EXPECT_EQ(upload("/neuf/"), kFullSite);
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "neuf"), "");
}

TEST_F(Upload, EmptyFolderAndMissingFolder) {
  fs::create_directories(served() / "www");
  EXPECT_EQ(upload("/www"), (Lines{"Envoi de 0 fichiers termin\xE9"}));
  fs::remove_all(sitePath());
  EXPECT_EQ(upload("/www", false),
            (Lines{"Erreur: Impossible de lire le dossier \"" + site() + "\"",
                   "Envoi inachev\xE9 : 0 fichiers envoy\xE9s, 1 \xE9"
                   "chec"}));
}

TEST_F(Upload, RemoteRootThatCannotBeMadeEndsAtOnce) {
  FtpServerOptions o;
  o.refuse = {"interdit"};
  startServer(o);
  test::makeSite(sitePath());
  EXPECT_EQ(upload("/interdit", false),
            (Lines{"Erreur: Impossible de se placer dans le dossier \"/interdit\"",
                   "Raison: 550 Permission denied."}));
  EXPECT_FALSE(fs::exists(sitePath() / UploadMarks::kFileName));
}

TEST_F(Upload, RefusedSubFolderKeepsItsFilesMarkedAndSiblingsGo) {
  FtpServerOptions o;
  o.refuse = {"b"};
  startServer(o);
  test::makeSite(sitePath());
  EXPECT_EQ(upload("/www", false),
            (Lines{"OK: index.html", "OK: liste.html", "OK: personne-1.html", "OK: top.html",
                   "Erreur: Impossible de cr\xE9"
                   "er le dossier \"/www/a/b\"",
                   "Raison: 550 Permission denied.", "OK: site.css", "OK: fond.png",
                   "OK: photo.jpg", "OK: rien.txt",
                   "Envoi inachev\xE9 : 8 fichiers envoy\xE9s, 1 \xE9"
                   "chec"}));
  EXPECT_FALSE(fs::exists(served() / "www/a/b"));
  EXPECT_EQ(test::fileBytes(served() / "www/css/site.css"),
            test::fileBytes(sitePath() / "css/site.css"));

  // The server now accepts it: exactly the two files left behind are sent.
  FtpServerOptions same;
  same.port = server_->port();
  server_.reset();
  startServer(same);
  EXPECT_EQ(upload("/www"),
            (Lines{"OK: leaf.html", "OK: deep.html", "Envoi de 2 fichiers termin\xE9"}));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, StopDuringAFileLetsItFinish) {
  test::makeSite(sitePath());
  test::putFile(sitePath() / "liste.html", test::patterned(3 * 1024 * 1024, 9));
  auto ftp = uploader();
  log_.clear();
  owner_.onProgress = [&](const TFTPProgressInfo& p) {
    if (p.FileName == "liste.html" && p.BytesSent < p.FileSize) ftp->Stopped = true;
  };
  EXPECT_FALSE(ftp->UploadTree("/www", site()));
  EXPECT_EQ(log_, (Lines{"OK: index.html", "OK: liste.html", "Envoi de 2 fichiers termin\xE9",
                         "Envoi stopp\xE9"}));
  EXPECT_TRUE(ftp->Stopped);
  EXPECT_EQ(test::fileBytes(served() / "www/liste.html"),
            test::fileBytes(sitePath() / "liste.html"));
  owner_.onProgress = nullptr;
  EXPECT_EQ(upload("/www").size(), 9u);  // the other 8 and the count line
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, StopAskedWhileMessagesAreProcessedEndsBetweenFiles) {
  test::makeSite(sitePath());
  auto ftp = uploader();
  log_.clear();
  // The owner's stop button is seen the next time the uploader lets it process messages.
  bool clicked = false;
  owner_.onLog = [&](const std::string& line) { clicked = clicked || line == "OK: index.html"; };
  owner_.onProcess = [&] {
    if (clicked) ftp->Stopped = true;
  };
  EXPECT_FALSE(ftp->UploadTree("/www", site()));
  EXPECT_EQ(log_, (Lines{"OK: index.html", "Envoi de 1 fichiers termin\xE9", "Envoi stopp\xE9"}));
}

TEST_F(Upload, ServerKilledMidUploadThenResumed) {
  test::makeSite(sitePath());
  for (int i = 1; i <= 3; ++i)
    test::putFile(sitePath() / ("gros/g" + std::to_string(i) + ".bin"),
                  test::patterned(4 * 1024 * 1024, 20 + i));
  auto ftp = uploader();
  log_.clear();
  owner_.onProgress = [&](const TFTPProgressInfo& p) {
    if (p.FileName == "g2.bin" && p.BytesSent > 1024 * 1024) server_->stop();
  };
  EXPECT_FALSE(ftp->UploadTree("/www", site()));
  // The one reconnection finds nobody; then every later folder fails at its first file.
  EXPECT_EQ(log_, (Lines{"OK: index.html", "OK: liste.html", "OK: personne-1.html", "OK: top.html",
                         "OK: leaf.html", "OK: deep.html", "OK: site.css", "OK: g1.bin",
                         "Connexion perdue: reconnexion...", "Erreur: Connexion impossible",
                         "Raison: connexion refus\xE9"
                         "e",
                         "Erreur: Envoi de \"g2.bin\" a echou\xE9", "Raison: connexion perdue",
                         "Erreur: Envoi de \"fond.png\" a echou\xE9", "Raison: pas de connexion",
                         "Erreur: Envoi de \"rien.txt\" a echou\xE9", "Raison: pas de connexion",
                         "Envoi inachev\xE9 : 8 fichiers envoy\xE9s, 3 \xE9"
                         "checs"}));
  // Nothing arrived under its final name unless whole.
  EXPECT_FALSE(fs::exists(served() / "www/gros/g2.bin"));

  // Every file recorded as sent arrived whole.
  UploadMarks marks;
  marks.Open(site(), UploadMarks::Destination("127.0.0.1", server_->port(), "/www"));
  int recorded = 0;
  for (auto& e : fs::recursive_directory_iterator(sitePath())) {
    if (!e.is_regular_file() || e.path().filename().string()[0] == '.') continue;
    std::string rel = fs::relative(e.path(), sitePath()).string();
    FileStamp s;
    std::string hash;
    ASSERT_TRUE(UploadMarks::StampOf(e.path().string(), s));
    ASSERT_TRUE(UploadMarks::ContentHash(e.path().string(), hash));
    if (marks.IsMarked(rel, s, hash)) continue;
    ++recorded;
    EXPECT_EQ(test::fileBytes(served() / "www" / rel), test::fileBytes(e.path())) << rel;
  }
  EXPECT_EQ(recorded, 8);

  // The server is back on the same port: the piece of g2.bin goes, and exactly the other 5
  // files.
  owner_.onProgress = nullptr;
  ASSERT_TRUE(server_->start()) << server_->error();
  EXPECT_EQ(upload("/www"), (Lines{"Supprim\xE9: gros/.lignado-part-g2.bin", "OK: g2.bin",
                                   "OK: g3.bin", "OK: fond.png", "OK: photo.jpg", "OK: rien.txt",
                                   "Envoi de 5 fichiers termin\xE9"}));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, UploaderKilledMidUploadResumes) {
  auto files = test::makeSite(sitePath());
  test::putFile(sitePath() / "zz-gros.bin", test::patterned(2 * 1024 * 1024, 31));
  int pipeFds[2];
  ASSERT_EQ(::pipe2(pipeFds, O_CLOEXEC), 0);
  OwnedFd readEnd(pipeFds[0]), writeEnd(pipeFds[1]);
  pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    // The uploader: it tells the test when it is inside the fourth file, then waits to die.
    readEnd.reset();
    test::FtpRecorder owner;
    TqorvFtp ftp(&owner);
    ftp.Port = server_->port();
    ftp.SetConnectTimeout(5000);
    ftp.SetReceiveTimeout(5000);
    owner.onProgress = [&](const TFTPProgressInfo&) {
      if (ftp.FilesSent == 3) {
        (void)!::write(writeEnd.get(), "k", 1);
        ::sleep(60);
      }
    };
    if (ftp.ConnectTo("127.0.0.1", test::kFtpUser, test::kFtpPassword))
      ftp.UploadTree("/www", site());
    ::_exit(0);
  }
  writeEnd.reset();
  pollfd p{readEnd.get(), POLLIN, 0};
  int ready = ::poll(&p, 1, 30000);
  ::kill(child, SIGKILL);  // also when it never got there: no uploader outlives the test
  int status = 0;
  ::waitpid(child, &status, 0);
  ASSERT_EQ(ready, 1);
  ASSERT_TRUE(WIFSIGNALED(status));

  // The manifest holds the three files that were accepted, and the temporary name of the
  // fourth, which is on the server in part and not under its own name.
  UploadMarks marks;
  marks.Open(site(), UploadMarks::Destination("127.0.0.1", server_->port(), "/www"));
  EXPECT_EQ(marks.SentFiles(), (Lines{"index.html", "liste.html", "personne-1.html"}));
  EXPECT_EQ(marks.Partials(), (Lines{".lignado-part-zz-gros.bin"}));
  EXPECT_TRUE(fs::exists(served() / "www/.lignado-part-zz-gros.bin"));
  EXPECT_FALSE(fs::exists(served() / "www/zz-gros.bin"));
  Lines rest = upload("/www");
  ASSERT_EQ(rest.size(), 10u);  // the piece removed, 8 files and the count line
  EXPECT_EQ(rest.front(), "Supprim\xE9: .lignado-part-zz-gros.bin");
  EXPECT_EQ(rest.back(), "Envoi de 8 fichiers termin\xE9");
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, ManifestThatCannotBeWrittenIsReportedOnceAndTheUploadGoesOn) {
  test::putFile(sitePath() / "a.html", "a");
  test::putFile(sitePath() / "b.html", "b");
  // Its temporary file cannot be made: a folder is in the way.
  fs::create_directories(sitePath() / (std::string(UploadMarks::kFileName) + ".tmp"));
  const Lines expected = {"Attention: Impossible d'enregistrer les fichiers envoy\xE9s dans \"" +
                              site() + UploadMarks::kFileName + "\"",
                          "OK: a.html", "OK: b.html", "Envoi de 2 fichiers termin\xE9"};
  EXPECT_EQ(upload("/www"), expected);
  EXPECT_FALSE(fs::exists(sitePath() / UploadMarks::kFileName));
  EXPECT_EQ(upload("/www"), expected);  // nothing recorded: everything goes again
}

TEST_F(Upload, LinksAndOddEntriesAreNeverSent) {
  test::putFile(sitePath() / "page.html", "p");
  test::putFile(sitePath() / "sous/page2.html", "q");
  test::putFile(sitePath() / ".ssh/id_rsa", "cle");
  ASSERT_EQ(::mkfifo((sitePath() / "tube").c_str(), 0600), 0);
  fs::create_directory_symlink(sitePath() / ".ssh", sitePath() / "cles");
  fs::create_directory_symlink(sitePath(), sitePath() / "sous/boucle");
  fs::create_symlink(sitePath() / "page.html", sitePath() / "lien.html");
  const Lines links = {"Lien symbolique ignor\xE9 : cles", "Lien symbolique ignor\xE9 : lien.html",
                       "Lien symbolique ignor\xE9 : sous/boucle"};
  Lines expected = links;
  expected.insert(expected.end(),
                  {"OK: page.html", "OK: page2.html", "Envoi de 2 fichiers termin\xE9"});
  EXPECT_EQ(upload("/www"), expected);
  for (const char* never : {"www/cles", "www/lien.html", "www/tube", "www/sous/boucle"})
    EXPECT_FALSE(fs::exists(served() / never)) << never;

  // A page sent before and now a link is as good as gone: removed from the server.
  fs::rename(sitePath() / "sous/page2.html", sitePath() / "page2.html");
  fs::create_symlink(sitePath() / "page2.html", sitePath() / "sous/page2.html");
  expected = links;
  expected.insert(expected.end(),
                  {"Lien symbolique ignor\xE9 : sous/page2.html", "OK: page2.html",
                   "Supprim\xE9: sous/page2.html", "Envoi de 1 fichiers termin\xE9"});
  EXPECT_EQ(upload("/www"), expected);
  EXPECT_FALSE(fs::exists(served() / "www/sous/page2.html"));
  fs::remove(sitePath() / "sous/page2.html");

  // A name FTP cannot carry fails that folder and nothing else.
  test::putFile(sitePath() / "mal\nnom.html", "x");
  test::putFile(sitePath() / "z/ok.html", "y");
  expected = links;
  expected.insert(expected.end(), {"Erreur: Envoi de \"mal\nnom.html\" a echou\xE9",
                                   "Raison: nom contenant un saut de ligne",
                                   "Envoi inachev\xE9 : 0 fichiers envoy\xE9s, 1 \xE9"
                                   "chec"});
  EXPECT_EQ(upload("/www", false), expected);
}

TEST_F(Upload, ContentDecidesWhatIsSent) {
  test::makeSite(sitePath());
  upload("/www");
  ASSERT_EQ(owner_.uploads.size(), 11u);  // the count, then after each file
  EXPECT_EQ(owner_.uploads.front().FilesToSend, 10);
  EXPECT_EQ(owner_.uploads.front().FilesDone, 0);
  EXPECT_EQ(owner_.uploads.back().FilesDone, 10);
  EXPECT_EQ(owner_.uploads.back().BytesDone, owner_.uploads.front().BytesToSend);

  // The whole site written again with the same bytes: those do not go. One page of the same
  // size with its time put back: its content changed, so it goes.
  test::makeSite(sitePath());
  fs::path page = sitePath() / "a/top.html";
  auto time = fs::last_write_time(page);
  std::string bytes = test::fileBytes(page);
  bytes[7] ^= 1;
  test::putFile(page, bytes);
  fs::last_write_time(page, time);
  owner_.uploads.clear();
  EXPECT_EQ(upload("/www"), (Lines{"OK: top.html", "Envoi de 1 fichiers termin\xE9"}));
  EXPECT_EQ(owner_.uploads.front().FilesToSend, 1);
  EXPECT_EQ(owner_.uploads.front().BytesToSend, static_cast<int64_t>(bytes.size()));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, ServerMirrorsTheSiteButKeepsWhatWeNeverSent) {
  test::makeSite(sitePath());
  fs::create_directories(served() / "www/a");  // there before us: never removed
  upload("/www");
  // The user's own files on the server, beside ours.
  test::putFile(served() / "www/images/logo-perso.png", "perso");
  test::putFile(served() / "www/mien.html", "mien");
  // Gone from the site: a page, a folder of ours, a folder that now holds the user's file,
  // and a folder that was there before us.
  fs::remove(sitePath() / "liste.html");
  fs::remove_all(sitePath() / "css");
  fs::remove_all(sitePath() / "images");
  fs::remove_all(sitePath() / "a");

  auto ftp = uploader();
  ftp->KeepRemote = true;
  log_.clear();
  EXPECT_TRUE(ftp->UploadTree("/www", site()));
  EXPECT_EQ(log_, (Lines{"Envoi de 0 fichiers termin\xE9"}));
  EXPECT_TRUE(fs::exists(served() / "www/liste.html"));

  EXPECT_EQ(upload("/www"), (Lines{"Supprim\xE9: a/b/c/deep.html", "Supprim\xE9: a/b/leaf.html",
                                   "Supprim\xE9: a/top.html", "Supprim\xE9: css/site.css",
                                   "Supprim\xE9: images/fond.png", "Supprim\xE9: images/photo.jpg",
                                   "Supprim\xE9: liste.html", "Dossier supprim\xE9: a/b/c",
                                   "Dossier supprim\xE9: a/b", "Dossier supprim\xE9: css",
                                   "Envoi de 0 fichiers termin\xE9"}));
  fs::path www = served() / "www";
  EXPECT_EQ(test::fileBytes(www / "images/logo-perso.png"), "perso");
  EXPECT_EQ(test::fileBytes(www / "mien.html"), "mien");
  EXPECT_TRUE(fs::is_directory(www / "a"));
  EXPECT_FALSE(fs::exists(www / "a/b"));
  EXPECT_FALSE(fs::exists(www / "images/photo.jpg"));
  // The folder the user's file keeps is tried again, silently, and nothing else is asked.
  EXPECT_EQ(upload("/www"), (Lines{"Envoi de 0 fichiers termin\xE9"}));
}

TEST_F(Upload, LostLinkIsReconnectedOnceAndTheRunCompletes) {
  test::makeSite(sitePath());
  test::putFile(sitePath() / "gros/g1.bin", test::patterned(4 * 1024 * 1024, 41));
  auto ftp = uploader();
  log_.clear();
  bool killed = false;
  owner_.onProgress = [&](const TFTPProgressInfo& p) {
    if (killed || p.FileName != "g1.bin" || p.BytesSent < 1024 * 1024) return;
    killed = true;
    server_->stop();
    ASSERT_TRUE(server_->start()) << server_->error();  // back at once on the same port
  };
  EXPECT_TRUE(ftp->UploadTree("/www", site()));
  EXPECT_TRUE(killed);
  EXPECT_EQ(log_,
            (Lines{"OK: index.html", "OK: liste.html", "OK: personne-1.html", "OK: top.html",
                   "OK: leaf.html", "OK: deep.html", "OK: site.css",
                   "Connexion perdue: reconnexion...", "Connect\xE9", "OK: g1.bin", "OK: fond.png",
                   "OK: photo.jpg", "OK: rien.txt", "Envoi de 11 fichiers termin\xE9"}));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, SecondStopEndsTheFileInFlight) {
  test::putFile(sitePath() / "a.html", "a");
  test::putFile(sitePath() / "b.bin", test::patterned(16 * 1024 * 1024, 51));
  auto ftp = uploader();
  log_.clear();
  // Asked once: the file goes on; asked again: it ends at once.
  owner_.onProgress = [&](const TFTPProgressInfo& p) {
    if (p.FileName != "b.bin") return;
    if (p.BytesSent >= 1024 * 1024) owner_.stop = TStopRequest::AfterThisFile;
    if (p.BytesSent >= 2 * 1024 * 1024) owner_.stop = TStopRequest::Now;
  };
  EXPECT_FALSE(ftp->UploadTree("/www", site()));
  EXPECT_EQ(log_, (Lines{"OK: a.html", "Erreur: Envoi de \"b.bin\" a echou\xE9",
                         "Raison: envoi interrompu",
                         "Envoi inachev\xE9 : 1 fichier envoy\xE9, 1 \xE9"
                         "chec",
                         "Envoi stopp\xE9"}));
  // The piece that arrived is removed at once; nothing stands under the file's own name.
  EXPECT_FALSE(fs::exists(served() / "www/b.bin"));
  EXPECT_FALSE(fs::exists(served() / "www/.lignado-part-b.bin"));
  owner_.onProgress = nullptr;
  owner_.stop = TStopRequest::None;
  EXPECT_EQ(upload("/www"), (Lines{"OK: b.bin", "Envoi de 1 fichiers termin\xE9"}));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, NamesShowAsThemselvesAndRefusedTlsIsSaid) {
  test::putFile(sitePath() / "\xCE\xA9mega.html", "o");  // Ω, outside Windows-1252
  test::putFile(sitePath() / "a&#38;b.html", "a");
  test::putFile(sitePath() / "\xE9t\xE9.html", "e");  // not UTF-8: kept as its bytes
  auto ftp = std::make_unique<TqorvFtp>(&owner_);
  ftp->Port = server_->port();
  ftp->Tls = FtpTls::Auto;
  ASSERT_TRUE(ftp->ConnectTo("127.0.0.1", test::kFtpUser, test::kFtpPassword));
  EXPECT_TRUE(ftp->UploadTree("/www", site()));
  EXPECT_EQ(log_, (Lines{"Connexion...", "Connect\xE9",
                         "Attention: le serveur refuse TLS, le mot de passe et les fichiers "
                         "passent en clair",
                         "OK: a&#38;#38;b.html", "OK: &#937;mega.html", "OK: \xE9t\xE9.html",
                         "Envoi de 3 fichiers termin\xE9"}));
  EXPECT_EQ(Cp1252ToUtf8Shown(log_[3]), "OK: a&#38;b.html");
  EXPECT_EQ(Cp1252ToUtf8Shown(log_[4]), "OK: \xCE\xA9mega.html");
}

TEST_F(Upload, RefusedDeletionStaysDueUntilItIsDone) {
  test::makeSite(sitePath());
  upload("/www");
  fs::remove(sitePath() / "liste.html");
  fs::remove(sitePath() / "a/top.html");
  fs::remove(served() / "www/a/top.html");  // already gone on the server: nothing to ask
  const Lines refused = {"Erreur: Impossible de supprimer \"/www/liste.html\"",
                         "Raison: 550 Permission denied.",
                         "Envoi inachev\xE9 : 0 fichiers envoy\xE9s, 1 \xE9"
                         "chec"};
  FtpServerOptions o;
  o.port = server_->port();
  o.refuseDelete = {"liste.html"};
  for (int run = 0; run < 2; ++run) {  // asked again at each run while it is refused
    server_.reset();
    startServer(o);
    EXPECT_EQ(upload("/www", false), refused);
    EXPECT_TRUE(fs::exists(served() / "www/liste.html"));
  }
  o.refuseDelete.clear();
  server_.reset();
  startServer(o);
  EXPECT_EQ(upload("/www"), (Lines{"Supprim\xE9: liste.html", "Envoi de 0 fichiers termin\xE9"}));
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
  EXPECT_EQ(upload("/www"), (Lines{"Envoi de 0 fichiers termin\xE9"}));
}

// Deletions that would remove more than half of what was sent, and more than 20 files (a site
// generated empty, a wrong folder), wait for consent and stay due; a pruning goes ahead.
TEST_F(Upload, DeletionsOfMostOfTheSiteWaitForConsent) {
  struct Case {
    int sent, removed, allowed;
    bool held;
  } cases[] = {
      {30, 25, 0, true},    {22, 21, 0, true},  {42, 21, 0, false},  {30, 20, 0, false},
      {320, 150, 0, false}, {30, 25, 24, true}, {30, 25, 25, false},
  };
  auto page = [](int i) { return "p" + std::to_string(i) + ".html"; };
  auto onServer = [&](const std::string& remote) {
    int n = 0;
    for (const auto& e : fs::directory_iterator(served() / remote.substr(1)))
      n += e.path().filename().string()[0] != '.';
    return n;
  };
  for (size_t row = 0; row < std::size(cases); ++row) {
    const Case& c = cases[row];
    SCOPED_TRACE(row);
    const fs::path local = sitePath() / std::to_string(row);
    const std::string remote = "/r" + std::to_string(row);
    for (int i = 0; i < c.sent; ++i) test::putFile(local / page(i), std::to_string(i));
    ASSERT_TRUE(uploader()->UploadTree(remote, local.string()));
    for (int i = 0; i < c.removed; ++i) fs::remove(local / page(i));
    for (int run = 0; run < 2; ++run) {  // held, they are held again at the next run
      auto ftp = uploader();
      ftp->MaxDelete = c.allowed;
      log_.clear();
      EXPECT_EQ(ftp->UploadTree(remote, local.string()), !c.held);
      EXPECT_EQ(ftp->HeldDeletions, c.held ? c.removed : 0);
      ASSERT_FALSE(log_.empty());
      EXPECT_EQ(log_.back(), c.held ? "Envoi incomplet : " + std::to_string(c.removed) +
                                          " suppressions en attente de confirmation"
                                    : "Envoi de 0 fichiers termin\xE9");
      EXPECT_EQ(onServer(remote), c.held ? c.sent : c.sent - c.removed);
    }
    if (!c.held) continue;
    auto ftp = uploader();
    ftp->MaxDelete = c.removed;
    EXPECT_TRUE(ftp->UploadTree(remote, local.string()));
    EXPECT_EQ(test::treeDifferences(local, served() / remote.substr(1)), "");
  }
}

TEST_F(Upload, VerifySendsAgainWhatTheServerLacks) {
  test::makeSite(sitePath());
  for (bool mlsd : {true, false}) {
    SCOPED_TRACE(mlsd ? "MLSD" : "LIST");
    FtpServerOptions o;
    o.noMlsd = !mlsd;
    startServer(o);
    const std::string root = mlsd ? "/mlsd" : "/list";
    const fs::path www = served() / root.substr(1);
    upload(root);
    fs::remove(www / "index.html");
    test::putFile(www / "a/b/leaf.html", "coup\xE9");
    test::putFile(www / "css/.lignado-part-site.css", "morceau d'un envoi perdu");
    EXPECT_EQ(upload(root), (Lines{"Envoi de 0 fichiers termin\xE9"}));

    auto ftp = uploader();
    ftp->Verify = true;
    log_.clear();
    EXPECT_TRUE(ftp->UploadTree(root, site()));
    EXPECT_EQ(log_,
              (Lines{"OK: index.html", "OK: leaf.html", "Supprim\xE9: css/.lignado-part-site.css",
                     "Envoi de 2 fichiers termin\xE9"}));
    EXPECT_EQ(test::treeDifferences(sitePath(), www), "");
  }
}

TEST_F(Upload, ServerThatRefusesRenamesGetsDirectWrites) {
  FtpServerOptions o;
  o.noRename = true;
  startServer(o);
  test::makeSite(sitePath());
  Lines expected = kFullSite;
  expected.insert(expected.begin(),
                  "Attention: le serveur refuse de renommer les fichiers (502 Command not "
                  "implemented.), ils sont maintenant \xE9"
                  "crits directement sous leur nom");
  EXPECT_EQ(upload("/www"), expected);
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
  UploadMarks marks;
  marks.Open(site(), UploadMarks::Destination("127.0.0.1", server_->port(), "/www"));
  EXPECT_EQ(marks.Partials(), Lines{});
}

TEST_F(Upload, TamperedManifestCannotReachOutsideTheRoot) {
  test::putFile(sitePath() / "index.html", "i");
  upload("/www/site");
  test::putFile(served() / "www/beside.txt", "voisin");
  test::putFile(served() / "beside.txt", "racine");
  const std::string hash(64, 'A');
  const Lines bad = {"../beside.txt", "/beside.txt", "a/../../beside.txt", "..\\beside.txt", "a//b",
                     "./x",           "a/"};
  {
    std::ofstream manifest(sitePath() / UploadMarks::kFileName, std::ios::app);
    for (const std::string& name : bad) manifest << "f 6 " << hash << ' ' << name << '\n';
    manifest << "p ../beside.txt\nd ..\n";
  }
  Lines expected;
  for (const std::string& name : bad)
    expected.push_back("Attention: nom refus\xE9 dans \".lignado-upload\" : \"" + name + "\"");
  expected.push_back("Attention: nom refus\xE9 dans \".lignado-upload\" : \"../beside.txt\"");
  expected.push_back("Attention: nom refus\xE9 dans \".lignado-upload\" : \"..\"");
  expected.push_back("Envoi de 0 fichiers termin\xE9");
  EXPECT_EQ(upload("/www/site"), expected);
  EXPECT_EQ(test::fileBytes(served() / "www/beside.txt"), "voisin");
  EXPECT_EQ(test::fileBytes(served() / "beside.txt"), "racine");
  EXPECT_EQ(upload("/www/site"), (Lines{"Envoi de 0 fichiers termin\xE9"}));  // dropped for good
}

// The server's folder is asked once (PWD) and then remembered after each change; a new
// connection learns it again from the folder it goes back to. Files and order are unchanged.
TEST_F(Upload, CurrentFolderIsAskedOncePerConnection) {
  const struct {
    bool restart;
    int pwd;
  } cases[] = {{false, 1}, {true, 1}};
  for (const auto& c : cases) {
    TempDir logDir;
    FtpServerOptions o;
    o.commandLog = (logDir.path() / "commands").string();
    startServer(o);
    fs::remove_all(served() / "www");
    fs::remove(sitePath() / UploadMarks::kFileName);
    test::makeSite(sitePath());
    auto ftp = uploader();
    log_.clear();
    owner_.onLog = [&](const std::string& line) {
      if (c.restart && line == "OK: top.html") {
        ASSERT_TRUE(server_->start()) << server_->error();
      }
    };
    EXPECT_TRUE(ftp->UploadTree("/www", site())) << c.restart;
    owner_.onLog = {};
    std::istringstream commands(test::fileBytes(o.commandLog));
    int pwd = 0;
    Lines stored;
    for (std::string line; std::getline(commands, line);) {
      pwd += line == "PWD";
      if (line.rfind("RNTO ", 0) == 0) stored.push_back("OK: " + line.substr(5));
    }
    EXPECT_EQ(pwd, c.pwd) << c.restart;
    EXPECT_EQ(std::count(log_.begin(), log_.end(), "Connexion perdue: reconnexion..."),
              c.restart ? 1 : 0);
    stored.push_back(kFullSite.back());
    EXPECT_EQ(stored, kFullSite) << c.restart;
    EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
  }
}

}  // namespace
}  // namespace lignado
