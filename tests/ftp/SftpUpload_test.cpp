// Upload by SFTP to a real OpenSSH server on loopback: host keys, log-in, the upload road
// (temporary names, marks, mirror deletion, one reconnection), and the trace's masking.

#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>

#include <algorithm>
#include <functional>

#include "TestSupport.h"
#include "ftp/FtpRecorder.h"
#include "ftp/ProtocolTrace.h"
#include "ftp/SftpConnection.h"
#include "ftp/SshTestServer.h"
#include "ftp/qorvFTP.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

TEST(SftpText, HostKeysAndMaskedCommands) {
  const std::string kKey = "SHA256:1fHkCIIZgQsBcni9AGo9M3cYTa7QBjHNgt8+Bm2p1fk";
  const struct {
    std::string typed, key;
  } keys[] = {
      {kKey, kKey},
      {kKey.substr(7), kKey},    // prefix left out
      {kKey + "=", kKey},        // base64 padding kept
      {kKey.substr(0, 40), ""},  // cut short
      {"SHA256:" + std::string(43, '*'), ""},
      {"AB:CD:EF", ""},  // a certificate's form
  };
  for (const auto& k : keys) EXPECT_EQ(NormalizeHostKey(k.typed), k.key) << k.typed;
  const struct {
    std::string command, shown;
  } commands[] = {
      {"PASS mot de passe", "PASS ****"},
      {"pass secret", "pass ****"},
      {"ACCT compte", "ACCT ****"},
      {"USER lignado", "USER lignado"},
      {"PASSIVE", "PASSIVE"},
      {"STOR passe.html", "STOR passe.html"},
  };
  for (const auto& c : commands) EXPECT_EQ(ProtocolTrace::MaskCommand(c.command), c.shown);
}

class SftpUpload : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("SSH_AUTH_SOCK");  // the machine's agent has no say here
    server_ = std::make_unique<test::SshTestServer>(keys_.path());
    if (!server_->running()) GTEST_SKIP() << server_->error();
  }
  // An uploader towards the test server, trusting nothing unless told.
  std::unique_ptr<TqorvFtp> client(const std::string& key = "userkey") {
    auto f = std::make_unique<TqorvFtp>(&rec_);
    f->Protocol = RemoteProtocol::Sftp;
    f->Port = server_->port();
    f->Ssh.knownHosts = (keys_.path() / "known_hosts").string();
    f->Ssh.trustedKey = server_->fingerprint();
    if (!key.empty()) f->Ssh.keyFile = server_->key(key.c_str()).string();
    return f;
  }
  bool upload(TqorvFtp& f) {
    return f.ConnectTo("127.0.0.1", test::SshTestServer::user(), "") &&
           f.UploadTree(remote_.path().string() + "/www", site_.path().string());
  }
  std::string remoteTree() { return test::treeDifferences(site_.path(), remote_.path() / "www"); }

  TempDir keys_, site_, remote_;
  std::unique_ptr<test::SshTestServer> server_;
  test::FtpRecorder rec_;
};

TEST_F(SftpUpload, HostKeyAndLogInRefusalsSayWhy) {
  const std::string shown = server_->fingerprint();
  const std::string other = server_->fingerprint("otherhost");
  ASSERT_EQ(shown.size(), 50u);
  const struct {
    std::string name, knownHosts, trusted, key, password;
    bool in;
    std::string reason;
    bool changed;
  } cases[] = {
      {"unknown key", "", "", "userkey", "", false, "cl\xE9 du serveur inconnue : " + shown, false},
      {"accepted by fingerprint", "", shown, "userkey", "", true, "", false},
      {"in known_hosts", server_->knownLine(), "", "userkey", "", true, "", false},
      {"changed in known_hosts", server_->knownLine("otherhost"), "", "userkey", "", false,
       "la cl\xE9 du serveur a chang\xE9 : " + other + " attendue, " + shown + " re\xE7ue", true},
      {"changed from the trusted one", "", other, "userkey", "", false,
       "la cl\xE9 du serveur a chang\xE9 : " + other + " attendue, " + shown + " re\xE7ue", true},
      {"changed in known_hosts, accepted by fingerprint", server_->knownLine("otherhost"), shown,
       "userkey", "", true, "", false},
      {"key not authorized", "", shown, "otheruser", "", false,
       "cl\xE9 refus\xE9"
       "e par le serveur : " +
           server_->key("otheruser").string(),
       false},
      {"key unreadable", "", shown, "otheruser.pub", "", false,
       "cl\xE9 priv\xE9"
       "e illisible ou phrase secr\xE8te fausse : " +
           server_->key("otheruser.pub").string(),
       false},
      {"wrong password", "", shown, "", "faux", false, "identifiant ou mot de passe refus\xE9",
       false},
      {"no way in", "", shown, "", "", false,
       "aucune m\xE9thode de connexion accept\xE9"
       "e (cl\xE9 ou mot de passe)",
       false},
  };
  ::setenv("HOME", keys_.path().c_str(), 1);  // no key of the machine's user is tried
  for (const auto& c : cases) {
    test::putFile(keys_.path() / "known_hosts", c.knownHosts);
    auto f = client(c.key);
    f->Ssh.trustedKey = c.trusted;
    EXPECT_EQ(f->ConnectTo("127.0.0.1", test::SshTestServer::user(), c.password), c.in) << c.name;
    EXPECT_EQ(f->FailureText(), c.reason) << c.name;
    EXPECT_EQ(f->HostKeyChanged(), c.changed) << c.name;
    const bool keyRefused = c.changed || c.reason.rfind("cl\xE9 du serveur", 0) == 0;
    EXPECT_EQ(f->RefusedFingerprint(), keyRefused ? shown : "") << c.name;
    EXPECT_EQ(f->LoginRefused(), c.password == "faux") << c.name;
  }
}

