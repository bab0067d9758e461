// lignado-cli upload, run as a program against a local FTP server.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/inotify.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <functional>
#include <set>

#include "TestSupport.h"
#include "ftp/FtpTestServer.h"
#include "ftp/SshTestServer.h"
#include "util/Owned.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::FtpTestServer;
using test::TempDir;

struct CliRun {
  int rc = -1;
  std::string out, err;
};

// Runs lignado-cli with stdin from /dev/null; `password` null leaves the variable unset.
// `onOutput` sees stdout and stderr as they grow and may signal the child. With
// `errOnTerminal`, stderr is a terminal (a pseudo-terminal the test reads).
using OutputWatch = std::function<void(pid_t, const std::string& out, const std::string& err)>;
CliRun runCli(std::vector<std::string> args, const char* password, const OutputWatch& onOutput = {},
              bool errOnTerminal = false) {
  CliRun r;
  args.insert(args.begin(), LIGNADO_CLI);
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  std::vector<std::string> envStore;
  for (char** e = environ; *e; ++e)
    if (std::strncmp(*e, "LIGNADO_FTP_PASSWORD=", 21) != 0) envStore.emplace_back(*e);
  if (password) envStore.push_back(std::string("LIGNADO_FTP_PASSWORD=") + password);
  std::vector<char*> envp;
  for (auto& e : envStore) envp.push_back(e.data());
  envp.push_back(nullptr);

  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return r;
  OwnedFd outRead(fds[0]), outWrite(fds[1]), errRead, errWrite;
  if (errOnTerminal) {
    errRead.reset(::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC));
    if (!errRead.valid() || ::grantpt(errRead.get()) != 0 || ::unlockpt(errRead.get()) != 0)
      return r;
    errWrite.reset(::open(::ptsname(errRead.get()), O_RDWR | O_NOCTTY | O_CLOEXEC));
  } else if (::pipe2(fds, O_CLOEXEC) == 0) {
    errRead.reset(fds[0]);
    errWrite.reset(fds[1]);
  }
  if (!errWrite.valid()) return r;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, outWrite.get(), 1);
  posix_spawn_file_actions_adddup2(&fa, errWrite.get(), 2);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  outWrite.reset();
  errWrite.reset();
  if (rc != 0) return r;
  pollfd p[2] = {{outRead.get(), POLLIN, 0}, {errRead.get(), POLLIN, 0}};
  int open = 2;
  while (open > 0 && ::poll(p, 2, 60000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (p[i].fd < 0 || !(p[i].revents & (POLLIN | POLLHUP | POLLERR))) continue;
      char buf[4096];
      ssize_t n = ::read(p[i].fd, buf, sizeof buf);
      if (n <= 0) {  // a terminal whose last writer went says EIO
        p[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      if (onOutput) onOutput(pid, r.out, r.err);
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);  // silent for a minute: hung, and the test must end
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

// The server of the tests does not speak TLS: the default (auto) goes on in clear and says so.
const std::string kClear =
    "Attention: le serveur refuse TLS, le mot de passe et les fichiers passent en clair\n";

// The sites of these tests were not generated: every file is named before it is sent.
const std::string kMany =
    " fichiers qui ne viennent pas de la g\xC3\xA9n\xC3\xA9ration seront envoy\xC3\xA9s : ";
const std::string kOneIndex =
    "1 fichier qui ne vient pas de la g\xC3\xA9n\xC3\xA9ration sera envoy\xC3\xA9 : index.html\n";

class CliUpload : public ::testing::Test {
 protected:
  void SetUp() override { start({}); }
  void start(const test::FtpServerOptions& o) {
    server_.reset();  // its port may be the one asked for
    server_ = std::make_unique<FtpTestServer>(served_.path(), o);
    ASSERT_TRUE(server_->running()) << server_->error();
  }
  std::vector<std::string> args(std::vector<std::string> extra) {
    std::vector<std::string> a = {
        "upload", site_.path().string(), "--host", "127.0.0.1",
        "--user", test::kFtpUser,        "--port", std::to_string(server_->port())};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  }
  TempDir served_, site_;
  std::unique_ptr<FtpTestServer> server_;
};

TEST_F(CliUpload, UploadsUnderBaseAndSubFolder) {
  test::makeSite(site_.path());
  const std::string kSite = "10" + kMany +
                            "a/b/c/deep.html, a/b/leaf.html, a/top.html, css/site.css, "
                            "images/fond.png, images/photo.jpg, index.html, liste.html, "
                            "personne-1.html, vide/rien.txt\n";
  CliRun r = runCli(args({"--path", "www", "--folder", "lignado"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out, kSite + "Connexion...\nConnect\xC3\xA9\n" + kClear +
                       "OK: index.html\nOK: liste.html\nOK: personne-1.html\n"
                       "OK: top.html\nOK: leaf.html\nOK: deep.html\nOK: site.css\nOK: fond.png\n"
                       "OK: photo.jpg\nOK: rien.txt\nEnvoi de 10 fichiers termin\xC3\xA9\n"
                       "Transfert termin\xC3\xA9"
                       "\n");
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path() / "www/lignado"), "");

  r = runCli(args({"--path", "www", "--folder", "lignado", "--passive"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out, kSite + "Connexion...\nConnect\xC3\xA9\n" + kClear +
                       "Envoi de 0 fichiers termin\xC3\xA9\n"
                       "Transfert termin\xC3\xA9"
                       "\n");

  // Without a sub-folder the base alone is the root.
  r = runCli(args({"--path", "www"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(test::fileBytes(served_.path() / "www/index.html"),
            test::fileBytes(site_.path() / "index.html"));
  EXPECT_EQ(test::fileBytes(served_.path() / "www/a/b/c/deep.html"),
            test::fileBytes(site_.path() / "a/b/c/deep.html"));
}

TEST_F(CliUpload, FailuresAndUsage) {
  test::putFile(site_.path() / "index.html", "x");
  CliRun r = runCli(args({}), "mauvais");
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out, kOneIndex +
                       "Connexion...\nErreur: Connexion impossible\nRaison: 530 Authentication "
                       "failed.\n");

  r = runCli(args({}), nullptr);  // no variable and no terminal
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.err,
            "Mot de passe manquant : d\xC3\xA9"
            "finissez LIGNADO_FTP_PASSWORD ou lancez la "
            "commande depuis un terminal.\n");

  for (auto bad : std::vector<std::vector<std::string>>{
           {"upload", site_.path().string(), "--user", "u"},
           {"upload", site_.path().string(), "--host", "h", "--user", "u", "--port", "0"},
           {"upload", site_.path().string(), "--host", "h", "--user", "u", "--port", "21x"},
           {"upload", site_.path().string(), "--host", "h", "--user"},
           {"upload", site_.path().string(), "autre", "--host", "h", "--user", "u"},
           {"upload", site_.path().string(), "--host", "h", "--user", "u", "--mot", "x"}}) {
    r = runCli(bad, "x");
    EXPECT_EQ(r.rc, 2) << bad.back();
    EXPECT_NE(r.err.find("Usage : lignado-cli upload DOSSIER"), std::string::npos);
    EXPECT_EQ(r.out, "");
  }
  // Paths are UTF-8 and are shown as typed.
  const std::string absent = (site_.path() / "absent-\xC3\xA9t\xC3\xA9").string();
  r = runCli({"upload", absent, "--host", "h", "--user", "u"}, "x");
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.err, "Dossier introuvable : " + absent + "\n");
  r = runCli({"upload", site_.path().string(), "d\xC3\xA9j\xC3\xA0", "--host", "h"}, "x");
  EXPECT_EQ(r.rc, 2);
  EXPECT_EQ(r.err.substr(0, r.err.find('\n')), "Argument inattendu : d\xC3\xA9j\xC3\xA0.");
}

TEST_F(CliUpload, CtrlCStopsBetweenFiles) {
  test::putFile(site_.path() / "a.html", "premier");
  for (int i = 0; i < 30; ++i)
    test::putFile(site_.path() / ("b" + std::to_string(10 + i) + ".bin"),
                  test::patterned(2 * 1024 * 1024, 40 + i));
  bool sent = false;
  CliRun r = runCli(args({}), test::kFtpPassword,
                    [&](pid_t pid, const std::string& out, const std::string&) {
                      if (!sent && out.find("OK: a.html\n") != std::string::npos) {
                        sent = true;
                        ::kill(pid, SIGINT);
                      }
                    });
  EXPECT_EQ(r.rc, 1);
  ASSERT_TRUE(sent);
  const std::string tail =
      "Envoi stopp\xC3\xA9\nTransfert termin\xC3\xA9"
      "\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  int count = 0;
  for (size_t at = r.out.find("OK: "); at != std::string::npos; at = r.out.find("OK: ", at + 1))
    ++count;
  EXPECT_GE(count, 1);
  EXPECT_LT(count, 31);
  EXPECT_NE(r.out.find("Envoi de " + std::to_string(count) + " fichiers"), std::string::npos);

  // What was reported sent arrived whole; the next run sends exactly the rest.
  CliRun rest = runCli(args({}), test::kFtpPassword);
  EXPECT_EQ(rest.rc, 0);
  EXPECT_NE(rest.out.find("Envoi de " + std::to_string(31 - count) + " fichiers"),
            std::string::npos)
      << rest.out;
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path()), "");
}

TEST_F(CliUpload, TlsCertificateFingerprintTimeoutsAndMirror) {
  test::FtpServerOptions tls;
  tls.tls = "require";
  start(tls);
  test::putFile(site_.path() / "index.html", "accueil");
  test::putFile(site_.path() / "vieux.html", "ancien");
  const std::string fp = server_->fingerprint();
  CliRun r = runCli(args({}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out,
            "2" + kMany + "index.html, vieux.html\n" +
                "Connexion...\nErreur: Connexion impossible\nRaison: certificat refus\xC3\xA9 "
                "(certificat auto-sign\xC3\xA9), empreinte SHA-256 " +
                fp + "\n");
  EXPECT_EQ(r.err,
            "Si ce certificat est bien celui de votre serveur, relancez avec --tls-fingerprint " +
                fp + "\n");
  r = runCli(args({"--tls-fingerprint", fp}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path()), "");

  // What the site no longer has leaves the server, unless asked to stay.
  fs::remove(site_.path() / "vieux.html");
  r = runCli(args({"--tls-fingerprint", fp, "--keep-remote"}), test::kFtpPassword);
  EXPECT_TRUE(fs::exists(served_.path() / "vieux.html"));
  r = runCli(args({"--tls-fingerprint", fp, "--tls", "require"}), test::kFtpPassword);
  EXPECT_NE(r.out.find("\nSupprim\xC3\xA9: vieux.html\n"), std::string::npos) << r.out;
  EXPECT_FALSE(fs::exists(served_.path() / "vieux.html"));

  // A server that accepts and never speaks: the time-out given, then the reason.
  test::FtpServerOptions silent;
  silent.mode = "silent";
  start(silent);
  auto begin = std::chrono::steady_clock::now();
  r = runCli(args({"--timeout", "1"}), test::kFtpPassword);
  EXPECT_LT(std::chrono::steady_clock::now() - begin, std::chrono::seconds(10));
  EXPECT_EQ(
      r.out,
      kOneIndex +
          "Connexion...\nErreur: Connexion impossible\nRaison: d\xC3\xA9lai d\xC3\xA9pass\xC3\xA9 "
          "apr\xC3\xA8s 1 s\n");
  for (const char* bad : {"--tls", "--tls-fingerprint", "--timeout"}) {
    r = runCli(args({bad, "x"}), test::kFtpPassword);
    EXPECT_EQ(r.rc, 2) << bad;
  }
}

// Once reached over TLS, a server on that port is never sent the password in clear unless told
// (--tls off), and another certificate there is refused as changed.
TEST_F(CliUpload, AServerReachedOverTlsStaysTls) {
  test::FtpServerOptions tls;
  tls.tls = "offer";
  start(tls);
  const int port = server_->port();
  const std::string fp = server_->fingerprint();
  test::putFile(site_.path() / "index.html", "accueil");
  CliRun r = runCli(args({"--tls-fingerprint", fp}), test::kFtpPassword);
  ASSERT_EQ(r.rc, 0) << r.out;

  TempDir logs;
  const fs::path log = logs.path() / "commandes.txt";
  test::FtpServerOptions plain;  // as a man in the middle refusing AUTH TLS would answer
  plain.port = port;
  plain.commandLog = log.string();
  start(plain);
  r = runCli(args({}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out,
            kOneIndex +
                "Connexion...\nErreur: Connexion impossible\nRaison: le serveur refuse TLS (500 "
                "Command \"AUTH\" not understood.)\nConnexion en clair refus\xC3\xA9"
                "e : ce serveur a d\xC3\xA9j\xC3\xA0 \xC3\xA9t\xC3\xA9 joint avec TLS, le mot "
                "de passe n'a pas \xC3\xA9t\xC3\xA9 envoy\xC3\xA9\n");
  EXPECT_EQ(r.err,
            "Pour envoyer quand m\xC3\xAAme sans chiffrement (mot de passe en clair), relancez "
            "avec --tls off\n");
  EXPECT_EQ(test::fileBytes(log).find("PASS"), std::string::npos) << test::fileBytes(log);

  test::putFile(site_.path() / "neuf.html", "nouveau");
  r = runCli(args({"--tls", "off"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_NE(test::fileBytes(log).find("PASS"), std::string::npos);
  EXPECT_EQ(test::fileBytes(served_.path() / "neuf.html"), "nouveau");

  tls.port = port;
  start(tls);  // TLS again on that port, with a certificate made for this run
  ASSERT_EQ(server_->port(), port);
  const std::string other = server_->fingerprint();
  r = runCli(args({}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 1);
  EXPECT_EQ(r.out,
            "2" + kMany + "index.html, neuf.html\n" +
                "Connexion...\nErreur: Connexion impossible\nRaison: le certificat du serveur a "
                "chang\xC3\xA9 (certificat auto-sign\xC3\xA9) : empreinte SHA-256 attendue " +
                fp + ", re\xC3\xA7ue " + other + "\n");
  EXPECT_NE(r.err.find("--tls-fingerprint " + other), std::string::npos) << r.err;
}

TEST_F(CliUpload, TerminalShowsProgressAndNamesAsTheyAre) {
  test::putFile(site_.path() / "\xCE\xA9mega.html", "o");
  test::putFile(site_.path() / "gros.bin", test::patterned(3 * 1024 * 1024, 61));
  CliRun r = runCli(args({"--tls", "off"}), test::kFtpPassword, {}, true);
  EXPECT_EQ(r.rc, 0);
  // The log on stdout, untouched; the progress line on the terminal only.
  EXPECT_EQ(r.out, "2" + kMany + "gros.bin, \xCE\xA9mega.html\n" +
                       "Connexion...\nConnect\xC3\xA9\nOK: gros.bin\nOK: \xCE\xA9mega.html\n"
                       "Envoi de 2 fichiers termin\xC3\xA9\nTransfert termin\xC3\xA9"
                       "\n");
  EXPECT_NE(r.err.find("0/2 fichiers, 0 o sur 3,0 Mo"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("2/2 fichiers, 3,0 Mo sur 3,0 Mo"), std::string::npos) << r.err;
  EXPECT_NE(r.err.find("\r\033[K"), std::string::npos);
}

TEST_F(CliUpload, SecondCtrlCEndsTheFileInFlight) {
  test::FtpServerOptions slow;
  slow.readLimit = 1024 * 1024;
  start(slow);
  test::putFile(site_.path() / "a.html", "premier");
  // Far more than the system's socket buffers hold, read at 1 MB/s: it is in flight for long.
  test::putFile(site_.path() / "b.bin", test::patterned(32 * 1024 * 1024, 71));
  test::putFile(site_.path() / "c.html", "dernier");
  bool sent = false;
  // Both while b.bin is on its way, as its progress on the terminal shows.
  CliRun r = runCli(
      args({}), test::kFtpPassword,
      [&](pid_t pid, const std::string&, const std::string& err) {
        // The first "1/3" is drawn as a.html ends, the next ones while b.bin goes.
        int drawn = 0;
        for (size_t at = err.find("1/3 fichiers"); at != std::string::npos;
             at = err.find("1/3 fichiers", at + 1))
          ++drawn;
        if (!sent && drawn >= 2) {
          sent = true;
          ::kill(pid, SIGINT);
          ::usleep(100000);  // the first is seen before the second comes
          ::kill(pid, SIGINT);
        }
      },
      true);
  ASSERT_TRUE(sent) << r.err << r.out;
  EXPECT_EQ(r.rc, 1);
  const std::string tail =
      "OK: a.html\nErreur: Envoi de \"b.bin\" a echou\xC3\xA9\nRaison: envoi interrompu\n"
      "Envoi inachev\xC3\xA9 : 1 fichier envoy\xC3\xA9, 1 \xC3\xA9"
      "chec\nEnvoi stopp\xC3\xA9\nTransfert termin\xC3\xA9"
      "\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  EXPECT_NE(r.err.find("Ctrl-C encore"), std::string::npos);
  // The file ended in flight was not recorded: the next run (same destination, no limit) sends
  // it, and the one after it.
  test::FtpServerOptions same;
  same.port = server_->port();
  server_.reset();
  start(same);
  r = runCli(args({}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0);
  EXPECT_NE(r.out.find("OK: b.bin\nOK: c.html\nEnvoi de 2 fichiers"), std::string::npos) << r.out;
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path()), "");
}

// A deletion the server refuses fails the run (exit status 1) and is asked again; --verify sends
// again what was removed on the server.
TEST_F(CliUpload, RefusedDeletionFailsAndVerifyMendsTheServer) {
  test::putFile(site_.path() / "index.html", "accueil");
  test::putFile(site_.path() / "vieux.html", "ancien");
  ASSERT_EQ(runCli(args({"--tls", "off"}), test::kFtpPassword).rc, 0);
  fs::remove(site_.path() / "vieux.html");
  fs::remove(served_.path() / "index.html");
  test::FtpServerOptions o;
  o.port = server_->port();
  o.refuseDelete = {"vieux.html"};
  start(o);
  CliRun r = runCli(args({"--tls", "off", "--verify"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 1);
  const std::string tail =
      "OK: index.html\nErreur: Impossible de supprimer \"/vieux.html\"\nRaison: 550 Permission "
      "denied.\nEnvoi inachev\xC3\xA9 : 1 fichier envoy\xC3\xA9, 1 \xC3\xA9"
      "chec\nTransfert termin\xC3\xA9"
      "\n";
  ASSERT_GE(r.out.size(), tail.size()) << r.out;
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  o.refuseDelete.clear();
  start(o);
  r = runCli(args({"--tls", "off"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.out;
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path()), "");
}

// Deletions of most of the site wait for --max-delete with at least their count.
TEST_F(CliUpload, DeletionsOfMostOfTheSiteWaitForMaxDelete) {
  for (int i = 0; i < 30; ++i)
    test::putFile(site_.path() / ("p" + std::to_string(i) + ".html"), std::to_string(i));
  ASSERT_EQ(runCli(args({"--tls", "off"}), test::kFtpPassword).rc, 0);
  for (int i = 0; i < 25; ++i) fs::remove(site_.path() / ("p" + std::to_string(i) + ".html"));
  const std::string held =
      "Envoi incomplet : 25 suppressions en attente de confirmation\nTransfert termin\xC3\xA9"
      "\n";
  for (const char* allowed : {"0", "24"}) {
    CliRun r = runCli(args({"--tls", "off", "--max-delete", allowed}), test::kFtpPassword);
    EXPECT_EQ(r.rc, 1) << allowed;
    ASSERT_GE(r.out.size(), held.size()) << r.out;
    EXPECT_EQ(r.out.substr(r.out.size() - held.size()), held);
    EXPECT_NE(r.err.find("relancez avec --max-delete 25\n"), std::string::npos) << r.err;
    EXPECT_TRUE(fs::exists(served_.path() / "p0.html"));
  }
  EXPECT_EQ(runCli(args({"--max-delete", "-1"}), test::kFtpPassword).rc, 2);
  CliRun r = runCli(args({"--tls", "off", "--max-delete", "25"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.out << r.err;
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path()), "");
}

// The trace for support holds every command and reply, never the password.
TEST_F(CliUpload, TraceMasksThePassword) {
  test::putFile(site_.path() / "index.html", "page");
  TempDir dir;
  const std::string trace = (dir.path() / "trace.txt").string();
  CliRun r = runCli(args({"--tls", "off", "--trace", trace}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.err;
  const std::string text = test::fileBytes(trace);
  EXPECT_NE(text.find(" > USER lignado\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" > PASS ****\n"), std::string::npos) << text;
  EXPECT_NE(text.find(" > RNTO index.html\n"), std::string::npos) << text;
  EXPECT_EQ(text.find(test::kFtpPassword), std::string::npos) << text;
}

TEST(CliUploadSftp, OptionsThatDisagreeAreRefused) {
  const struct {
    std::vector<std::string> args;
    std::string error;
  } cases[] = {
      {{"--host", "sftp://127.0.0.1:99999"},
       "Serveur invalide : sftp://127.0.0.1:99999 (sftp://H\xC3\x94TE[:PORT])."},
      {{"--host", "sftp://127.0.0.1/www"},
       "Serveur invalide : sftp://127.0.0.1/www (sftp://H\xC3\x94TE[:PORT])."},
      {{"--host", "sftp://127.0.0.1", "--protocol", "ftp"},
       "--protocol ftp et --host sftp://... se contredisent."},
      {{"--host", "sftp://127.0.0.1:2222", "--port", "21"},
       "--port 21 et le port de --host se contredisent."},
      {{"--host", "127.0.0.1", "--key", "id"}, "--key et --host-key ne valent que pour SFTP."},
      {{"--host", "127.0.0.1", "--protocol", "sftp", "--tls", "off"},
       "--tls et --tls-fingerprint ne valent que pour FTP."},
      {{"--host", "sftp://127.0.0.1", "--host-key", "SHA256:court"},
       "Empreinte de cl\xC3\xA9 invalide : SHA256:court (SHA256:... comme l'affiche ssh-keygen "
       "-l)."},
      {{"--host", "127.0.0.1", "--protocol", "scp"},
       "Valeur de --protocol invalide : scp (ftp ou sftp)."},
  };
  TempDir site;
  for (const auto& c : cases) {
    std::vector<std::string> a = {"upload", site.path().string(), "--user", "u"};
    a.insert(a.end(), c.args.begin(), c.args.end());
    CliRun r = runCli(a, "x");
    EXPECT_EQ(r.rc, 2) << c.error;
    EXPECT_EQ(r.err.substr(0, r.err.find('\n')), c.error);
  }
}

// Against a real sshd: an unknown host key refused with the command that accepts it, a refused
// log-in traced without its password, then an upload killed mid-way and resumed.
TEST(CliUploadSftp, RefusesUnknownKeyThenResumesAKilledUpload) {
  TempDir keys, site, served;
  test::SshTestServer server(keys.path());
  if (!server.running()) GTEST_SKIP() << server.error();
  ::setenv("HOME", keys.path().c_str(), 1);  // an empty known_hosts, no key of the machine
  ::unsetenv("SSH_AUTH_SOCK");
  const std::vector<std::string> files = test::makeSite(site.path());
  const std::string fp = server.fingerprint();
  auto args = [&](std::vector<std::string> extra) {
    std::vector<std::string> a = {"upload", site.path().string(),
                                  "--host", "sftp://127.0.0.1:" + std::to_string(server.port()),
                                  "--user", test::SshTestServer::user(),
                                  "--path", served.path().string()};
    a.insert(a.end(), extra.begin(), extra.end());
    return a;
  };
  CliRun r = runCli(args({"--key", server.key("userkey")}), nullptr);
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.out.find("Raison: cl\xC3\xA9 du serveur inconnue : " + fp + "\n"), std::string::npos);
  EXPECT_EQ(
      r.err,
      "Si cette cl\xC3\xA9 est bien celle de votre serveur, relancez avec --host-key " + fp + "\n");

  const std::string trace = (keys.path() / "trace.txt").string();
  r = runCli(args({"--host-key", fp, "--key", server.key("otheruser"), "--trace", trace}),
             "secret-du-test");
  EXPECT_EQ(r.rc, 1);
  EXPECT_NE(r.out.find("Raison: identifiant ou mot de passe refus\xC3\xA9\n"), std::string::npos);
  const std::string text = test::fileBytes(trace);
  EXPECT_NE(text.find(" > authentification par mot de passe ****\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("secret-du-test"), std::string::npos) << text;

  // The third file in sending order never arrives: its temporary name on the server is a named
  // pipe that no one reads, so the server's open of it never returns and the upload cannot end
  // before it is killed, whatever the load of the machine. Killed once the two files before it
  // are sent: nothing else can be recorded meanwhile.
  auto oks = [](const std::string& out) {
    std::set<std::string> names;
    for (size_t at = out.find("OK: "); at != std::string::npos; at = out.find("OK: ", at + 1))
      names.insert(out.substr(at + 4, out.find('\n', at) - at - 4));
    return names;
  };
  const fs::path stuck = served.path() / ".lignado-part-personne-1.html";
  ASSERT_EQ(::mkfifo(stuck.c_str(), 0600), 0);
  const std::set<std::string> before = {"index.html", "liste.html"};
  // After the last "OK", the program records the temporary name, then waits on the server.
  OwnedFd marks(::inotify_init1(IN_CLOEXEC));
  ASSERT_GE(::inotify_add_watch(marks.get(), site.path().c_str(), IN_MODIFY | IN_MOVED_TO), 0);
  auto partialRecorded = [&] {
    return test::fileBytes(site.path() / ".lignado-upload")
               .find("\np " + stuck.filename().string()) != std::string::npos;
  };
  bool killed = false;
  r = runCli(args({"--host-key", fp, "--key", server.key("userkey")}), nullptr,
             [&](pid_t pid, const std::string& out, const std::string&) {
               if (killed || oks(out) != before) return;
               pollfd p = {marks.get(), POLLIN, 0};
               char events[4096];
               while (!partialRecorded() && ::poll(&p, 1, 60000) > 0)
                 if (::read(marks.get(), events, sizeof events) < 0) break;
               ::kill(pid, SIGKILL);
               killed = true;
             });
  ASSERT_TRUE(killed) << r.out << r.err;
  EXPECT_EQ(r.rc, 128 + SIGKILL);
  EXPECT_EQ(oks(r.out), before);
  // The next run removes the temporary file left behind and sends every other file once.
  r = runCli(args({"--host-key", fp, "--key", server.key("userkey")}), nullptr);
  EXPECT_EQ(r.rc, 0) << r.out << r.err;
  const std::set<std::string> second = oks(r.out);
  EXPECT_EQ(second.size(), files.size() - before.size()) << r.out;
  for (const auto& name : before) EXPECT_EQ(second.count(name), 0u) << name;
  // Read, a pipe left there would wait for a writer: checked apart.
  ASSERT_FALSE(fs::exists(fs::symlink_status(stuck))) << r.out;
  EXPECT_EQ(test::treeDifferences(site.path(), served.path()), "");
}

}  // namespace
}  // namespace lignado
