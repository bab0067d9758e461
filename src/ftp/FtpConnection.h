#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "util/Owned.h"

namespace lignado {

// The FTP protocol under the client components: RFC 959 with the RFC 2428 EPRT/EPSV forms,
// POSIX sockets, a time-out on every wait, one logged-in control connection that is never
// reopened behind the caller's back. Status and error numbers are those of the Internet library
// the components were written for.

enum FtpStatus : int32_t {
  kFtpResolving = 10,
  kFtpResolved = 11,
  kFtpConnecting = 20,
  kFtpConnected = 21,         // the control connection is up (before the login)
  kFtpRequestSent = 31,       // count: file bytes just handed to the data connection
  kFtpResponseReceived = 41,  // count 0: the server accepted the whole file
  kFtpClosing = 50,
  kFtpClosed = 51,  // the link was lost; a deliberate close only reports kFtpClosing
};

enum FtpError : uint32_t {
  kFtpErrTimeout = 12002,
  kFtpErrExtended = 12003,  // the server refused; its reply says why
  kFtpErrInternal = 12004,
  kFtpErrNameNotResolved = 12007,
  kFtpErrIncorrectUserName = 12013,
  kFtpErrIncorrectPassword = 12014,
  kFtpErrLoginFailure = 12015,
  kFtpErrCannotConnect = 12029,
  kFtpErrConnectionAborted = 12030,  // the server hung up or did not speak FTP
};

enum class FtpTransfer { Unknown, Ascii, Binary };

class FtpListener {
 public:
  virtual ~FtpListener() = default;
  virtual void ftpStatus(int32_t status, uint32_t count) = 0;
  /// Called at least every 100 ms while a call waits for the network.
  virtual void ftpWaiting() = 0;
};

class FtpConnection;
class FtpDeadline;

// What a session of the Internet library holds: the options for later connections, the
// status listener and the text of the server's last reply. Made with std::make_shared; each
// connection keeps its session alive.
class FtpSession : public std::enable_shared_from_this<FtpSession> {
 public:
  FtpSession(std::string agent, int32_t accessType, std::string proxy, std::string proxyBypass);
  ~FtpSession();
  FtpSession(const FtpSession&) = delete;
  FtpSession& operator=(const FtpSession&) = delete;

  void setListener(FtpListener* listener) { listener_ = listener; }
  FtpListener* listener() const { return listener_; }
  void setConnectRetries(uint32_t n) { retries_ = n; }
  void setConnectTimeout(uint32_t ms) { connectMs_ = ms; }
  void setReceiveTimeout(uint32_t ms) { receiveMs_ = ms; }
  const std::string& agent() const { return agent_; }
  int32_t accessType() const { return accessType_; }
  const std::string& proxy() const { return proxy_; }
  const std::string& proxyBypass() const { return proxyBypass_; }

  /// Connects and logs in; null with `error` set when that failed. Port 0 means 21.
  std::unique_ptr<FtpConnection> connect(const std::string& host, uint16_t port,
                                         const std::string& user, const std::string& password,
                                         bool passive, uint32_t& error);

  /// The last reply of any connection of this session, lines joined with CR LF.
  const std::string& lastResponse() const { return lastResponse_; }

 private:
  friend class FtpConnection;
  std::string agent_, proxy_, proxyBypass_;
  int32_t accessType_;
  FtpListener* listener_ = nullptr;
  uint32_t retries_ = 3, connectMs_ = 300000, receiveMs_ = 60000;
  std::string lastResponse_;
};

class FtpConnection {
 public:
  ~FtpConnection();  // says QUIT when the link is still up
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  bool alive() const { return fd_.valid(); }
  bool changeDir(const std::string& dir);
  bool currentDir(std::string& dir);
  bool makeDir(const std::string& dir);
  /// Stores a local regular file under the remote name; true only when the server confirmed
  /// that it received every byte.
  bool putFile(const std::string& localFile, const std::string& remoteName, FtpTransfer mode);
  void close();

 private:
  friend class FtpSession;
  struct Reply {
    int code = 0;
    std::string text;
  };
  FtpConnection(std::shared_ptr<FtpSession> session, OwnedFd fd, bool passive);

  enum class SendResult { Done, LocalError, Broken, TimedOut };

  bool login(const std::string& user, const std::string& password, uint32_t& error);
  bool sendLine(const std::string& line);
  bool readReply(Reply& reply);
  bool readReply(Reply& reply, uint32_t timeoutMs);
  bool readLine(std::string& line, const FtpDeadline& deadline);
  bool command(const std::string& line, Reply& reply);
  bool setType(FtpTransfer mode);
  OwnedFd openPassive();
  OwnedFd openActive();
  OwnedFd acceptData(const OwnedFd& listening);
  SendResult sendFile(int dataFd, int fileFd, FtpTransfer mode);
  void lose();  // the link is gone or out of step: close it without a word
  void notify(int32_t status, uint32_t count = 0);

  std::shared_ptr<FtpSession> session_;
  OwnedFd fd_;
  bool passive_;
  bool noExtended_ = false;  // the server rejected EPRT/EPSV: use PORT/PASV
  char type_ = 0;            // TYPE last set: 'A', 'I' or none
  bool timedOut_ = false;    // the last failed read ran out of time
  bool closing_ = false;
  std::string in_;  // control bytes received but not yet read
};

}  // namespace lignado
