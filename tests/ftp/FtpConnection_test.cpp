#include "ftp/FtpConnection.h"

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <functional>
#include <memory>

#include "TestSupport.h"
#include "ftp/FtpRecorder.h"
#include "ftp/FtpTestServer.h"
#include "ftp/SimpFTP.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::FtpServerOptions;
using test::FtpTestServer;
using test::TempDir;

constexpr uint32_t kTimeoutMs = 1000;

void configure(TSimpleFTP& ftp, const FtpTestServer& server,
               const std::string& host = "127.0.0.1") {
  ftp.HostName = host;
  ftp.Port = server.port();
  ftp.UserName = test::kFtpUser;
  ftp.Password = test::kFtpPassword;
  ftp.SetConnectTimeout(kTimeoutMs);
  ftp.SetReceiveTimeout(kTimeoutMs);
}

// How long a call took, in seconds.
template <typename F>
double timed(F&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// Descriptors this process holds: a failed call must give back every one it opened.
size_t openDescriptors() {
  return static_cast<size_t>(std::distance(fs::directory_iterator("/proc/self/fd"), {}));
}

std::string connectError(TSimpleFTP& ftp) {
  ftp.SilentExceptions = false;
  try {
    ftp.Connect();
  } catch (const EWinInetError& e) {
    ftp.SilentExceptions = true;
    return e.what();
  }
  ftp.SilentExceptions = true;
  return "connected";
}

TEST(FtpBadServer, GarbageAndHangUpFailTheConnection) {
  TempDir root;
  const size_t descriptors = openDescriptors();
  for (const char* mode : {"garbage", "close"}) {
    SCOPED_TRACE(mode);
    FtpServerOptions o;
    o.mode = mode;
    FtpTestServer server(root.path(), o);
    ASSERT_TRUE(server.running()) << server.error();
    TSimpleFTP ftp;
    configure(ftp, server);
    EXPECT_FALSE(ftp.Connect());
    EXPECT_EQ(ftp.State(), wsDisconnected);
    EXPECT_EQ(ftp.SessionHandle(), nullptr);
    EXPECT_EQ(ftp.ConnectionHandle(), nullptr);
    EXPECT_EQ(connectError(ftp), "General Connection Error to 127.0.0.1");
  }
  EXPECT_EQ(openDescriptors(), descriptors);
}

TEST(FtpBadServer, EndlessPreliminaryRepliesTimeOut) {
  TempDir root;
  FtpServerOptions o;
  o.mode = "wait";
  FtpTestServer server(root.path(), o);
  ASSERT_TRUE(server.running()) << server.error();
  TSimpleFTP ftp;
  configure(ftp, server);
  EXPECT_LT(timed([&] { EXPECT_EQ(connectError(ftp), "Connection to 127.0.0.1 timed out"); }),
            10.0);
  EXPECT_EQ(ftp.State(), wsDisconnected);
  EXPECT_EQ(ftp.ConnectionHandle(), nullptr);
}

TEST(FtpBadServer, ServerThatStopsAnsweringTimesOutEveryCall) {
  TempDir root, local;
  test::putFile(local.path() / "f.bin", test::patterned(3 * 1024 * 1024, 3));
  std::string file = (local.path() / "f.bin").string();
  FtpTestServer server(root.path());
  ASSERT_TRUE(server.running()) << server.error();

  // Stopped before the greeting: the kernel accepts, nobody speaks.
  server.pause();
  TSimpleFTP ftp;
  configure(ftp, server);
  EXPECT_LT(timed([&] { EXPECT_EQ(connectError(ftp), "Connection to 127.0.0.1 timed out"); }),
            10.0);
  EXPECT_EQ(ftp.ConnectionHandle(), nullptr);
  server.resume();

  // Stopped in the middle of a session: each call ends within its time-out.
  for (int step = 0; step < 3; ++step) {
    SCOPED_TRACE(step);
    TSimpleFTP f;
    configure(f, server);
    ASSERT_TRUE(f.Connect());
    server.pause();
    bool result = true;
    double took = timed([&] {
      result = step == 0   ? f.ChangeDir("/")
               : step == 1 ? f.ForceRemoteDir("/nouveau")
                           : f.PutFileAs(file, "/f.bin");
    });
    EXPECT_FALSE(result);
    EXPECT_LT(took, 10.0);
    EXPECT_EQ(f.State(), wsDisconnected);
    ASSERT_NE(f.ConnectionHandle(), nullptr);
    EXPECT_FALSE(f.ConnectionHandle()->alive());
    // Nothing reconnects on its own; further calls fail at once.
    EXPECT_LT(timed([&] { EXPECT_FALSE(f.PutFileAs(file, "/f.bin")); }), 0.5);
    server.resume();
    // An explicit Connect opens a fresh link.
    EXPECT_TRUE(f.Connect());
    EXPECT_TRUE(f.ConnectionHandle()->alive());
    EXPECT_EQ(f.RemoteDir(), "/");
  }
}

TEST(FtpBadServer, ServerKilledOrStoppedDuringATransfer) {
  TempDir root, local;
  test::putFile(local.path() / "f.bin", test::patterned(24 * 1024 * 1024, 4));
  const size_t descriptors = openDescriptors();
  // Under TLS too, a dropped link says so.
  for (auto [kill, tls] : {std::pair{true, false}, {false, false}, {true, true}}) {
    SCOPED_TRACE(std::string(kill ? "killed" : "stopped") + (tls ? ", TLS" : ""));
    FtpServerOptions o;
    o.tls = tls ? "require" : "off";
    FtpTestServer server(root.path(), o);
    ASSERT_TRUE(server.running()) << server.error();
    test::FtpRecorder owner;
    TSimpleFTP ftp(&owner);
    configure(ftp, server);
    ftp.Tls = tls ? FtpTls::Require : FtpTls::Off;
    ftp.TlsFingerprint = server.fingerprint();
    bool done = false;
    owner.onProgress = [&](const TFTPProgressInfo& p) {
      if (p.BytesSent < 1024 * 1024 || done) return;
      done = true;
      if (kill)
        server.stop();
      else
        server.pause();
    };
    ASSERT_TRUE(ftp.Connect());
    EXPECT_LT(
        timed([&] { EXPECT_FALSE(ftp.PutFileAs((local.path() / "f.bin").string(), "/f.bin")); }),
        10.0);
    EXPECT_TRUE(done);
    EXPECT_EQ(ftp.State(), wsDisconnected);
    EXPECT_EQ(ftp.FailureText(), kill ? "connexion perdue" : "d\xE9lai d\xE9pass\xE9 apr\xE8s 1 s");
  }
  EXPECT_EQ(openDescriptors(), descriptors);
}

TEST(FtpFailure, EveryFailureSaysWhy) {
  TempDir root, local;
  test::putFile(local.path() / "plein.html", "x");
  FtpServerOptions o;
  o.refuse = {"interdit"};
  o.full = {"plein.html"};
  FtpTestServer server(root.path(), o);
  ASSERT_TRUE(server.running()) << server.error();
  FtpServerOptions silent;
  silent.mode = "silent";
  FtpTestServer mute(root.path(), silent);
  ASSERT_TRUE(mute.running()) << mute.error();

  struct Case {
    const char* what;
    std::function<bool(TSimpleFTP&)> run;
    std::string reason;
  };
  const Case cases[] = {
      {"wrong password",
       [](TSimpleFTP& f) {
         f.Password = "faux";
         return f.Connect();
       },
       "530 Authentication failed."},
      {"nothing listens",
       [](TSimpleFTP& f) {
         f.Port = test::freePort();
         return f.Connect();
       },
       "connexion refus\xE9"
       "e"},
      {"no host name",
       [](TSimpleFTP& f) {
         f.HostName = "";
         return f.Connect();
       },
       "h\xF4te inconnu"},
      // The connection's time-out covers the greeting, however long replies may take.
      {"never greets",
       [&](TSimpleFTP& f) {
         f.Port = mute.port();
         f.SetConnectTimeout(1500);
         f.SetReceiveTimeout(60000);
         return f.Connect();
       },
       "d\xE9lai d\xE9pass\xE9 apr\xE8s 1,5 s"},
      {"disk full",
       [&](TSimpleFTP& f) {
         return f.Connect() && f.PutFileAs((local.path() / "plein.html").string(), "/plein.html");
       },
       "452 Espace disque insuffisant."},
      {"folder refused", [](TSimpleFTP& f) { return f.Connect() && f.ForceRemoteDir("/interdit"); },
       "550 Permission denied."},
      {"local file gone",
       [&](TSimpleFTP& f) {
         return f.Connect() && f.PutFileAs((local.path() / "absent.html").string(), "/a.html");
       },
       "fichier local illisible"},
      {"not connected",
       [&](TSimpleFTP& f) {
         return f.PutFileAs((local.path() / "plein.html").string(), "/plein.html");
       },
       "pas de connexion"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TSimpleFTP ftp;
    configure(ftp, server);
    EXPECT_LT(timed([&] { EXPECT_FALSE(c.run(ftp)); }), 10.0);
    EXPECT_EQ(ftp.FailureText(), c.reason);
  }
}

// Asks for a stop from its stopAt-th look on, and counts the looks.
class StoppingOwner : public TFtpObserver {
 public:
  StoppingOwner(int stopAt, TStopRequest kind) : stopAt_(stopAt), kind_(kind) {}
  TStopRequest StopRequested() override { return ++looks >= stopAt_ ? kind_ : TStopRequest::None; }
  int looks = 0;

 private:
  int stopAt_;
  TStopRequest kind_;
};

TEST(FtpStop, AStopEndsTheConnectionToASilentServerAtOnce) {
  // Listens on loopback and never accepts: the connection is made, no greeting ever comes.
  const int silent = ::socket(AF_INET, SOCK_STREAM, 0);
  ASSERT_GE(silent, 0);
  sockaddr_in addr{};
  addr.sin_family = AF_INET;
  addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t len = sizeof addr;
  ASSERT_EQ(::bind(silent, reinterpret_cast<sockaddr*>(&addr), len), 0);
  ASSERT_EQ(::listen(silent, 4), 0);
  ASSERT_EQ(::getsockname(silent, reinterpret_cast<sockaddr*>(&addr), &len), 0);
  // Both kinds of stop end the wait on the look that asks; a day-long time-out never does.
  const std::pair<int, TStopRequest> cases[] = {
      {1, TStopRequest::AfterThisFile}, {5, TStopRequest::AfterThisFile}, {12, TStopRequest::Now}};
  for (const auto& [stopAt, kind] : cases) {
    SCOPED_TRACE(stopAt);
    StoppingOwner owner(stopAt, kind);
    TSimpleFTP ftp(&owner);
    ftp.HostName = "127.0.0.1";
    ftp.Port = ntohs(addr.sin_port);
    ftp.UserName = "u";
    ftp.Password = "p";
    ftp.SetConnectTimeout(86'400'000);
    ftp.SetReceiveTimeout(86'400'000);
    EXPECT_FALSE(ftp.Connect());
    // Only the stop gives this reason; the failed connection's closing looks a few times more.
    EXPECT_EQ(ftp.FailureText(), "envoi interrompu");
    EXPECT_GE(owner.looks, stopAt);
    EXPECT_LE(owner.looks, stopAt + 10);
  }
  ::close(silent);
}

TEST(FtpProtocol, LineBreaksInNamesNeverReachTheServer) {
  TempDir root, local;
  test::putFile(local.path() / "f.html", "x");
  FtpTestServer server(root.path());
  ASSERT_TRUE(server.running()) << server.error();
  TSimpleFTP ftp;
  configure(ftp, server);
  ASSERT_TRUE(ftp.Connect());
  EXPECT_FALSE(ftp.ChangeDir("/\r\nMKD /evil"));
  EXPECT_FALSE(ftp.ForceRemoteDir("/ok\nMKD /evil2"));
  EXPECT_FALSE(ftp.PutFileAs((local.path() / "f.html").string(), "/f\r\nDELE x"));
  EXPECT_FALSE(fs::exists(root.path() / "evil"));
  EXPECT_FALSE(fs::exists(root.path() / "evil2"));
  // The link stays usable.
  EXPECT_EQ(ftp.State(), wsConnected);
  EXPECT_TRUE(ftp.PutFileAs((local.path() / "f.html").string(), "/f.html"));

  // The same holds for the login.
  TSimpleFTP bad;
  configure(bad, server);
  bad.Password = std::string(test::kFtpPassword) + "\r\nSITE x";
  EXPECT_EQ(connectError(bad), "Bad password connecting to 127.0.0.1");
}

TEST(FtpProtocol, FallsBackToPortAndPasvAndReadsLongGreetings) {
  TempDir root, local;
  const std::string data = test::patterned(300000, 5);
  test::putFile(local.path() / "f.bin", data);
  FtpServerOptions o;
  o.noExtended = true;
  o.banner = std::string(80, '=') + "\nBienvenue sur le serveur de test\n" + std::string(80, '=');
  FtpTestServer server(root.path(), o);
  ASSERT_TRUE(server.running()) << server.error();
  for (bool passive : {false, true}) {
    SCOPED_TRACE(passive ? "PASV" : "PORT");
    TSimpleFTP ftp;
    configure(ftp, server);
    ftp.SetPassive(passive);
    ASSERT_TRUE(ftp.Connect());
    std::string name = passive ? "pasv.bin" : "port.bin";
    // Twice: the second transfer goes straight to the old form.
    for (int i = 0; i < 2; ++i) {
      ASSERT_TRUE(ftp.PutFileAs((local.path() / "f.bin").string(), "/" + name));
      EXPECT_TRUE(test::fileBytes(root.path() / name) == data);
      fs::remove(root.path() / name);
    }
  }
}

TEST(FtpProtocol, Ipv6Loopback) {
  TempDir root, local;
  const std::string data = test::patterned(200000, 6);
  test::putFile(local.path() / "f.bin", data);
  FtpServerOptions o;
  o.host = "::1";
  FtpTestServer server(root.path(), o);
  if (!server.running()) GTEST_SKIP() << "no IPv6 loopback here: " << server.error();
  for (bool passive : {false, true}) {
    SCOPED_TRACE(passive ? "EPSV" : "EPRT");
    TSimpleFTP ftp;
    configure(ftp, server, passive ? "[::1]" : "::1");
    ftp.SetPassive(passive);
    ASSERT_TRUE(ftp.Connect());
    ASSERT_TRUE(ftp.PutFileAs((local.path() / "f.bin").string(), "/v6.bin"));
    EXPECT_TRUE(test::fileBytes(root.path() / "v6.bin") == data);
  }
}

}  // namespace
}  // namespace lignado
