#include "ftp/qorvFTP.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <memory>
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
                   "Envoi de 0 fichiers termin\xE9"}));
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
                   "OK: photo.jpg", "OK: rien.txt", "Envoi de 8 fichiers termin\xE9"}));
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
                         "Envoi de 8 fichiers termin\xE9"}));

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

  // The server is back on the same port: exactly the other 5 files go.
  owner_.onProgress = nullptr;
  ASSERT_TRUE(server_->start()) << server_->error();
  EXPECT_EQ(upload("/www"), (Lines{"OK: g2.bin", "OK: g3.bin", "OK: fond.png", "OK: photo.jpg",
                                   "OK: rien.txt", "Envoi de 5 fichiers termin\xE9"}));
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

  // The manifest is whole and holds the three files that were accepted.
  std::string manifest = test::fileBytes(sitePath() / UploadMarks::kFileName);
  EXPECT_EQ(std::count(manifest.begin(), manifest.end(), '\n'), 5);
  Lines rest = upload("/www");
  EXPECT_EQ(rest.size(), 9u);  // 8 files and the count line
  EXPECT_EQ(rest.back(), "Envoi de 8 fichiers termin\xE9");
  EXPECT_EQ(test::treeDifferences(sitePath(), served() / "www"), "");
}

TEST_F(Upload, ManifestThatCannotBeWrittenIsReportedOnceAndTheUploadGoesOn) {
  test::putFile(sitePath() / "a.html", "a");
  test::putFile(sitePath() / "b.html", "b");
  // Its temporary file cannot be made: a folder is in the way.
  fs::create_directories(sitePath() / (std::string(UploadMarks::kFileName) + ".tmp"));
  const Lines expected = {"OK: a.html",
                          "Attention: Impossible d'enregistrer les fichiers envoy\xE9s dans \"" +
                              site() + UploadMarks::kFileName + "\"",
                          "OK: b.html", "Envoi de 2 fichiers termin\xE9"};
  EXPECT_EQ(upload("/www"), expected);
  EXPECT_FALSE(fs::exists(sitePath() / UploadMarks::kFileName));
  EXPECT_EQ(upload("/www"), expected);  // nothing recorded: everything goes again
}

TEST_F(Upload, OddEntriesNeitherHangNorLoop) {
  test::putFile(sitePath() / "page.html", "p");
  test::putFile(sitePath() / "sous/page2.html", "q");
  ASSERT_EQ(::mkfifo((sitePath() / "tube").c_str(), 0600), 0);
  fs::create_directory_symlink(sitePath(), sitePath() / "sous/boucle");
  fs::create_symlink(sitePath() / "page.html", sitePath() / "lien.html");
  EXPECT_EQ(upload("/www"), (Lines{"OK: lien.html", "OK: page.html", "OK: page2.html",
                                   "Envoi de 3 fichiers termin\xE9"}));
  EXPECT_EQ(test::fileBytes(served() / "www/lien.html"), "p");
  EXPECT_FALSE(fs::exists(served() / "www/tube"));
  EXPECT_FALSE(fs::exists(served() / "www/sous/boucle"));

  // A name FTP cannot carry fails that folder and nothing else.
  test::putFile(sitePath() / "mal\nnom.html", "x");
  test::putFile(sitePath() / "z/ok.html", "y");
  EXPECT_EQ(upload("/www", false),
            (Lines{"Erreur: Envoi de \"mal\nnom.html\" a echou\xE9",
                   "Raison: nom contenant un saut de ligne", "Envoi de 0 fichiers termin\xE9"}));
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
                         "Raison: envoi interrompu", "Envoi de 1 fichiers termin\xE9",
                         "Envoi stopp\xE9"}));
  EXPECT_LT(test::fileBytes(served() / "www/b.bin").size(), 16u * 1024 * 1024);
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

}  // namespace
}  // namespace lignado
