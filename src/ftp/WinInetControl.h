#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ftp/FtpConnection.h"

namespace lignado {

class ProtocolTrace;
class TSimpleFTP;
class TWinInetControl;
class TqorvFtp;
struct TFTPProgressInfo;
struct TFindData;
struct TUploadProgress;

enum TWinInetState : uint8_t {
  wsDisconnecting,
  wsDisconnected,
  wsConnecting,
  wsConnected,
  wsResolving,
  wsResolved
};

enum TResolveNames { rnLocal, rnPreConfig, rnProxy };

class EWinInetError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

// What an owner may ask of a running upload, each time it has processed pending messages.
enum class TStopRequest { None, AfterThisFile, Now };

// Everything the FTP components tell their owner goes through this one interface: state
// changes, connection events, transfer progress, the quick-progress display, the upload log,
// and the pending window messages dispatched during every wait (where the owner may set a stop
// request). Every method does nothing unless overridden. Texts are Windows-1252.
class TFtpObserver {
 public:
  virtual ~TFtpObserver() = default;
  virtual void OnStateChange(TWinInetControl&, TWinInetState) {}
  virtual void OnConnected(TWinInetControl&) {}
  virtual void OnDisconnected(TWinInetControl&) {}
  /// May supply or change the credentials just before connecting.
  virtual void OnLogin(TSimpleFTP&, std::string& /*userName*/, std::string& /*password*/) {}
  virtual void OnTransferProgress(TSimpleFTP&, const TFTPProgressInfo&) {}
  virtual void OnDirectoryChange(TSimpleFTP&) {}
  virtual void OnFindItem(TSimpleFTP&, const TFindData&) {}
  // The quick-progress controls, reached only while QuickProgress is set.
  virtual void QuickStatus(const std::string& /*stateText*/) {}
  virtual void QuickProgressMajor(int /*max*/, int /*position*/) {}
  virtual void QuickProgressMinor(int /*max*/, int /*position*/) {}
  virtual void QuickLabelMajor(const std::string&) {}
  virtual void QuickLabelMinor(const std::string&) {}
  /// The uploader's log list: one line per step.
  virtual void LogLine(const std::string&) {}
  /// The uploader's count of what is to send and what is done (per file: OnTransferProgress).
  virtual void OnUploadProgress(TqorvFtp&, const TUploadProgress&) {}
  /// Called on every notification and at least every 100 ms of a wait.
  virtual void ProcessMessages() {}
  /// Asked right after ProcessMessages: AfterThisFile stops an upload between two files, as
  /// setting its Stopped does; Now also ends the file being sent (it stays to be sent).
  virtual TStopRequest StopRequested() { return TStopRequest::None; }
};

// The Internet session: options, connection state and its texts, status notifications, and
// the connection errors turned into messages. Abstract: TSimpleFTP adds the FTP connection.
class TWinInetControl {
 public:
  static constexpr uint32_t kDefaultConnectTimeout = 300000;
  static constexpr uint32_t kDefaultReceiveTimeout = 60000;
  static constexpr uint32_t kReloadFlag = 0x80000000u;

  /// The owner hears of everything through its observer; it may be null.
  explicit TWinInetControl(TFtpObserver* owner = nullptr);
  virtual ~TWinInetControl();
  TWinInetControl(const TWinInetControl&) = delete;
  TWinInetControl& operator=(const TWinInetControl&) = delete;

  bool QuickProgress = false;  // the component updates the owner's quick-progress display
  bool SilentExceptions = true;
  std::string HostName, UserName, Password, ProxyName;
  int32_t Port = 0;  // 0: the FTP port; only the low 16 bits count
  /// Receives every command and reply of the next connections; null: none is written.
  std::shared_ptr<ProtocolTrace> Trace;

  uint32_t ConnectRetries() const { return connectRetries_; }
  void SetConnectRetries(uint32_t value);
  uint32_t ConnectTimeout() const { return connectTimeout_; }
  void SetConnectTimeout(uint32_t ms);  // 0 stores the default
  /// How long any reply or data transfer may stay silent before the call fails.
  uint32_t ReceiveTimeout() const { return receiveTimeout_; }
  void SetReceiveTimeout(uint32_t ms);  // 0 stores the default
  int32_t AccessType() const {
    return resolveNames_ == rnLocal ? 1 : resolveNames_ == rnPreConfig ? 0 : 3;
  }
  TResolveNames ResolveNames() const { return resolveNames_; }
  void SetResolveNames(TResolveNames value) { resolveNames_ = value; }
  const std::vector<std::string>& ProxyBypassList() const { return proxyBypassList_; }
  void SetProxyBypassList(const std::vector<std::string>& lines) { proxyBypassList_ = lines; }
  bool EnableCache() const { return enableCache_; }
  void SetEnableCache(bool value) { enableCache_ = value; }
  uint32_t ReloadFlags() const { return enableCache_ ? 0 : kReloadFlag; }
  uint32_t ConnectFlags() const { return connectFlags_; }
  FtpSession* SessionHandle() const { return session_.get(); }
  TFtpObserver* Owner() const { return owner_; }

  TWinInetState State() const { return state_; }
  /// False when the state already is `state`; otherwise stores it and tells the listeners.
  bool SetState(TWinInetState state);
  std::string StateText() const;
  std::string LastResponseText() const;
  /// Why the last failed operation failed, in French: the server's reply (code and text) or
  /// the system's reason. Kept after the session closed.
  const std::string& FailureText() const { return failure_; }

  virtual bool Connect();
  virtual bool Disconnect();
  virtual void UpdateQuickProgress() = 0;
  virtual void RaiseConnectError(uint32_t errorCode);
  virtual void HandleStatus(int32_t status, const void* info, uint32_t infoLength);

 protected:
  /// Lets the owner process pending messages, then ends the file in flight if it asks.
  TStopRequest Dispatch();
  void InstallStatusCallback();
  void RemoveStatusCallback();
  void CloseSession();

  /// A null owner hears nothing.
  TFtpObserver& Notify() const { return owner_ ? *owner_ : silent_; }

  TFtpObserver* owner_;
  std::shared_ptr<FtpSession> session_;
  uint32_t connectFlags_ = 0;
  std::string failure_;
  bool destroying_ = false;

 private:
  class StatusProc : public FtpListener {
   public:
    explicit StatusProc(TWinInetControl& owner) : owner_(owner) {}
    void ftpStatus(int32_t status, uint32_t count) override;
    void ftpWaiting() override;

   private:
    TWinInetControl& owner_;
  };

  uint32_t connectRetries_ = 3;
  TResolveNames resolveNames_ = rnLocal;
  uint32_t connectTimeout_ = kDefaultConnectTimeout;
  uint32_t receiveTimeout_ = kDefaultReceiveTimeout;
  TWinInetState state_ = wsDisconnected;
  std::vector<std::string> proxyBypassList_;
  bool enableCache_ = false;
  std::string lastResponse_;  // kept when the session closes
  static inline TFtpObserver silent_;
  StatusProc statusProc_{*this};
};

}  // namespace lignado
