#pragma once

#include <netdb.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "ftp/FtpListing.h"
#include "ftp/RemoteLink.h"
#include "util/Owned.h"

namespace lignado {

// The FTP protocol under the client components: RFC 959 with the RFC 2428 EPRT/EPSV forms and
// RFC 4217 explicit TLS, POSIX sockets, a time-out on every wait, one logged-in control
// connection that is never reopened behind the caller's back. Status and error numbers are
// those of the Internet library the components were written for.

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
  kFtpErrInvalidCa = 12045,          // the server's certificate was refused
  kFtpErrSecureChannel = 12157,      // TLS could not be set up
};

// Off: clear text. Auto: TLS when the server accepts AUTH TLS, clear text when it refuses,
// unless a certificate is trusted by its fingerprint. Require: TLS or nothing.
enum class FtpTls { Off, Auto, Require };

class FtpListener {
 public:
  virtual ~FtpListener() = default;
  virtual void ftpStatus(int32_t status, uint32_t count) = 0;
  /// Called at least every 100 ms while a call waits for the network.
  virtual void ftpWaiting() = 0;
};

class FtpConnection;
class FtpDeadline;
class ProtocolTrace;
struct SftpOptions;
struct AddrInfoFree {
  void operator()(::addrinfo* a) const;
};
using AddrInfoList = std::unique_ptr<::addrinfo, AddrInfoFree>;
class TlsContext;
class TlsStream;

// What a session of the Internet library holds: the options for later connections, the
// status listener, the text of the server's last reply and the reason of the last failure.
// Made with std::make_shared; each connection keeps its session alive.
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
  /// `trusted`: the SHA-256 fingerprint of a certificate the user accepted, in any usual form.
  void setTls(FtpTls mode, const std::string& trusted);
  const std::string& agent() const { return agent_; }
  int32_t accessType() const { return accessType_; }
  const std::string& proxy() const { return proxy_; }
  const std::string& proxyBypass() const { return proxyBypass_; }

  /// Connects and logs in; null with `error` set when that failed. Port 0 means 21.
  std::unique_ptr<FtpConnection> connect(const std::string& host, uint16_t port,
                                         const std::string& user, const std::string& password,
                                         bool passive, uint32_t& error);

  /// Opens an SFTP connection and logs in (SftpConnection); null with `error` set when that
  /// failed. Port 0 means 22.
  std::unique_ptr<RemoteLink> connectSftp(const std::string& host, uint16_t port,
                                          const std::string& user, const std::string& password,
                                          const SftpOptions& options, uint32_t& error);
  /// Resolves the host and opens a TCP connection within `ms`; invalid with `error` and
  /// failure() set when that failed.
  OwnedFd dial(const std::string& host, uint16_t port, uint32_t ms, uint32_t& error);
  /// Where every command and reply is also written, with the time; null: nowhere.
  void setTrace(std::shared_ptr<ProtocolTrace> trace) { trace_ = std::move(trace); }
  ProtocolTrace* trace() const { return trace_.get(); }

  /// The last reply of any connection of this session, lines joined with CR LF.
  const std::string& lastResponse() const { return lastResponse_; }
  /// Why the last failed call failed, in French (Windows-1252): the server's reply or what
  /// the system said.
  const std::string& failure() const { return failure_; }
  /// The fingerprint of the certificate the last connect refused, empty if none was.
  const std::string& refusedFingerprint() const { return refused_; }
  /// The last connect ended because the server would not speak TLS and clear text was not
  /// allowed; nothing of the login was sent.
  bool plainRefused() const { return plainRefused_; }
  /// The last connect refused a host key that differs from the one known or trusted.
  bool hostKeyChanged() const { return hostKeyChanged_; }
  /// Ends the file being sent at once (from the listener, during a transfer); it fails.
  void abortTransfer() { abort_ = transferring_; }
  /// Ends a connect in progress at once (from the listener): it fails as stopped.
  void abortConnect() { abort_ = abort_ || connecting_; }

 private:
  friend class FtpConnection;
  friend class SftpConnection;
  // Until the login is done, a stop asked through abortConnect ends every wait.
  struct Connecting {
    FtpSession& s;
    explicit Connecting(FtpSession& session) : s(session) {
      s.connecting_ = true;
      s.abort_ = false;
    }
    ~Connecting() { s.connecting_ = s.abort_ = false; }
  };
  bool resolveHost(const std::string& name, uint16_t port, const FtpDeadline& deadline,
                   AddrInfoList& found, uint32_t& error);
  OwnedFd attempt(const AddrInfoList& found, const FtpDeadline& deadline, uint32_t& error);

  std::shared_ptr<ProtocolTrace> trace_;
  std::string agent_, proxy_, proxyBypass_;
  int32_t accessType_;
  FtpListener* listener_ = nullptr;
  uint32_t retries_ = 3, connectMs_ = 300000, receiveMs_ = 60000;
  FtpTls tls_ = FtpTls::Off;
  std::string trusted_;
  std::unique_ptr<TlsContext> tlsContext_;
  std::string lastResponse_, failure_, refused_;
  bool transferring_ = false, connecting_ = false, abort_ = false;
  bool plainRefused_ = false;
  bool hostKeyChanged_ = false;
};

