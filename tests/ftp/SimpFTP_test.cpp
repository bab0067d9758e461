#include "ftp/SimpFTP.h"

#include <gtest/gtest.h>

#include <memory>

#include "TestSupport.h"
#include "ftp/FtpRecorder.h"
#include "ftp/FtpTestServer.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::FtpTestServer;
using test::TempDir;

class SimpFtp : public ::testing::Test {
 protected:
  void SetUp() override {
    server_ = std::make_unique<FtpTestServer>(served_.path());
    ASSERT_TRUE(server_->running()) << server_->error();
  }
  void configure(TSimpleFTP& ftp) {
    ftp.HostName = "127.0.0.1";
    ftp.Port = server_->port();
    ftp.UserName = test::kFtpUser;
    ftp.Password = test::kFtpPassword;
    ftp.SetConnectTimeout(5000);
    ftp.SetReceiveTimeout(5000);
  }
  fs::path served() const { return served_.path(); }
  fs::path local() const { return local_.path(); }

  TempDir served_, local_;
  std::unique_ptr<FtpTestServer> server_;
};

TEST_F(SimpFtp, ConnectAndDisconnectGoThroughTheStatesInOrder) {
  test::FtpRecorder owner;
  TSimpleFTP ftp(&owner);
  configure(ftp);
  const auto& states = owner.states;
  ASSERT_TRUE(ftp.Connect());
  EXPECT_EQ(states,
            (std::vector<TWinInetState>{wsResolving, wsResolved, wsConnecting, wsConnected}));
  EXPECT_EQ(ftp.State(), wsConnected);
  EXPECT_EQ(owner.connected, 1);
  EXPECT_EQ(ftp.LoginResponse, "230 Login successful.");
  EXPECT_EQ(ftp.RemoteDir(), "/");
  EXPECT_GT(owner.processed, 0);

  // Connected already: nothing is opened again.
  RemoteLink* link = ftp.ConnectionHandle();
  ASSERT_TRUE(ftp.Connect());
  EXPECT_EQ(ftp.ConnectionHandle(), link);
  EXPECT_EQ(states.size(), 4u);

  EXPECT_TRUE(ftp.Disconnect());
  EXPECT_EQ(states, (std::vector<TWinInetState>{wsResolving, wsResolved, wsConnecting, wsConnected,
                                                wsDisconnecting, wsDisconnected}));
  EXPECT_EQ(owner.disconnected, 1);
  EXPECT_EQ(ftp.ConnectionHandle(), nullptr);
  EXPECT_EQ(ftp.SessionHandle(), nullptr);
}

TEST_F(SimpFtp, WrongPasswordFailsAndLeavesNothingOpen) {
  test::FtpRecorder owner;
  TSimpleFTP ftp(&owner);
  configure(ftp);
  ftp.Password = "wrong";
  EXPECT_FALSE(ftp.Connect());
  EXPECT_EQ(owner.loginUser, test::kFtpUser);
  EXPECT_EQ(ftp.State(), wsDisconnected);
  EXPECT_EQ(ftp.SessionHandle(), nullptr);
  EXPECT_EQ(ftp.ConnectionHandle(), nullptr);
  EXPECT_EQ(ftp.LastResponseText(), "530 Authentication failed.");

  ftp.SilentExceptions = false;
  try {
    ftp.Connect();
    FAIL() << "no exception";
  } catch (const EWinInetError& e) {
    EXPECT_EQ(std::string(e.what()), "Bad password connecting to 127.0.0.1");
  }
  EXPECT_EQ(ftp.SessionHandle(), nullptr);

  // The login event may still supply the right password.
  owner.onLogin = [](std::string&, std::string& password) { password = test::kFtpPassword; };
  EXPECT_TRUE(ftp.Connect());
}