// Without a key file nor a password, the key held by a running ssh-agent logs in.
TEST_F(SftpUpload, AgentKeyLogsIn) {
  const std::string sock = (keys_.path() / "agent.sock").string();
  const std::string out = test::RunProgram("/usr/bin/ssh-agent", {"-s", "-a", sock}).out;
  const auto at = out.find("SSH_AGENT_PID=");
  if (at == std::string::npos) GTEST_SKIP() << "ssh-agent absent";
  const pid_t agent = std::stoi(out.substr(at + 14));
  ::setenv("SSH_AUTH_SOCK", sock.c_str(), 1);
  ::setenv("HOME", keys_.path().c_str(), 1);
  auto f = client("");
  EXPECT_FALSE(f->ConnectTo("127.0.0.1", test::SshTestServer::user(), ""));  // empty agent
  EXPECT_EQ(test::RunProgram("/usr/bin/ssh-add", {"-q", server_->key("userkey").string()}).code, 0);
  f = client("");
  EXPECT_TRUE(f->ConnectTo("127.0.0.1", test::SshTestServer::user(), "")) << f->FailureText();
  ::kill(agent, SIGTERM);
  ::unsetenv("SSH_AUTH_SOCK");
}

TEST_F(SftpUpload, MirrorsTheSiteAndSendsOnlyWhatChanged) {
  test::makeSite(site_.path());
  const struct {
    std::function<void()> change;
    int sent;
    std::vector<std::string> lines;  // that the log must hold
  } steps[] = {
      {[] {}, 10, {"OK: deep.html"}},
      {[] {}, 0, {"Envoi de 0 fichiers termin\xE9"}},
      {[&] {
         test::putFile(site_.path() / "index.html", "nouvelle page");
         fs::remove_all(site_.path() / "a/b/c");
         fs::remove(site_.path() / "css/site.css");
       },
       1,
       {"OK: index.html", "Supprim\xE9: a/b/c/deep.html", "Supprim\xE9: css/site.css",
        "Dossier supprim\xE9: a/b/c"}},
  };
  for (size_t i = 0; i < std::size(steps); ++i) {
    steps[i].change();
    rec_.log.clear();
    auto f = client();
    EXPECT_TRUE(upload(*f)) << i << ": " << f->FailureText();
    EXPECT_EQ(f->FilesSent, steps[i].sent) << i;
    for (const auto& line : steps[i].lines)
      EXPECT_NE(std::find(rec_.log.begin(), rec_.log.end(), line), rec_.log.end()) << i << line;
    // Equal to the site, no temporary file left, nothing else.
    EXPECT_EQ(remoteTree(), "") << i;
  }
}

TEST_F(SftpUpload, ReconnectsOnceWhenTheServerRestartsAndGivesUpOnAStall) {
  test::makeSite(site_.path());
  int oks = 0;
  rec_.onLog = [&](const std::string& line) {
    if (line.rfind("OK: ", 0) == 0 && ++oks == 2) server_->start();  // every session killed
  };
  auto f = client();
  EXPECT_TRUE(upload(*f)) << f->FailureText();
  EXPECT_EQ(std::count(rec_.log.begin(), rec_.log.end(), "Connexion perdue: reconnexion..."), 1);
  EXPECT_EQ(remoteTree(), "");

  // A server that stops answering mid-upload: the wait ends at the time-out, the reconnection
  // fails the same way, and the file stays to be sent.
  test::putFile(site_.path() / "index.html", test::patterned(4 << 20, 7));
  test::putFile(site_.path() / "liste.html", "autre");
  rec_.log.clear();
  rec_.onLog = {};
  rec_.onProgress = [&](const TFTPProgressInfo& p) {
    if (p.BytesSent > 0) server_->pause();
  };
  auto g = client();
  g->SetReceiveTimeout(1000);
  g->SetConnectTimeout(1000);
  EXPECT_FALSE(upload(*g));
  server_->resume();
  EXPECT_NE(
      std::find(rec_.log.begin(), rec_.log.end(), "Raison: d\xE9lai d\xE9pass\xE9 apr\xE8s 1 s"),
      rec_.log.end());
  EXPECT_EQ(rec_.log.back(),
            "Envoi inachev\xE9 : 0 fichiers envoy\xE9s, 1 \xE9"
            "chec");
  rec_.onProgress = {};
  auto h = client();
  EXPECT_TRUE(upload(*h)) << h->FailureText();
  EXPECT_EQ(h->FilesSent, 2);
  EXPECT_EQ(remoteTree(), "");
}

}  // namespace
}  // namespace lignado
