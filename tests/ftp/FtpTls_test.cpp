#include "ftp/FtpTls.h"

#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>

#include "TestSupport.h"
#include "ftp/FtpTestServer.h"
#include "ftp/SimpFTP.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::FtpServerOptions;
using test::FtpTestServer;
using test::TempDir;

TEST(FtpTls, FingerprintsAsUsersTypeThem) {
  const std::string hex = "00112233445566778899AABBCCDDEEFF00112233445566778899AABBCCDDEEFF";
  const std::pair<std::string, std::string> cases[] = {
      {hex, hex},
      {"00:11:22:33:44:55:66:77:88:99:aa:bb:cc:dd:ee:ff:00:11:22:33:44:55:66:77:88:99:AA:BB:CC:"
       "DD:EE:FF",
       hex},
      {" 0011 2233-4455 " + hex.substr(12), hex},
      {hex.substr(2), ""},        // too short
      {hex + "00", ""},           // too long
      {"G" + hex.substr(1), ""},  // not hex
      {"", ""},
  };
  for (const auto& [typed, normal] : cases) EXPECT_EQ(NormalizeFingerprint(typed), normal) << typed;
}

// A peer that has gone: the handshake fails instead of SIGPIPE ending the program.
TEST(FtpTls, PeerGoneFailsWithoutSignal) {
  int fds[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM, 0, fds), 0);
  ::close(fds[1]);
  TlsContext context(TlsVersions::From12);
  auto stream = TlsStream::Client(context, fds[0], "serveur", nullptr);
  ASSERT_TRUE(stream);
  EXPECT_EQ(stream->Handshake(), TlsIo::Failed);
  ::close(fds[0]);
}

class Tls : public ::testing::Test {
 protected:
  void start(FtpServerOptions o) {
    server_ = std::make_unique<FtpTestServer>(served_.path(), o);
    ASSERT_TRUE(server_->running()) << server_->error();
  }
  void configure(TSimpleFTP& ftp, FtpTls mode, const std::string& fingerprint = "") {
    ftp.HostName = "127.0.0.1";
    ftp.Port = server_->port();
    ftp.UserName = test::kFtpUser;
    ftp.Password = test::kFtpPassword;
    ftp.SetConnectTimeout(5000);
    ftp.SetReceiveTimeout(5000);
    ftp.Tls = mode;
    ftp.TlsFingerprint = fingerprint;
  }
  TempDir served_, local_;
  std::unique_ptr<FtpTestServer> server_;
};

TEST_F(Tls, SelfSignedCertificateIsRefusedUntilItsFingerprintIsGiven) {
  FtpServerOptions o;
  o.tls = "require";  // no login and no data connection in clear text
  o.requireReuse = true;
  start(o);
  const std::string fingerprint = server_->fingerprint();
  ASSERT_EQ(fingerprint.size(), 95u);

  TSimpleFTP refused;
  configure(refused, FtpTls::Auto);
  EXPECT_FALSE(refused.Connect());
  EXPECT_EQ(refused.FailureText(),
            "certificat refus\xE9 (certificat auto-sign\xE9), empreinte SHA-256 " + fingerprint);
  EXPECT_EQ(refused.RefusedFingerprint(), fingerprint);
  EXPECT_EQ(refused.State(), wsDisconnected);

  // Given as a user may type it: lower case, without colons. Both kinds of data connection
  // carry the files under TLS, resuming the control session as the server demands.
  std::string typed;
  for (char c : fingerprint)
    if (c != ':') typed += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::string data = test::patterned(3 * 1024 * 1024 + 5, 11);
  test::putFile(local_.path() / "f.bin", data);
  for (bool passive : {true, false}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    TSimpleFTP ftp;
    configure(ftp, FtpTls::Require, typed);
    ftp.SetPassive(passive);
    ASSERT_TRUE(ftp.Connect()) << ftp.FailureText();
    EXPECT_TRUE(ftp.Secure());
    EXPECT_EQ(ftp.RefusedFingerprint(), "");
    EXPECT_EQ(ftp.CertificateFingerprint(), fingerprint);
    for (int i = 0; i < 2; ++i) {  // the second resumes a session the first left behind
      ASSERT_TRUE(ftp.PutFileAs((local_.path() / "f.bin").string(), "/f.bin")) << ftp.FailureText();
      EXPECT_TRUE(test::fileBytes(served_.path() / "f.bin") == data);
      fs::remove(served_.path() / "f.bin");
    }
    EXPECT_TRUE(ftp.ForceRemoteDir(passive ? "/passif" : "/actif"));
    EXPECT_TRUE(ftp.Disconnect());
  }

  // Another certificate's fingerprint does not open the door: the certificate changed, and
  // both fingerprints are named.
  for (FtpTls mode : {FtpTls::Auto, FtpTls::Require}) {
    TSimpleFTP other;
    configure(other, mode, std::string(64, 'a'));
    EXPECT_FALSE(other.Connect());
    EXPECT_EQ(other.RefusedFingerprint(), fingerprint);
    EXPECT_EQ(other.FailureText(),
              "le certificat du serveur a chang\xE9 (certificat auto-sign\xE9) : empreinte SHA-256 "
              "attendue " +
                  FingerprintText(std::string(64, 'A')) + ", re\xE7ue " + fingerprint);
  }
}

