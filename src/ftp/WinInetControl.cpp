#include "ftp/WinInetControl.h"

namespace lignado {

namespace {

constexpr const char* kAgent = "Lignado";
constexpr size_t kResponseBuffer = 2048;

std::string joinLines(const std::vector<std::string>& lines) {
  std::string out;
  for (size_t i = 0; i < lines.size(); ++i) {
    if (i) out += "\r\n";
    out += lines[i];
  }
  return out;
}

}  // namespace

void TWinInetControl::StatusProc::ftpStatus(int32_t status, uint32_t count) {
  bool counted = status == kFtpRequestSent || status == kFtpResponseReceived;
  owner_.HandleStatus(status, counted ? &count : nullptr, counted ? sizeof count : 0);
}

void TWinInetControl::StatusProc::ftpWaiting() {
  owner_.Dispatch();
}

TStopRequest TWinInetControl::Dispatch() {
  Notify().ProcessMessages();
  TStopRequest asked = Notify().StopRequested();
  if (asked == TStopRequest::Now && session_) session_->abortTransfer();
  // No file is under way while connecting: any stop ends the wait at once.
  if (asked != TStopRequest::None && session_) session_->abortConnect();
  return asked;
}

TWinInetControl::TWinInetControl(TFtpObserver* owner) : owner_(owner) {}

TWinInetControl::~TWinInetControl() {
  destroying_ = true;
  TWinInetControl::Disconnect();
}

void TWinInetControl::SetConnectRetries(uint32_t value) {
  connectRetries_ = value;
  if (session_) session_->setConnectRetries(value);
}

void TWinInetControl::SetConnectTimeout(uint32_t ms) {
  connectTimeout_ = ms == 0 ? kDefaultConnectTimeout : ms;
  if (session_) session_->setConnectTimeout(connectTimeout_);
}

void TWinInetControl::SetReceiveTimeout(uint32_t ms) {
  receiveTimeout_ = ms == 0 ? kDefaultReceiveTimeout : ms;
  if (session_) session_->setReceiveTimeout(receiveTimeout_);
}

bool TWinInetControl::SetState(TWinInetState state) {
  if (state_ == state) return false;
  state_ = state;
  Notify().OnStateChange(*this, state);
  if (QuickProgress) Notify().QuickStatus(StateText());
  return true;
}

std::string TWinInetControl::StateText() const {
  switch (state_) {
    case wsDisconnecting:
      return "Disconnecting from " + HostName;
    case wsDisconnected:
      return "No connection";
    case wsConnecting:
      return "Connecting to " + HostName;
    case wsConnected:
      return "Connected to " + HostName;
    case wsResolving:
      return "Resolving name " + HostName;
    case wsResolved:
      return "Resolved name " + HostName;
  }
  return "Unknown state!  Contact support ...";
}

std::string TWinInetControl::LastResponseText() const {
  std::string text = session_ ? session_->lastResponse() : lastResponse_;
  if (text.size() >= kResponseBuffer) text.resize(kResponseBuffer - 1);
  return text.empty() ? "No error description available" : text;
}

void TWinInetControl::InstallStatusCallback() {
  if (session_) session_->setListener(&statusProc_);
}

void TWinInetControl::RemoveStatusCallback() {
  if (session_) session_->setListener(nullptr);
}

void TWinInetControl::CloseSession() {
  if (!session_) return;
  lastResponse_ = session_->lastResponse();
  session_->setListener(nullptr);
  session_.reset();
}

bool TWinInetControl::Connect() {
  if (state_ == wsConnected) return true;
  if (!session_) {
    // Proxies are recorded for the settings but the connection is always direct.
    session_ = std::make_shared<FtpSession>(kAgent, AccessType(),
                                            resolveNames_ == rnProxy ? ProxyName : std::string(),
                                            joinLines(proxyBypassList_));
  }
  InstallStatusCallback();
  session_->setTrace(Trace);
  session_->setConnectRetries(connectRetries_);
  session_->setConnectTimeout(connectTimeout_);
  session_->setReceiveTimeout(receiveTimeout_);
  return false;
}

bool TWinInetControl::Disconnect() {
  CloseSession();
  if (!destroying_ && SetState(wsDisconnected)) Notify().OnDisconnected(*this);
  return true;
}

void TWinInetControl::RaiseConnectError(uint32_t errorCode) {
  SetState(wsDisconnected);
  if (SilentExceptions) return;
  switch (errorCode) {
    case kFtpErrTimeout:
      throw EWinInetError("Connection to " + HostName + " timed out");
    case kFtpErrInternal:
      throw EWinInetError("Internal WININET error");
    case kFtpErrNameNotResolved:
      throw EWinInetError("Unable to resolve host name '" + HostName + "'");
    case kFtpErrIncorrectUserName:
      throw EWinInetError("Bad user name: '" + UserName + "' connecting to " + HostName);
    case kFtpErrIncorrectPassword:
      throw EWinInetError("Bad password connecting to " + HostName);
    case kFtpErrLoginFailure:
    case kFtpErrCannotConnect:
      throw EWinInetError("Unable to connect to " + HostName);
    default:
      throw EWinInetError("General Connection Error to " + HostName);
  }
}

void TWinInetControl::HandleStatus(int32_t status, const void*, uint32_t) {
  switch (status) {
    case kFtpResolving:
      SetState(wsResolving);
      break;
    case kFtpResolved:
      SetState(wsResolved);
      break;
    case kFtpConnecting:
      SetState(wsConnecting);
      break;
    case kFtpConnected:
      SetState(wsConnected);
      break;
    case kFtpClosing:
      SetState(wsDisconnecting);
      break;
    case kFtpClosed:
      SetState(wsDisconnected);
      break;
    default:
      break;
  }
}

}  // namespace lignado
