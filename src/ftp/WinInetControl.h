#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ftp/FtpConnection.h"

namespace lignado {

class Host;

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

// The optional controls that a window hands in for quick progress; none is owned.
class TProgressControl {
 public:
  virtual ~TProgressControl() = default;
  virtual void SetMax(int max) = 0;
  virtual void SetPosition(int position) = 0;
};

class TLabelControl {
 public:
  virtual ~TLabelControl() = default;
  virtual void SetCaption(const std::string& text) = 0;
};

class TStatusControl {
 public:
  virtual ~TStatusControl() = default;
  virtual bool SimplePanel() const = 0;
  virtual void SetSimpleText(const std::string& text) = 0;
  virtual void SetPanelText(int index, const std::string& text) = 0;
};

// The Internet session: options, connection state and its texts, status notifications, and
// the connection errors turned into messages. Abstract: TSimpleFTP adds the FTP connection.
class TWinInetControl {
 public:
  using TNotifyEvent = std::function<void(TWinInetControl* sender)>;
  using TStateChangeEvent = std::function<void(TWinInetControl* sender, TWinInetState state)>;

  static constexpr uint32_t kDefaultConnectTimeout = 300000;
  static constexpr uint32_t kDefaultReceiveTimeout = 60000;
  static constexpr uint32_t kReloadFlag = 0x80000000u;

  /// The host receives the message dispatch of every wait; it may be null.
  explicit TWinInetControl(Host* host = nullptr);
  virtual ~TWinInetControl();
  TWinInetControl(const TWinInetControl&) = delete;
  TWinInetControl& operator=(const TWinInetControl&) = delete;

  TNotifyEvent OnConnected;
  TNotifyEvent OnDisconnected;
  TStateChangeEvent OnStateChange;
  bool QuickProgress = false;
  TProgressControl* QuickProgressMajor = nullptr;
  TProgressControl* QuickProgressMinor = nullptr;
  TLabelControl* QuickLabelMajor = nullptr;
  TLabelControl* QuickLabelMinor = nullptr;
  TStatusControl* QuickStatus = nullptr;
  bool SilentExceptions = true;
  std::string HostName, UserName, Password, ProxyName;
  int32_t Port = 0;  // 0: the FTP port; only the low 16 bits count

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
  Host* MessageHost() const { return host_; }

  TWinInetState State() const { return state_; }
  /// False when the state already is `state`; otherwise stores it and tells the listeners.
  bool SetState(TWinInetState state);
  std::string StateText() const;
  std::string LastResponseText() const;

  virtual bool Connect();
  virtual bool Disconnect();
  virtual void UpdateQuickProgress() = 0;
  virtual void RaiseConnectError(uint32_t errorCode);
  virtual void HandleStatus(int32_t status, const void* info, uint32_t infoLength);

 protected:
  void InstallStatusCallback();
  void RemoveStatusCallback();
  void CloseSession();

  Host* host_;
  std::shared_ptr<FtpSession> session_;
  uint32_t connectFlags_ = 0;
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
  StatusProc statusProc_{*this};
};

}  // namespace lignado
