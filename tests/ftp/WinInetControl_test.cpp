#include "ftp/WinInetControl.h"

#include <gtest/gtest.h>

#include "ftp/FtpRecorder.h"
#include "ftp/SimpFTP.h"

namespace lignado {
namespace {

TEST(WinInetControl, DefaultsAndCompanionValues) {
  TSimpleFTP ftp;
  EXPECT_EQ(ftp.Port, 21);
  EXPECT_EQ(ftp.ConnectRetries(), 3u);
  EXPECT_EQ(ftp.ConnectTimeout(), 300000u);
  EXPECT_EQ(ftp.State(), wsDisconnected);
  EXPECT_TRUE(ftp.SilentExceptions);
  EXPECT_EQ(ftp.TransferFlags(), 2u);
  EXPECT_EQ(ftp.ConnectFlags(), 0u);  // active mode
  EXPECT_EQ(ftp.FileSystemType(), ftUnix);
  EXPECT_EQ(ftp.RemoteDir(), "");

  ftp.SetConnectTimeout(1234);
  ftp.SetConnectTimeout(0);
  EXPECT_EQ(ftp.ConnectTimeout(), 300000u);
  EXPECT_EQ(ftp.AccessType(), 1);
  ftp.SetResolveNames(rnPreConfig);
  EXPECT_EQ(ftp.AccessType(), 0);
  ftp.SetResolveNames(rnProxy);
  EXPECT_EQ(ftp.AccessType(), 3);
  EXPECT_EQ(ftp.ReloadFlags(), 0x80000000u);
  ftp.SetEnableCache(true);
  EXPECT_EQ(ftp.ReloadFlags(), 0u);
  ftp.SetPassive(true);
  EXPECT_EQ(ftp.ConnectFlags(), 0x08000000u);
  ftp.SetPassive(false);
  EXPECT_EQ(ftp.ConnectFlags(), 0u);
  ftp.SetTransferType(ttAscii);
  EXPECT_EQ(ftp.TransferFlags(), 1u);
  ftp.SetTransferType(ttUnknown);
  EXPECT_EQ(ftp.TransferFlags(), 0u);
}

TEST(WinInetControl, StateTexts) {
  TSimpleFTP ftp;
  ftp.HostName = "ftp.example.org";
  const std::pair<TWinInetState, const char*> cases[] = {
      {wsDisconnecting, "Disconnecting from ftp.example.org"},
      {wsDisconnected, "No connection"},
      {wsConnecting, "Connecting to ftp.example.org"},
      {wsConnected, "Connected to ftp.example.org"},
      {wsResolving, "Resolving name ftp.example.org"},
      {wsResolved, "Resolved name ftp.example.org"},
      {static_cast<TWinInetState>(6), "Unknown state!  Contact support ..."},
  };
  for (const auto& [state, text] : cases) {
    ftp.SetState(state);
    EXPECT_EQ(ftp.StateText(), text);
  }
}

TEST(WinInetControl, SetStateTellsListenersOnlyOfChanges) {
  test::FtpRecorder owner;
  TSimpleFTP ftp(&owner);
  ftp.HostName = "h";
  EXPECT_FALSE(ftp.SetState(wsDisconnected));
  EXPECT_TRUE(ftp.SetState(wsResolving));
  EXPECT_EQ(owner.quickStatus, "");  // QuickProgress is off
  ftp.QuickProgress = true;
  EXPECT_TRUE(ftp.SetState(wsConnecting));
  EXPECT_EQ(owner.quickStatus, "Connecting to h");
  EXPECT_FALSE(ftp.SetState(wsConnecting));
  EXPECT_TRUE(ftp.SetState(wsConnected));
  EXPECT_EQ(owner.quickStatus, "Connected to h");
  EXPECT_EQ(owner.states, (std::vector<TWinInetState>{wsResolving, wsConnecting, wsConnected}));
}

TEST(WinInetControl, HandleStatusMapsNotificationsToStates) {
  TSimpleFTP ftp;
  const std::pair<int32_t, TWinInetState> cases[] = {
      {10, wsResolving}, {11, wsResolved},      {20, wsConnecting},
      {21, wsConnected}, {50, wsDisconnecting}, {51, wsDisconnected},
  };
  for (const auto& [status, state] : cases) {
    ftp.HandleStatus(status, nullptr, 0);
    EXPECT_EQ(ftp.State(), state) << status;
  }
  ftp.HandleStatus(30, nullptr, 0);
  EXPECT_EQ(ftp.State(), wsDisconnected);
}

TEST(WinInetControl, ConnectionErrorMessages) {
  TSimpleFTP ftp;
  ftp.HostName = "ftp.example.org";
  ftp.UserName = "paul";
  ftp.SilentExceptions = false;
  const std::pair<uint32_t, const char*> cases[] = {
      {12002, "Connection to ftp.example.org timed out"},
      {12004, "Internal WININET error"},
      {12007, "Unable to resolve host name 'ftp.example.org'"},
      {12013, "Bad user name: 'paul' connecting to ftp.example.org"},
      {12014, "Bad password connecting to ftp.example.org"},
      {12015, "Unable to connect to ftp.example.org"},
      {12029, "Unable to connect to ftp.example.org"},
      {12030, "General Connection Error to ftp.example.org"},
      {0, "General Connection Error to ftp.example.org"},
  };
  for (const auto& [code, message] : cases) {
    ftp.SetState(wsConnected);
    try {
      ftp.RaiseConnectError(code);
      ADD_FAILURE() << "no exception for " << code;
    } catch (const EWinInetError& e) {
      EXPECT_EQ(std::string(e.what()), message);
    }
    EXPECT_EQ(ftp.State(), wsDisconnected);
  }
  ftp.SilentExceptions = true;
  ftp.SetState(wsConnected);
  EXPECT_NO_THROW(ftp.RaiseConnectError(12014));
  EXPECT_EQ(ftp.State(), wsDisconnected);
}

TEST(WinInetControl, ConnectWhileConnectedOpensNothing) {
  test::FtpRecorder owner;
  TSimpleFTP ftp(&owner);
  EXPECT_EQ(ftp.LastResponseText(), "No error description available");
  ftp.SetState(wsConnected);
  EXPECT_TRUE(ftp.TWinInetControl::Connect());
  EXPECT_EQ(ftp.SessionHandle(), nullptr);
  EXPECT_TRUE(ftp.Disconnect());
  EXPECT_EQ(ftp.State(), wsDisconnected);
  EXPECT_TRUE(ftp.Disconnect());
  EXPECT_EQ(owner.disconnected, 1);
}

}  // namespace
}  // namespace lignado