TEST_F(SimpFtp, RefusedAndUnresolvableHosts) {
  TSimpleFTP ftp;
  configure(ftp);
  ftp.Port = test::freePort();
  EXPECT_FALSE(ftp.Connect());
  EXPECT_EQ(ftp.State(), wsDisconnected);
  EXPECT_EQ(ftp.SessionHandle(), nullptr);
  EXPECT_EQ(ftp.ConnectionHandle(), nullptr);
  ftp.SilentExceptions = false;
  try {
    ftp.Connect();
    FAIL() << "no exception";
  } catch (const EWinInetError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to connect to 127.0.0.1");
  }
  ftp.HostName = "";
  try {
    ftp.Connect();
    FAIL() << "no exception";
  } catch (const EWinInetError& e) {
    EXPECT_EQ(std::string(e.what()), "Unable to resolve host name ''");
  }
  EXPECT_EQ(ftp.State(), wsDisconnected);
  EXPECT_EQ(ftp.SessionHandle(), nullptr);

  // A name goes through the resolver (and the loopback addresses it gives, in turn).
  ftp.HostName = "localhost";
  ftp.Port = server_->port();
  EXPECT_TRUE(ftp.Connect());
}

TEST_F(SimpFtp, ChangeDirBeforeConnectIsAppliedByConnect) {
  fs::create_directories(served() / "www");
  test::FtpRecorder owner;
  TSimpleFTP ftp(&owner);
  configure(ftp);
  EXPECT_TRUE(ftp.ChangeDir("/www/"));
  EXPECT_EQ(ftp.RemoteDir(), "/www/");
  EXPECT_EQ(owner.directoryChanges, 0);
  ASSERT_TRUE(ftp.Connect());
  EXPECT_EQ(owner.directoryChanges, 1);
  EXPECT_EQ(ftp.RemoteDir(), "/www");  // now the server's answer
  EXPECT_FALSE(ftp.ChangeDir("/absent"));
  EXPECT_EQ(ftp.RemoteDir(), "/www");
  ftp.SilentExceptions = false;
  try {
    ftp.ChangeDir("/absent");
    FAIL() << "no exception";
  } catch (const ESimpleFTPError& e) {
    EXPECT_EQ(std::string(e.what()), "Couldn't change to directory /absent");
  }
  EXPECT_THROW(ftp.SetFileSystemType(ftUnknown), ESimpleFTPError);
  ftp.SilentExceptions = true;
  ftp.SetFileSystemType(ftUnknown);  // ignored while connected
  EXPECT_EQ(ftp.FileSystemType(), ftUnix);
}

TEST_F(SimpFtp, ForceRemoteDirAndRemoteDirExists) {
  fs::create_directories(served() / "a");
  TSimpleFTP ftp;
  configure(ftp);
  ftp.SilentExceptions = false;
  EXPECT_THROW(ftp.ForceRemoteDir("/a"), ESimpleFTPError);  // not connected
  EXPECT_THROW(ftp.RemoteDirExists("/a"), ESimpleFTPError);
  ftp.SilentExceptions = true;
  EXPECT_FALSE(ftp.ForceRemoteDir("/a"));
  EXPECT_TRUE(ftp.RemoteDirExists("/anything"));  // only recorded while not connected
  ASSERT_TRUE(ftp.Connect());

  EXPECT_FALSE(ftp.ForceRemoteDir("/a"));  // exists: false, and the server is now there
  EXPECT_EQ(ftp.RemoteDir(), "/a");
  EXPECT_TRUE(ftp.ForceRemoteDir("/a/bb/cc"));
  EXPECT_TRUE(fs::is_directory(served() / "a/bb/cc"));
  EXPECT_TRUE(ftp.RemoteDirExists("/a/bb/cc"));
  EXPECT_EQ(ftp.RemoteDir(), "/a");  // restored
  EXPECT_FALSE(ftp.RemoteDirExists("/a/zz"));
  EXPECT_EQ(ftp.RemoteDir(), "/a");
  EXPECT_TRUE(ftp.ForceRemoteDir("rel"));  // a bare name has no parent to make
  EXPECT_TRUE(fs::is_directory(served() / "a/rel"));
  // A trailing separator names the same directory: made by this call, so true.
  EXPECT_TRUE(ftp.ForceRemoteDir("/a/neuf/"));
  EXPECT_TRUE(fs::is_directory(served() / "a/neuf"));
  EXPECT_FALSE(ftp.ForceRemoteDir("/a/neuf/"));
}

