// lignado-cli upload, run as a program against a local FTP server.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstring>
#include <functional>

#include "TestSupport.h"
#include "ftp/FtpTestServer.h"

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
// `onOutput` sees stdout as it grows and may signal the child.
CliRun runCli(std::vector<std::string> args, const char* password,
              const std::function<void(pid_t, const std::string&)>& onOutput = {}) {
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

  int out[2], err[2];
  if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(err, O_CLOEXEC) != 0) return r;
  posix_spawn_file_actions_t fa;
  posix_spawn_file_actions_init(&fa);
  posix_spawn_file_actions_addopen(&fa, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_adddup2(&fa, out[1], 1);
  posix_spawn_file_actions_adddup2(&fa, err[1], 2);
  pid_t pid = 0;
  int rc = posix_spawn(&pid, argv[0], &fa, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&fa);
  ::close(out[1]);
  ::close(err[1]);
  if (rc != 0) return r;
  pollfd p[2] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}};
  int open = 2;
  while (open > 0 && ::poll(p, 2, 60000) > 0) {
    for (int i = 0; i < 2; ++i) {
      if (p[i].fd < 0 || !(p[i].revents & (POLLIN | POLLHUP))) continue;
      char buf[4096];
      ssize_t n = ::read(p[i].fd, buf, sizeof buf);
      if (n <= 0) {
        ::close(p[i].fd);
        p[i].fd = -1;
        --open;
        continue;
      }
      (i == 0 ? r.out : r.err).append(buf, static_cast<size_t>(n));
      if (i == 0 && onOutput) onOutput(pid, r.out);
    }
  }
  if (open > 0) ::kill(pid, SIGKILL);  // silent for a minute: hung, and the test must end
  for (auto& f : p)
    if (f.fd >= 0) ::close(f.fd);
  int status = 0;
  ::waitpid(pid, &status, 0);
  r.rc = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  return r;
}

class CliUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<FtpTestServer>(served_.path());
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
  CliRun r = runCli(args({"--path", "www", "--folder", "lignado"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0) << r.err;
  EXPECT_EQ(r.out,
            "Connexion...\nConnect\xC3\xA9\nOK: index.html\nOK: liste.html\nOK: personne-1.html\n"
            "OK: top.html\nOK: leaf.html\nOK: deep.html\nOK: site.css\nOK: fond.png\n"
            "OK: photo.jpg\nOK: rien.txt\nEnvoi de 10 fichiers termin\xC3\xA9\n"
            "Transfert termin\xC3\xA9"
            "e\n");
  EXPECT_EQ(test::treeDifferences(site_.path(), served_.path() / "www/lignado"), "");

  r = runCli(args({"--path", "www", "--folder", "lignado", "--passive"}), test::kFtpPassword);
  EXPECT_EQ(r.rc, 0);
  EXPECT_EQ(r.out,
            "Connexion...\nConnect\xC3\xA9\nEnvoi de 0 fichiers termin\xC3\xA9\n"
            "Transfert termin\xC3\xA9"
            "e\n");

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
  EXPECT_EQ(r.out,
            "Connexion...\nErreur: Connexion impossible\nRaison: 530 Authentication failed.\n");

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
  CliRun r = runCli(args({}), test::kFtpPassword, [&](pid_t pid, const std::string& out) {
    if (!sent && out.find("OK: a.html\n") != std::string::npos) {
      sent = true;
      ::kill(pid, SIGINT);
    }
  });
  EXPECT_EQ(r.rc, 1);
  ASSERT_TRUE(sent);
  const std::string tail =
      "Envoi stopp\xC3\xA9\nTransfert termin\xC3\xA9"
      "e\n";
  ASSERT_GE(r.out.size(), tail.size());
  EXPECT_EQ(r.out.substr(r.out.size() - tail.size()), tail);
  auto count = static_cast<int>(std::count(r.out.begin(), r.out.end(), '\n')) - 5;
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

}  // namespace
}  // namespace lignado