class FtpConnection : public RemoteLink {
 public:
  ~FtpConnection() override;  // says QUIT when the link is still up
  FtpConnection(const FtpConnection&) = delete;
  FtpConnection& operator=(const FtpConnection&) = delete;

  bool alive() const override { return link_.fd.valid(); }
  /// The control connection and every data connection are under TLS.
  bool secure() const override { return link_.tls != nullptr; }
  /// The server refused AUTH TLS and the session went on in clear text (FtpTls::Auto).
  bool tlsRefused() const override { return tlsRefused_; }
  /// The SHA-256 fingerprint of the server's certificate ("AB:CD:..."), empty in clear text.
  std::string fingerprint() const override;
  bool changeDir(const std::string& dir) override;
  /// The server's answer to PWD, asked once after each change of folder.
  bool currentDir(std::string& dir) override;
  bool makeDir(const std::string& dir) override;
  bool removeDir(const std::string& dir) override;
  bool deleteFile(const std::string& remoteName) override;
  /// RNFR then RNTO.
  bool rename(const std::string& from, const std::string& to, bool& refused) override;
  /// By MLSD, or by LIST once the server refused MLSD.
  bool list(const std::string& dir, std::vector<FtpEntry>& entries, size_t& unread) override;
  /// True only when the server confirmed that it received every byte.
  bool putFile(const std::string& localFile, const std::string& remoteName,
               FtpTransfer mode) override;
  void close() override;

 private:
  friend class FtpSession;
  // A socket, in clear or under TLS.
  struct Link {
    OwnedFd fd;
    std::unique_ptr<TlsStream> tls;
    Link();
    Link(Link&&) noexcept;
    Link& operator=(Link&&) noexcept;
    ~Link();
  };
  struct Reply {
    int code = 0;
    std::string text;
  };
  enum class Io { Done, Closed, TimedOut, Failed, Aborted };

  FtpConnection(std::shared_ptr<FtpSession> session, OwnedFd fd, std::string host, bool passive);

  bool login(const std::string& user, const std::string& password, const FtpDeadline& deadline,
             uint32_t& error);
  /// `replyMs` bounds the wait for the reply to AUTH, whose time-out is reported as `limitMs`.
  bool startTls(const FtpDeadline& deadline, uint32_t replyMs, uint32_t limitMs, uint32_t& error);
  bool sendLine(const std::string& line);
  bool readReply(Reply& reply);
  bool readReply(Reply& reply, uint32_t timeoutMs);
  bool readLine(std::string& line, const FtpDeadline& deadline, uint32_t timeoutMs);
  bool command(const std::string& line, Reply& reply);
  bool simple(const std::string& line);  // a command whose reply must be 2xx
  bool setType(FtpTransfer mode);
  Link openPassive();
  Link openActive();
  Link acceptData(const Link& listening);
  Link openDataFor(const std::string& line, int& refused);
  bool secureData(Link& data);
  Io sendFile(Link& data, int fileFd, FtpTransfer mode);
  /// Runs a command that answers on a data connection; `code` is its refusal, if any.
  bool receive(const std::string& line, std::string& bytes, int& code);
  Io write(Link& link, const char* p, size_t len, uint32_t timeoutMs, bool abortable);
  const bool* connectAbort() const;  // the session's stop flag while it connects
  Io read(Link& link, char* buf, size_t cap, size_t& got, const FtpDeadline& deadline);
  Io handshake(Link& link, const FtpDeadline& deadline);
  void endData(Link& data);  // close notice and end of stream; the socket stays open
  void lose();               // the link is gone or out of step: close it without a word
  void notify(int32_t status, uint32_t count = 0);
  void fail(const std::string& reason);
  void failIo(Io io, uint32_t timeoutMs);
  void failReply(const Reply& reply);

  std::shared_ptr<FtpSession> session_;
  Link link_;
  std::string host_;
  bool passive_;
  bool noExtended_ = false;  // the server rejected EPRT/EPSV: use PORT/PASV
  bool tlsRefused_ = false;
  bool tls12Refused_ = false;  // the TLS handshake failed while only TLS 1.2 was offered
  bool noMlsd_ = false;        // the server refused MLSD: LIST
  Io lastIo_ = Io::Done;       // how the last failed read or write ended
  char type_ = 0;              // TYPE last set: 'A', 'I' or none
  bool closing_ = false;
  std::string in_;   // control bytes received but not yet read
  std::string cwd_;  // the server's current folder, when known
  bool cwdKnown_ = false;
};

}  // namespace lignado