TEST_F(SimpFtp, ForceRemoteDirRefusedByTheServer) {
  test::FtpServerOptions refusing;
  refusing.refuse = {"non"};
  server_ = std::make_unique<FtpTestServer>(served(), refusing);
  ASSERT_TRUE(server_->running()) << server_->error();
  TSimpleFTP ftp;
  configure(ftp);
  ASSERT_TRUE(ftp.Connect());
  EXPECT_FALSE(ftp.ForceRemoteDir("/non/sous"));
  EXPECT_FALSE(fs::exists(served() / "non"));
  ftp.SilentExceptions = false;
  try {
    ftp.ForceRemoteDir("/x/non");
    FAIL() << "no exception";
  } catch (const ESimpleFTPError& e) {
    EXPECT_EQ(std::string(e.what()), "Error creating directory /x/non");
  }
  EXPECT_TRUE(fs::is_directory(served() / "x"));
}

TEST_F(SimpFtp, PutFileNamesTheRemoteFileInTheCurrentDirectory) {
  fs::create_directories(served() / "www");
  test::putFile(local() / "index.html", "<html>accueil</html>");
  test::putFile(local() / "page.html", "<html>page</html>");
  TSimpleFTP ftp;
  configure(ftp);
  ftp.LocalDir = local().string();  // no trailing separator: one is added
  ASSERT_TRUE(ftp.Connect());
  ASSERT_TRUE(ftp.ChangeDir("/www"));
  EXPECT_TRUE(ftp.PutFile((local() / "index.html").string()));
  EXPECT_TRUE(ftp.PutFile("page.html"));
  EXPECT_EQ(test::fileBytes(served() / "www/index.html"), "<html>accueil</html>");
  EXPECT_EQ(test::fileBytes(served() / "www/page.html"), "<html>page</html>");

  // Text mode: the server gets CR LF line ends and stores its own (LF here).
  test::putFile(local() / "texte.txt", "un\ndeux\r\ntrois\n");
  ftp.SetTransferType(ttAscii);
  EXPECT_TRUE(ftp.PutFile("texte.txt"));
  EXPECT_EQ(test::fileBytes(served() / "www/texte.txt"), "un\ndeux\ntrois\n");
  ftp.SetTransferType(ttBinary);
  EXPECT_TRUE(ftp.PutFile("texte.txt"));
  EXPECT_EQ(test::fileBytes(served() / "www/texte.txt"), "un\ndeux\r\ntrois\n");
}

TEST_F(SimpFtp, PutFileAsFailures) {
  test::putFile(local() / "f.html", "abc");
  std::string file = (local() / "f.html").string();
  std::string missing = (local() / "absent.html").string();
  TSimpleFTP ftp;
  configure(ftp);
  EXPECT_FALSE(ftp.PutFileAs(file, "/f.html"));  // not connected
  ftp.SilentExceptions = false;
  try {
    ftp.PutFileAs(file, "/f.html");
    FAIL() << "no exception";
  } catch (const ESimpleFTPError& e) {
    EXPECT_EQ(std::string(e.what()), "Not connected!");
  }
  ASSERT_TRUE(ftp.Connect());
  try {
    ftp.PutFileAs(missing, "/absent.html");
    FAIL() << "no exception";
  } catch (const ESimpleFTPError& e) {
    EXPECT_EQ(std::string(e.what()),
              "Error putting " + missing + " to /absent.html: local file not found");
  }
  try {
    ftp.PutFileAs(file, "/no/such/dir/f.html");
    FAIL() << "no exception";
  } catch (const ESimpleFTPError& e) {
    EXPECT_EQ(std::string(e.what()), "Error putting " + file + " to /no/such/dir/f.html");
  }
  ftp.SilentExceptions = true;
  EXPECT_FALSE(ftp.PutFileAs(missing, "/absent.html"));
  // A folder cannot be measured: a false result, nothing raised, nothing stored.
  EXPECT_FALSE(ftp.PutFileAs(local().string(), "/dossier"));
  EXPECT_FALSE(fs::exists(served() / "dossier"));
  // The link is still good after these refusals.
  EXPECT_TRUE(ftp.PutFileAs(file, "/f.html"));
  EXPECT_EQ(test::fileBytes(served() / "f.html"), "abc");
}