// A server that refuses AUTH TLS gets the password in clear only when nothing asks for TLS: not
// when TLS is required, nor when a certificate is trusted by its fingerprint.
TEST_F(Tls, PlainFtpOnlyWhenNothingTrustsACertificate) {
  const std::string log = (local_.path() / "commandes.txt").string();
  FtpServerOptions o;
  o.commandLog = log;
  start(o);
  const std::string fp(64, 'B');
  const struct {
    FtpTls mode;
    std::string fingerprint;
    bool connects;
  } cases[] = {
      {FtpTls::Auto, fp, false},
      {FtpTls::Require, "", false},
      {FtpTls::Auto, "", true},
      {FtpTls::Off, fp, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(static_cast<int>(c.mode));
    SCOPED_TRACE(c.fingerprint);
    test::putFile(log, "");
    TSimpleFTP ftp;
    configure(ftp, c.mode, c.fingerprint);
    EXPECT_EQ(ftp.Connect(), c.connects);
    EXPECT_EQ(ftp.PlainRefused(), !c.connects);
    const std::string received = test::fileBytes(log);
    EXPECT_EQ(received.find("PASS") != std::string::npos, c.connects) << received;
    EXPECT_EQ(received.find("USER") != std::string::npos, c.connects) << received;
    if (!c.connects) {
      EXPECT_EQ(ftp.FailureText(), "le serveur refuse TLS (500 Command \"AUTH\" not understood.)");
    }
    EXPECT_EQ(ftp.CertificateFingerprint(), "");
  }
}

// A server that accepts TLS 1.3 only takes several files in a row, each data connection
// resuming the control session as it demands.
TEST_F(Tls, ServerThatRefusesTls12) {
  FtpServerOptions o;
  o.tls = "require";
  o.requireReuse = true;
  o.tls13Only = true;
  start(o);
  test::putFile(local_.path() / "p.html", "page");
  TSimpleFTP ftp;
  configure(ftp, FtpTls::Require, server_->fingerprint());
  ASSERT_TRUE(ftp.Connect()) << ftp.FailureText();
  for (int i = 0; i < 3; ++i)
    ASSERT_TRUE(ftp.PutFileAs((local_.path() / "p.html").string(), "/p" + std::to_string(i)))
        << i << ": " << ftp.FailureText();
  EXPECT_EQ(test::fileBytes(served_.path() / "p2"), "page");
  EXPECT_TRUE(ftp.Disconnect());
}

TEST_F(Tls, ServerThatRequiresTlsAndServerThatRefusesIt) {
  FtpServerOptions o;
  o.tls = "require";
  start(o);
  TSimpleFTP clear;
  configure(clear, FtpTls::Off);
  EXPECT_FALSE(clear.Connect());
  EXPECT_EQ(clear.FailureText(), "550 SSL/TLS required on the control channel.");

  start({});  // plain FTP: AUTH is an unknown command
  TSimpleFTP required;
  configure(required, FtpTls::Require);
  EXPECT_FALSE(required.Connect());
  EXPECT_EQ(required.FailureText(), "le serveur refuse TLS (500 Command \"AUTH\" not understood.)");

  TSimpleFTP automatic;
  configure(automatic, FtpTls::Auto);
  ASSERT_TRUE(automatic.Connect());
  EXPECT_FALSE(automatic.Secure());
  EXPECT_TRUE(automatic.TlsRefused());
  test::putFile(local_.path() / "g.html", "clair");
  EXPECT_TRUE(automatic.PutFileAs((local_.path() / "g.html").string(), "/g.html"));
  EXPECT_EQ(test::fileBytes(served_.path() / "g.html"), "clair");
}

}  // namespace
}  // namespace lignado