TEST_F(SimpFtp, ProgressIsClampedToTheFileSize) {
  test::putFile(local() / "f.bin", std::string(1000, 'x'));
  std::string file = (local() / "f.bin").string();
  test::FtpRecorder owner;
  TSimpleFTP ftp(&owner);  // not connected: the send fails after the progress was reset
  ftp.QuickProgress = true;
  auto notify = [&](int32_t status, uint32_t count) { ftp.HandleStatus(status, &count, 4); };

  EXPECT_FALSE(ftp.PutFileAs(file, "/f.bin"));
  EXPECT_EQ(ftp.Progress().BytesSent, 0);
  EXPECT_EQ(ftp.Progress().FileSize, 1000);
  EXPECT_EQ(ftp.Progress().FileName, "f.bin");
  notify(31, 300);
  EXPECT_EQ(owner.minor, std::make_pair(100, 30));
  EXPECT_EQ(owner.labelMinor, "f.bin");
  EXPECT_EQ(owner.labelMajor, "");  // no overall count
  notify(41, 0);                    // a zero count means done
  notify(31, 50);                   // past the size
  ftp.PutFileAs(file, "/f.bin");
  notify(31, 625);
  EXPECT_EQ(owner.minor.second, 62);  // 62.5 rounds to the even neighbour
  notify(31, 600);
  ftp.HandleStatus(20, nullptr, 0);  // not a byte count
  EXPECT_EQ(owner.bytesSent, (std::vector<int64_t>{300, 1000, 1000, 625, 1000}));
  EXPECT_EQ(owner.minor.second, 100);
}

TEST_F(SimpFtp, TransfersArriveByteForByteInBothModes) {
  const std::string big = test::patterned(5 * 1024 * 1024 + 17, 7);
  test::putFile(local() / "gros.bin", big);
  for (bool passive : {false, true}) {
    SCOPED_TRACE(passive ? "passive" : "active");
    test::FtpRecorder owner;
    TSimpleFTP ftp(&owner);
    configure(ftp);
    ftp.SetPassive(passive);
    const auto& reported = owner.bytesSent;
    ASSERT_TRUE(ftp.Connect());
    std::string remote = passive ? "/passif.bin" : "/actif.bin";
    ASSERT_TRUE(ftp.PutFileAs((local() / "gros.bin").string(), remote));
    EXPECT_TRUE(test::fileBytes(served() / remote.substr(1)) == big);
    ASSERT_GT(reported.size(), 2u);
    EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
    EXPECT_EQ(reported.back(), static_cast<int64_t>(big.size()));
    // The file system type may change again once disconnected.
    ftp.Disconnect();
    ftp.SetFileSystemType(ftUnknown);
    EXPECT_EQ(ftp.FileSystemType(), ftUnknown);
    EXPECT_EQ(ftp.IncludeRemoteSlash("/www"), "/www");
    ftp.SetFileSystemType(ftUnix);
    EXPECT_EQ(ftp.IncludeRemoteSlash(""), "/");
    EXPECT_EQ(ftp.IncludeRemoteSlash("/www"), "/www/");
    EXPECT_EQ(ftp.IncludeRemoteSlash("/www/"), "/www/");
  }
}

}  // namespace
}  // namespace lignado
