#include "ftp/FtpConnection.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <csignal>
#include <utility>
#include <vector>

#include "ftp/FtpTls.h"
#include "ftp/ProtocolTrace.h"
#include "util/Utf8.h"

namespace lignado {

using Clock = std::chrono::steady_clock;

void AddrInfoFree::operator()(addrinfo* a) const {
  ::freeaddrinfo(a);
}

class FtpDeadline {
 public:
  explicit FtpDeadline(uint32_t ms) : at_(Clock::now() + std::chrono::milliseconds(ms)) {}
  int remainingMs() const {
    auto left = std::chrono::duration_cast<std::chrono::milliseconds>(at_ - Clock::now()).count();
    return static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
  }
  bool passed() const { return Clock::now() >= at_; }

 private:
  Clock::time_point at_;
};

namespace {

using Deadline = FtpDeadline;

constexpr size_t kMaxLine = 8192;    // longest reply line accepted
constexpr size_t kMaxReply = 65536;  // longest multi-line reply accepted
constexpr int kPumpMs = 100;         // the listener hears from a waiting call this often
constexpr uint32_t kQuitMs = 5000;   // a goodbye is not worth a long wait
constexpr size_t kChunk = 64 * 1024;
constexpr size_t kMaxListing = 64 * 1024 * 1024;  // a folder listing longer than this is refused

// Failure reasons, as the user reads them.
const char kLost[] = "connexion perdue";
const char kNotFtp[] = "le serveur ne r\xE9pond pas en FTP";
const char kUnknownHost[] = "h\xF4te inconnu";
const char kRefused[] =
    "connexion refus\xE9"
    "e";
const char kUnreachable[] = "h\xF4te injoignable";
const char kCannotConnect[] = "connexion impossible";
const char kNoData[] =
    "le serveur n'a pas ouvert la connexion de donn\xE9"
    "es";
const char kDataRefused[] =
    "connexion de donn\xE9"
    "es impossible";
const char kLocalFile[] = "fichier local illisible";
const char kAborted[] = "envoi interrompu";
const char kLineBreak[] = "nom contenant un saut de ligne";
const char kListingTooLong[] = "liste du dossier trop longue";
const char kTlsFailed[] =
    "\xE9"
    "chec de la n\xE9gociation TLS";

std::string timeoutText(uint32_t ms) {
  unsigned tenths = (ms + 50) / 100;
  std::string s = "d\xE9lai d\xE9pass\xE9 apr\xE8s " + std::to_string(tenths / 10);
  if (tenths % 10) s += "," + std::to_string(tenths % 10);
  return s + " s";
}

// A reply as one line: its lines joined, control characters dropped, UTF-8 converted.
std::string replyText(const std::string& text) {
  std::string out;
  for (char c : Utf8ToCp1252(text)) {
    if (c == '\n')
      out += ' ';
    else if (static_cast<unsigned char>(c) >= 0x20 || c == '\t')
      out += c;
  }
  return out;
}

void pump(const FtpSession& s) {
  if (FtpListener* l = s.listener()) l->ftpWaiting();
}

// 1 ready, 0 time-out, -1 error, -2 aborted (when `abort`, checked after each pump, is set).
int waitFor(int fd, short events, const Deadline& d, const FtpSession& s,
            const bool* abort = nullptr) {
  pollfd p{fd, events, 0};
  int r;
  do r = ::poll(&p, 1, 0);
  while (r < 0 && errno == EINTR);
  if (r != 0) return r > 0 ? 1 : -1;
  for (;;) {
    pump(s);
    if (abort && *abort) return -2;
    if (d.passed()) return 0;
    r = ::poll(&p, 1, std::min(d.remainingMs(), kPumpMs));
    if (r > 0) return 1;
    if (r < 0 && errno != EINTR) return -1;
  }
}

// 1 connected, 0 time-out, -1 refused or unreachable (the system's reason in `err`), -2
// stopped through `abort`.
int connectTo(const sockaddr* addr, socklen_t len, const Deadline& d, const FtpSession& s,
              OwnedFd& out, int& err, const bool* abort = nullptr) {
  OwnedFd fd(::socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  err = errno;
  if (!fd.valid()) return -1;
  if (::connect(fd.get(), addr, len) != 0) {
    err = errno;
    if (err != EINPROGRESS) return -1;
    int w = waitFor(fd.get(), POLLOUT, d, s, abort);
    if (w == -2) return -2;
    socklen_t errLen = sizeof err;
    if (w <= 0 || ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &errLen) != 0 || err != 0)
      return w == 0 ? 0 : -1;
  }
  out = std::move(fd);
  return 1;
}

// Small writes (TLS handshakes, close notices) must not wait for the peer's delayed ACK.
void noDelay(const OwnedFd& fd) {
  int one = 1;
  ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

const char* connectReason(int err) {
  switch (err) {
    case ECONNREFUSED:
      return kRefused;
    case ENETUNREACH:
    case EHOSTUNREACH:
      return kUnreachable;
    default:
      return kCannotConnect;
  }
}

// One name look-up, shared by the caller and the resolver's notice of completion, so that a
// look-up abandoned at its deadline is freed by whichever of the two lets go last.
struct Lookup {
  std::string name, service;
  addrinfo hints{};
  gaicb cb{};
  ~Lookup() {
    if (cb.ar_result) ::freeaddrinfo(cb.ar_result);
  }
};
using LookupRef = std::shared_ptr<Lookup>;

extern "C" void lookupDone(sigval v) {
  delete static_cast<LookupRef*>(v.sival_ptr);
}

// The resolver works in the background so that the wait can end at the deadline.
// 1 resolved, 0 time-out, -1 unknown name.
int resolve(const std::string& host, uint16_t port, const Deadline& d, const FtpSession& s,
            AddrInfoList& out) {
  // An address needs no resolver.
  addrinfo numeric{};
  numeric.ai_family = AF_UNSPEC;
  numeric.ai_socktype = SOCK_STREAM;
  numeric.ai_flags = AI_NUMERICHOST | AI_NUMERICSERV;
  addrinfo* found = nullptr;
  if (::getaddrinfo(host.c_str(), std::to_string(port).c_str(), &numeric, &found) == 0) {
    out.reset(found);
    return 1;
  }
  auto lk = std::make_shared<Lookup>();
  lk->name = host;
  lk->service = std::to_string(port);
  lk->hints.ai_family = AF_UNSPEC;
  lk->hints.ai_socktype = SOCK_STREAM;
  lk->cb.ar_name = lk->name.c_str();
  lk->cb.ar_service = lk->service.c_str();
  lk->cb.ar_request = &lk->hints;
  // The notice holds its own reference until the resolver has finished with the look-up.
  auto notice = std::make_unique<LookupRef>(lk);
  sigevent done{};
  done.sigev_notify = SIGEV_THREAD;
  done.sigev_notify_function = lookupDone;
  done.sigev_value.sival_ptr = notice.get();
  gaicb* list[1] = {&lk->cb};
  if (::getaddrinfo_a(GAI_NOWAIT, list, 1, &done) != 0) return -1;
  LookupRef* pending = notice.release();
  for (;;) {
    int st = ::gai_error(&lk->cb);
    if (st != EAI_INPROGRESS) {
      if (st != 0 || !lk->cb.ar_result) return -1;
      out.reset(std::exchange(lk->cb.ar_result, nullptr));
      return 1;
    }
    if (d.passed()) break;
    pump(s);
    int ms = std::min(d.remainingMs(), kPumpMs);
    timespec ts{0, static_cast<long>(ms) * 1000000L};
    const gaicb* wait[1] = {&lk->cb};
    ::gai_suspend(wait, 1, &ts);
  }
  // A look-up taken off the queue before it ran sends no notice: its reference goes here.
  if (::gai_cancel(&lk->cb) == EAI_CANCELED) delete pending;
  return 0;
}

// CR, LF or NUL would end a command early and smuggle in another one.
bool hasLineBreak(const std::string& s) {
  return s.find_first_of("\r\n", 0, 3) != s.npos;
}

bool replyCode(const std::string& line, int& code) {
  if (line.size() < 3 || line[0] < '1' || line[0] > '5') return false;
  if (!isdigit(static_cast<unsigned char>(line[1])) ||
      !isdigit(static_cast<unsigned char>(line[2])))
    return false;
  if (line.size() > 3 && line[3] != ' ' && line[3] != '-') return false;
  code = (line[0] - '0') * 100 + (line[1] - '0') * 10 + (line[2] - '0');
  return true;
}

// Replies that mean "I do not know EPRT/EPSV" rather than "no".
bool unsupported(int code) {
  return code == 500 || code == 501 || code == 502 || code == 504 || code == 522;
}

uint16_t parseEpsv(const std::string& text) {
  // "229 Entering Extended Passive Mode (|||6446|)"; the delimiter may be any character.
  auto open = text.find('(');
  if (open == text.npos || open + 4 >= text.size()) return 0;
  char delim = text[open + 1];
  if (text[open + 2] != delim || text[open + 3] != delim) return 0;
  unsigned long port = 0;
  size_t i = open + 4;
  for (; i < text.size() && isdigit(static_cast<unsigned char>(text[i])) && port <= 65535; ++i)
    port = port * 10 + static_cast<unsigned long>(text[i] - '0');
  if (i >= text.size() || text[i] != delim || port == 0 || port > 65535) return 0;
  return static_cast<uint16_t>(port);
}

uint16_t parsePasv(const std::string& text) {
  // "227 Entering Passive Mode (h1,h2,h3,h4,p1,p2)": only the port is used; the data connection
  // goes to the address of the control connection.
  for (size_t start = 3; start < text.size(); ++start) {
    if (!isdigit(static_cast<unsigned char>(text[start]))) continue;
    unsigned v[6] = {};
    size_t i = start;
    int n = 0;
    for (; n < 6; ++n) {
      size_t digits = 0;
      while (i < text.size() && isdigit(static_cast<unsigned char>(text[i])) && digits < 4)
        v[n] = v[n] * 10 + static_cast<unsigned>(text[i++] - '0'), ++digits;
      if (digits == 0 || v[n] > 255) break;
      if (n < 5) {
        if (i >= text.size() || text[i] != ',') break;
        ++i;
      }
    }
    if (n == 6) {
      unsigned port = v[4] * 256 + v[5];
      return port == 0 ? 0 : static_cast<uint16_t>(port);
    }
  }
  return 0;
}

void setPort(sockaddr_storage& a, uint16_t port) {
  if (a.ss_family == AF_INET)
    reinterpret_cast<sockaddr_in&>(a).sin_port = htons(port);
  else
    reinterpret_cast<sockaddr_in6&>(a).sin6_port = htons(port);
}

uint16_t getPort(const sockaddr_storage& a) {
  return ntohs(a.ss_family == AF_INET ? reinterpret_cast<const sockaddr_in&>(a).sin_port
                                      : reinterpret_cast<const sockaddr_in6&>(a).sin6_port);
}

socklen_t addrLen(const sockaddr_storage& a) {
  return a.ss_family == AF_INET ? sizeof(sockaddr_in) : sizeof(sockaddr_in6);
}

bool parse257(const std::string& text, std::string& dir) {
  // 257 "/a ""quoted"" dir" is the current directory.
  auto q = text.find('"');
  if (q == text.npos) return false;
  std::string out;
  for (size_t i = q + 1; i < text.size(); ++i) {
    if (text[i] != '"') {
      out += text[i];
    } else if (i + 1 < text.size() && text[i + 1] == '"') {
      out += '"';
      ++i;
    } else {
      dir = out;
      return true;
    }
  }
  return false;
}

}  // namespace

FtpSession::FtpSession(std::string agent, int32_t accessType, std::string proxy,
                       std::string proxyBypass)
    : agent_(std::move(agent)),
      proxy_(std::move(proxy)),
      proxyBypass_(std::move(proxyBypass)),
      accessType_(accessType) {}

FtpSession::~FtpSession() = default;

void FtpSession::setTls(FtpTls mode, const std::string& trusted) {
  tls_ = mode;
  trusted_ = NormalizeFingerprint(trusted);
}

bool FtpSession::resolveHost(const std::string& name, uint16_t port, const FtpDeadline& deadline,
                             AddrInfoList& found, uint32_t& error) {
  if (listener_) listener_->ftpStatus(kFtpResolving, 0);
  int r = name.empty() ? -1 : resolve(name, port, deadline, *this, found);
  if (r <= 0) {
    error = r == 0 ? kFtpErrTimeout : kFtpErrNameNotResolved;
    failure_ = r == 0 ? timeoutText(connectMs_) : kUnknownHost;
    return false;
  }
  if (listener_) listener_->ftpStatus(kFtpResolved, 0);
  return true;
}

OwnedFd FtpSession::attempt(const AddrInfoList& found, const FtpDeadline& deadline,
                            uint32_t& error) {
  OwnedFd fd;
  bool timedOut = false, stopped = false;
  int err = 0;
  // Refused attempts are retried at once; the time-out covers every attempt together.
  for (uint32_t a = 0; a < std::max<uint32_t>(retries_, 1) && !fd.valid() && !timedOut; ++a) {
    for (addrinfo* ai = found.get(); ai && !fd.valid() && !timedOut && !stopped; ai = ai->ai_next) {
      if (listener_) listener_->ftpStatus(kFtpConnecting, 0);
      const int r = connectTo(ai->ai_addr, ai->ai_addrlen, deadline, *this, fd, err, &abort_);
      timedOut = r == 0;
      stopped = r == -2;
    }
    if (stopped) {
      error = kFtpErrConnectionAborted;
      failure_ = kAborted;
      return {};
    }
  }
  if (!fd.valid()) {
    error = timedOut ? kFtpErrTimeout : kFtpErrCannotConnect;
    failure_ = timedOut ? timeoutText(connectMs_) : connectReason(err);
    return {};
  }
  noDelay(fd);
  return fd;
}

static std::string bareHost(const std::string& host) {
  if (host.size() > 2 && host.front() == '[' && host.back() == ']')
    return host.substr(1, host.size() - 2);
  return host;
}

OwnedFd FtpSession::dial(const std::string& host, uint16_t port, uint32_t ms, uint32_t& error) {
  error = 0;
  failure_.clear();
  refused_.clear();
  plainRefused_ = false;
  hostKeyChanged_ = false;
  Deadline deadline(ms);
  Connecting connecting(*this);
  AddrInfoList found;
  if (!resolveHost(bareHost(host), port, deadline, found, error)) return {};
  return attempt(found, deadline, error);
}

std::unique_ptr<FtpConnection> FtpSession::connect(const std::string& host, uint16_t port,
                                                   const std::string& user,
                                                   const std::string& password, bool passive,
                                                   uint32_t& error) {
  error = 0;
  failure_.clear();
  refused_.clear();
  plainRefused_ = false;
  const std::string name = bareHost(host);
  // One deadline for everything up to the login: resolve, connect, greeting, TLS, login.
  Deadline deadline(connectMs_);
  Connecting connecting(*this);
  AddrInfoList found;
  if (!resolveHost(name, port ? port : 21, deadline, found, error)) return nullptr;
  if (tls_ != FtpTls::Off && !tlsContext_)
    tlsContext_ = std::make_unique<TlsContext>(TlsVersions::Only12);
  for (;;) {
    OwnedFd fd = attempt(found, deadline, error);
    if (trace_)
      trace_->Line('-', Cp1252ToUtf8("FTP " + host + ":" + std::to_string(port ? port : 21) +
                                     (fd.valid() ? " : connect\xE9" : " : " + failure_)));
    if (!fd.valid()) return nullptr;
    std::unique_ptr<FtpConnection> c(
        new FtpConnection(shared_from_this(), std::move(fd), name, passive));
    c->notify(kFtpConnected);
    if (c->login(user, password, deadline, error)) return c;
    // A server that would not shake hands on TLS 1.2 is asked again with TLS 1.3 offered too,
    // on a new connection: the first one is out of step.
    if (!c->tls12Refused_ || tlsContext_->versions() != TlsVersions::Only12) return nullptr;
    c.reset();
    tlsContext_ = std::make_unique<TlsContext>(TlsVersions::From12);
  }
}

FtpConnection::Link::Link() = default;
FtpConnection::Link::Link(Link&&) noexcept = default;
FtpConnection::Link& FtpConnection::Link::operator=(Link&&) noexcept = default;
FtpConnection::Link::~Link() = default;

FtpConnection::FtpConnection(std::shared_ptr<FtpSession> session, OwnedFd fd, std::string host,
                             bool passive)
    : session_(std::move(session)), host_(std::move(host)), passive_(passive) {
  link_.fd = std::move(fd);
}

FtpConnection::~FtpConnection() {
  close();
}

void FtpConnection::notify(int32_t status, uint32_t count) {
  if (FtpListener* l = session_->listener()) l->ftpStatus(status, count);
}

void FtpConnection::fail(const std::string& reason) {
  if (ProtocolTrace* t = session_->trace()) t->Line('-', Cp1252ToUtf8(reason));
  session_->failure_ = reason;
}

void FtpConnection::failIo(Io io, uint32_t timeoutMs) {
  fail(io == Io::TimedOut ? timeoutText(timeoutMs) : io == Io::Aborted ? kAborted : kLost);
}

void FtpConnection::failReply(const Reply& reply) {
  fail(replyText(reply.text));
}

void FtpConnection::lose() {
  if (!alive()) return;
  if (!closing_) notify(kFtpClosing);
  link_ = Link();
  in_.clear();
  if (!closing_) notify(kFtpClosed);
}

void FtpConnection::close() {
  if (!alive()) return;
  notify(kFtpClosing);
  closing_ = true;
  Reply r;
  if (sendLine("QUIT")) readReply(r, std::min(session_->receiveMs_, kQuitMs));
  if (link_.tls && alive()) link_.tls->SendClose();  // the server closes anyway
  closing_ = false;
  link_ = Link();
  in_.clear();
}

FtpConnection::Io FtpConnection::write(Link& link, const char* p, size_t len, uint32_t timeoutMs,
                                       bool abortable) {
  const bool* abort = abortable ? &session_->abort_ : nullptr;
  while (len > 0) {
    if (abort && *abort) return Io::Aborted;
    short wait = POLLOUT;
    if (link.tls) {
      size_t n = 0;
      TlsIo io = link.tls->Write(p, len, n);
      if (io == TlsIo::Done) {
        p += n;
        len -= n;
        continue;
      }
      if (io == TlsIo::Closed) return Io::Closed;
      if (io == TlsIo::Failed) return Io::Failed;
      if (io == TlsIo::WantRead) wait = POLLIN;
    } else {
      ssize_t n = ::send(link.fd.get(), p, len, MSG_NOSIGNAL);
      if (n > 0) {
        p += n;
        len -= static_cast<size_t>(n);
        continue;
      }
      if (n < 0 && errno == EINTR) continue;
      if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) return Io::Failed;
    }
    int w = waitFor(link.fd.get(), wait, Deadline(timeoutMs), *session_, abort);
    if (w == 0) return Io::TimedOut;
    if (w == -2) return Io::Aborted;
    if (w < 0) return Io::Failed;
  }
  return Io::Done;
}

FtpConnection::Io FtpConnection::read(Link& link, char* buf, size_t cap, size_t& got,
                                      const Deadline& deadline) {
  for (;;) {
    short wait = POLLIN;
    if (link.tls) {
      TlsIo io = link.tls->Read(buf, cap, got);
      if (io == TlsIo::Done) return Io::Done;
      if (io == TlsIo::Closed) return Io::Closed;
      if (io == TlsIo::Failed) return Io::Failed;
      if (io == TlsIo::WantWrite) wait = POLLOUT;
    } else {
      ssize_t n = ::recv(link.fd.get(), buf, cap, 0);
      if (n > 0) {
        got = static_cast<size_t>(n);
        return Io::Done;
      }
      if (n == 0) return Io::Closed;
      if (errno == EINTR) continue;
      if (errno != EAGAIN && errno != EWOULDBLOCK) return Io::Failed;
    }
    int w = waitFor(link.fd.get(), wait, deadline, *session_, connectAbort());
    if (w == 0) return Io::TimedOut;
    if (w == -2) return Io::Aborted;
    if (w < 0) return Io::Failed;
  }
}

const bool* FtpConnection::connectAbort() const {
  return session_->connecting_ ? &session_->abort_ : nullptr;
}

FtpConnection::Io FtpConnection::handshake(Link& link, const Deadline& deadline) {
  for (;;) {
    TlsIo io = link.tls->Handshake();
    if (io == TlsIo::Done) return Io::Done;
    if (io == TlsIo::Closed) return Io::Closed;
    if (io == TlsIo::Failed) return Io::Failed;
    int w = waitFor(link.fd.get(), io == TlsIo::WantRead ? POLLIN : POLLOUT, deadline, *session_,
                    connectAbort());
    if (w == 0) return Io::TimedOut;
    if (w == -2) return Io::Aborted;
    if (w < 0) return Io::Failed;
  }
}

void FtpConnection::endData(Link& data) {
  if (data.tls) {
    Deadline d(session_->receiveMs_);
    for (;;) {
      TlsIo io = data.tls->SendClose();
      if (io != TlsIo::WantRead && io != TlsIo::WantWrite) break;
      if (waitFor(data.fd.get(), io == TlsIo::WantRead ? POLLIN : POLLOUT, d, *session_) <= 0)
        break;
    }
  }
  ::shutdown(data.fd.get(), SHUT_WR);
}

bool FtpConnection::sendLine(const std::string& line) {
  if (!alive()) {
    fail(kLost);
    return false;
  }
  if (hasLineBreak(line)) {
    fail(kLineBreak);
    return false;
  }
  if (ProtocolTrace* t = session_->trace()) t->Line('>', ProtocolTrace::MaskCommand(line));
  std::string out = line + "\r\n";
  Io io = write(link_, out.data(), out.size(), session_->receiveMs_, false);
  if (io == Io::Done) return true;
  lastIo_ = io;
  failIo(io, session_->receiveMs_);
  lose();
  return false;
}

bool FtpConnection::readLine(std::string& line, const Deadline& d, uint32_t timeoutMs) {
  for (;;) {
    auto nl = in_.find('\n');
    if (nl != in_.npos && nl <= kMaxLine) {
      line.assign(in_, 0, nl);
      in_.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    if (in_.size() > kMaxLine) {
      fail(kNotFtp);
      lose();
      return false;
    }
    char buf[4096];
    size_t got = 0;
    Io io = read(link_, buf, sizeof buf, got, d);
    if (io != Io::Done) {
      lastIo_ = io;
      failIo(io, timeoutMs);
      lose();
      return false;
    }
    in_.append(buf, got);
  }
}

bool FtpConnection::readReply(Reply& reply) {
  return readReply(reply, session_->receiveMs_);
}

bool FtpConnection::readReply(Reply& reply, uint32_t timeoutMs) {
  lastIo_ = Io::Done;
  if (!alive()) {
    fail(kLost);
    return false;
  }
  Deadline d(timeoutMs);
  std::string line;
  int code = 0;
  if (!readLine(line, d, timeoutMs)) return false;
  if (!replyCode(line, code)) {
    fail(kNotFtp);
    lose();
    return false;
  }
  std::string text = line;
  if (line.size() > 3 && line[3] == '-') {
    const std::string last = line.substr(0, 3);
    for (;;) {
      if (!readLine(line, d, timeoutMs)) return false;
      text += "\r\n";
      text += line;
      if (text.size() > kMaxReply) {
        fail(kNotFtp);
        lose();
        return false;
      }
      if (line.compare(0, 3, last) == 0 && (line.size() == 3 || line[3] == ' ')) break;
    }
  }
  session_->lastResponse_ = text;
  if (ProtocolTrace* t = session_->trace()) t->Line('<', text);
  reply.code = code;
  reply.text = std::move(text);
  if (code == 421) lose();  // the server is closing the connection
  return true;
}

bool FtpConnection::command(const std::string& line, Reply& reply) {
  return sendLine(line) && readReply(reply);
}

bool FtpConnection::simple(const std::string& line) {
  Reply r;
  if (!command(line, r)) return false;
  if (r.code / 100 == 2) return true;
  failReply(r);
  return false;
}

bool FtpConnection::login(const std::string& user, const std::string& password,
                          const Deadline& deadline, uint32_t& error) {
  const uint32_t receiveMs = session_->receiveMs_;
  // While logging in, a wait ends at the connection's deadline as well; a time-out names the
  // limit that ended it.
  bool connectLimit = false;
  auto waitMs = [&] {
    connectLimit = deadline.remainingMs() <= static_cast<long long>(receiveMs);
    return static_cast<uint32_t>(
        std::clamp<long long>(deadline.remainingMs(), 1, static_cast<long long>(receiveMs)));
  };
  auto refuse = [&](uint32_t code) {
    if (lastIo_ == Io::TimedOut) {
      error = kFtpErrTimeout;
      fail(timeoutText(connectLimit ? session_->connectMs_ : receiveMs));
    } else {
      error = code;
    }
    lose();
    return false;
  };
  Reply r;
  auto ask = [&](const std::string& line) { return sendLine(line) && readReply(r, waitMs()); };
  // "120 ready in a moment" may come first, but the greeting as a whole has one time-out:
  // a server repeating it forever must not hold the caller.
  Deadline greeting(waitMs());
  do {
    if (greeting.passed()) {
      lastIo_ = Io::TimedOut;
      return refuse(kFtpErrTimeout);
    }
    if (!readReply(r, static_cast<uint32_t>(std::max(greeting.remainingMs(), 1))))
      return refuse(kFtpErrConnectionAborted);
  } while (r.code / 100 == 1);
  if (r.code != 220) {
    failReply(r);
    return refuse(kFtpErrExtended);
  }
  if (session_->tls_ != FtpTls::Off) {
    uint32_t replyMs = waitMs();
    if (!startTls(deadline, replyMs, connectLimit ? session_->connectMs_ : receiveMs, error)) {
      lose();
      return false;
    }
  }
  if (hasLineBreak(user)) {
    fail(kLineBreak);
    return refuse(kFtpErrIncorrectUserName);
  }
  if (!ask("USER " + user)) return refuse(kFtpErrConnectionAborted);
  if (r.code != 230) {
    if (r.code != 331) {
      failReply(r);
      return refuse(r.code == 530 ? kFtpErrIncorrectUserName : kFtpErrLoginFailure);
    }
    if (hasLineBreak(password)) {
      fail(kLineBreak);
      return refuse(kFtpErrIncorrectPassword);
    }
    if (!ask("PASS " + password)) return refuse(kFtpErrConnectionAborted);
    if (r.code != 230 && r.code != 202) {
      failReply(r);
      return refuse(r.code == 530 ? kFtpErrIncorrectPassword : kFtpErrLoginFailure);
    }
  }
  if (secure()) {
    // Every data connection under TLS too (RFC 4217: PBSZ 0 then PROT P).
    for (const char* line : {"PBSZ 0", "PROT P"}) {
      if (!ask(line)) return refuse(kFtpErrConnectionAborted);
      if (r.code / 100 != 2) {
        fail(
            "le serveur refuse de chiffrer les donn\xE9"
            "es (" +
            replyText(r.text) + ")");
        return refuse(kFtpErrSecureChannel);
      }
    }
  }
  return true;
}

bool FtpConnection::startTls(const Deadline& deadline, uint32_t replyMs, uint32_t limitMs,
                             uint32_t& error) {
  Reply r;
  error = kFtpErrConnectionAborted;
  if (!sendLine("AUTH TLS") || !readReply(r, replyMs)) {
    if (lastIo_ == Io::TimedOut) {
      error = kFtpErrTimeout;
      fail(timeoutText(limitMs));
    }
    return false;
  }
  if (r.code != 234) {
    // Only a refusal lets an automatic choice go on in clear text, and never towards a
    // certificate trusted by its fingerprint: a man in the middle would only have to refuse.
    if (session_->tls_ == FtpTls::Auto && session_->trusted_.empty() && r.code >= 400 && alive()) {
      tlsRefused_ = true;
      return true;
    }
    fail("le serveur refuse TLS (" + replyText(r.text) + ")");
    session_->plainRefused_ = true;
    error = kFtpErrSecureChannel;
    return false;
  }
  error = kFtpErrSecureChannel;
  const TlsContext* context = session_->tlsContext_.get();
  if (context) link_.tls = TlsStream::Client(*context, link_.fd.get(), host_, nullptr);
  if (!link_.tls) {
    fail(kTlsFailed);
    return false;
  }
  in_.clear();  // nothing sent in clear after the 234 may count
  Io io = handshake(link_, deadline);
  if (io != Io::Done) {
    lastIo_ = io;
    tls12Refused_ = io == Io::Failed || io == Io::Closed;
    if (io == Io::TimedOut) error = kFtpErrTimeout;
    fail(io == Io::TimedOut ? timeoutText(session_->connectMs_) : kTlsFailed);
    return false;
  }
  std::string problem = link_.tls->CertificateProblem();
  if (problem.empty()) return true;
  std::string fingerprint = link_.tls->Fingerprint();
  const std::string& trusted = session_->trusted_;
  if (!trusted.empty() && NormalizeFingerprint(fingerprint) == trusted) return true;
  session_->refused_ = fingerprint;
  if (trusted.empty())
    fail("certificat refus\xE9 (" + problem + "), empreinte SHA-256 " + fingerprint);
  else
    fail("le certificat du serveur a chang\xE9 (" + problem + ") : empreinte SHA-256 attendue " +
         FingerprintText(trusted) + ", re\xE7ue " + fingerprint);
  error = kFtpErrInvalidCa;
  return false;
}

std::string FtpConnection::fingerprint() const {
  return link_.tls ? link_.tls->Fingerprint() : "";
}

bool FtpConnection::changeDir(const std::string& dir) {
  if (!simple("CWD " + dir)) return false;  // a refused CWD leaves the server where it was
  // An absolute folder is where the server now is; a relative one is asked for next time.
  cwdKnown_ = !dir.empty() && dir[0] == '/';
  if (cwdKnown_) cwd_ = dir;
  return true;
}

bool FtpConnection::currentDir(std::string& dir) {
  if (cwdKnown_ && alive()) {
    dir = cwd_;
    return true;
  }
  Reply r;
  if (!command("PWD", r)) return false;
  if (r.code == 257 && parse257(r.text, dir)) {
    cwd_ = dir;
    cwdKnown_ = true;
    return true;
  }
  failReply(r);
  return false;
}

bool FtpConnection::makeDir(const std::string& dir) {
  return simple("MKD " + dir);
}

bool FtpConnection::removeDir(const std::string& dir) {
  return simple("RMD " + dir);
}

bool FtpConnection::deleteFile(const std::string& remoteName) {
  return simple("DELE " + remoteName);
}

bool FtpConnection::setType(FtpTransfer mode) {
  char t = mode == FtpTransfer::Ascii ? 'A' : 'I';
  if (type_ == t) return true;
  if (!simple(std::string("TYPE ") + t)) return false;
  type_ = t;
  return true;
}

FtpConnection::Link FtpConnection::openPassive() {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  if (::getpeername(link_.fd.get(), reinterpret_cast<sockaddr*>(&peer), &len) != 0) {
    fail(kLost);
    return {};
  }
  Reply r;
  uint16_t port = 0;
  if (!noExtended_) {
    if (!command("EPSV", r)) return {};
    if (r.code == 229) {
      port = parseEpsv(r.text);
    } else if (unsupported(r.code) && peer.ss_family == AF_INET) {
      noExtended_ = true;
    } else {
      failReply(r);
      return {};
    }
  }
  if (noExtended_) {
    if (peer.ss_family != AF_INET || !command("PASV", r)) return {};
    if (r.code != 227) {
      failReply(r);
      return {};
    }
    port = parsePasv(r.text);
  }
  if (port == 0) {
    failReply(r);
    return {};
  }
  setPort(peer, port);
  Link data;
  int err = 0;
  Deadline d(session_->receiveMs_);
  int c = connectTo(reinterpret_cast<sockaddr*>(&peer), addrLen(peer), d, *session_, data.fd, err);
  if (c > 0) {
    noDelay(data.fd);
    return data;
  }
  if (c == 0) {
    fail(timeoutText(session_->receiveMs_));
    lose();  // the server offered a port and does not answer on it
  } else {
    fail(kDataRefused);
  }
  return {};
}

FtpConnection::Link FtpConnection::openActive() {
  sockaddr_storage local{};
  socklen_t len = sizeof local;
  if (::getsockname(link_.fd.get(), reinterpret_cast<sockaddr*>(&local), &len) != 0) {
    fail(kLost);
    return {};
  }
  setPort(local, 0);
  Link listening;
  listening.fd.reset(::socket(local.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  const int lfd = listening.fd.get();
  socklen_t boundLen = addrLen(local);
  if (lfd < 0 || ::bind(lfd, reinterpret_cast<sockaddr*>(&local), boundLen) != 0 ||
      ::listen(lfd, 1) != 0 ||
      ::getsockname(lfd, reinterpret_cast<sockaddr*>(&local), &boundLen) != 0) {
    fail(kDataRefused);
    return {};
  }
  bool v4 = local.ss_family == AF_INET;
  char ip[INET6_ADDRSTRLEN] = {};
  const void* raw =
      v4 ? static_cast<const void*>(&reinterpret_cast<sockaddr_in&>(local).sin_addr)
         : static_cast<const void*>(&reinterpret_cast<sockaddr_in6&>(local).sin6_addr);
  ::inet_ntop(local.ss_family, raw, ip, sizeof ip);
  std::string port = std::to_string(getPort(local));
  Reply r;
  bool ok = false;
  if (!noExtended_) {
    ok = command(std::string("EPRT |") + (v4 ? "1" : "2") + "|" + ip + "|" + port + "|", r) &&
         r.code / 100 == 2;
    if (!ok && alive() && unsupported(r.code) && v4) noExtended_ = true;
  }
  if (noExtended_ && v4) {
    std::string hp = ip;
    std::replace(hp.begin(), hp.end(), '.', ',');
    uint16_t p = getPort(local);
    ok = command("PORT " + hp + "," + std::to_string(p / 256) + "," + std::to_string(p % 256), r) &&
         r.code / 100 == 2;
  }
  if (ok) return listening;
  if (alive()) failReply(r);
  return {};
}

FtpConnection::Link FtpConnection::acceptData(const Link& listening) {
  Link data;
  if (waitFor(listening.fd.get(), POLLIN, Deadline(session_->receiveMs_), *session_) > 0)
    data.fd.reset(::accept4(listening.fd.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
  if (data.fd.valid())
    noDelay(data.fd);
  else
    fail(kNoData);
  return data;
}

bool FtpConnection::secureData(Link& data) {
  if (!secure()) return true;
  // The control connection's session is offered again: servers may require it, so that
  // nobody else can slip into the data connection.
  data.tls = TlsStream::Client(*session_->tlsContext_, data.fd.get(), host_, link_.tls.get());
  Io io = data.tls ? handshake(data, Deadline(session_->receiveMs_)) : Io::Failed;
  if (io == Io::Done &&
      (data.tls->Resumed() || data.tls->Fingerprint() == link_.tls->Fingerprint()))
    return true;
  fail(io == Io::TimedOut ? timeoutText(session_->receiveMs_) : kTlsFailed);
  return false;
}

FtpConnection::Io FtpConnection::sendFile(Link& data, int fileFd, FtpTransfer mode) {
  std::vector<char> buf(kChunk);
  std::string ascii;
  bool lastCr = false;
  for (;;) {
    if (session_->abort_) {
      fail(kAborted);
      return Io::Aborted;
    }
    ssize_t n = ::read(fileFd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      fail(kLocalFile);
      return Io::Failed;
    }
    if (n == 0) return Io::Done;
    const char* p = buf.data();
    size_t len = static_cast<size_t>(n);
    if (mode == FtpTransfer::Ascii) {  // lines end with CR LF on the wire
      ascii.clear();
      for (size_t i = 0; i < len; ++i) {
        if (buf[i] == '\n' && !lastCr) ascii += '\r';
        ascii += buf[i];
        lastCr = buf[i] == '\r';
      }
      p = ascii.data();
      len = ascii.size();
    }
    Io io = write(data, p, len, session_->receiveMs_, true);
    if (io != Io::Done) {
      failIo(io, session_->receiveMs_);
      return io;
    }
    notify(kFtpRequestSent, static_cast<uint32_t>(n));
  }
}

// Opens the data connection of a command that answers on one (STOR, LIST, MLSD); invalid on
// failure, with the server's refusal code in `refused`.
FtpConnection::Link FtpConnection::openDataFor(const std::string& line, int& refused) {
  Link listening, data;
  if (passive_)
    data = openPassive();
  else
    listening = openActive();
  if (!data.fd.valid() && !listening.fd.valid()) return Link();
  Reply r;
  if (!command(line, r)) return Link();
  if (r.code / 100 != 1) {
    refused = r.code;
    failReply(r);
    return Link();
  }
  if (listening.fd.valid()) {
    data = acceptData(listening);
    if (!data.fd.valid()) lose();  // the server said it would connect and did not
  }
  return data;
}

bool FtpConnection::putFile(const std::string& localFile, const std::string& remoteName,
                            FtpTransfer mode) {
  if (!alive()) {
    fail(kLost);
    return false;
  }
  if (hasLineBreak(remoteName)) {
    fail(kLineBreak);
    return false;
  }
  OwnedFd file(::open(localFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
  struct stat st {};
  if (!file.valid() || ::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode)) {
    fail(kLocalFile);
    return false;
  }
  if (!setType(mode)) return false;
  int refused = 0;
  Link data = openDataFor("STOR " + remoteName, refused);
  if (!data.fd.valid()) return false;
  // The owner may end this file at once from here on (abortTransfer).
  struct Transfer {
    FtpSession& s;
    explicit Transfer(FtpSession& session) : s(session) {
      s.transferring_ = true, s.abort_ = false;
    }
    ~Transfer() { s.transferring_ = false, s.abort_ = false; }
  } transfer(*session_);
  Io sent = secureData(data) ? sendFile(data, file.get(), mode) : Io::Failed;
  file.reset();
  // A clean end (close notice, then end of stream) tells the server the file is whole. The
  // socket itself is closed only once the server has replied: closed earlier, a late message of
  // the server (a session ticket, its close notice) would reset the link under bytes it may not
  // have read yet. A failed transfer is reset at once, so it cannot pass for a whole file.
  if (sent == Io::Done) {
    endData(data);
  } else {
    linger abort{1, 0};
    ::setsockopt(data.fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
    data = Link();
  }
  if (sent == Io::TimedOut) {  // the server stopped reading: nothing more to expect
    lose();
    return false;
  }
  // Even after a failure the server's reply is read, so that the link stays in step; a refusal
  // there (disk full, no right to write) says more than a broken data connection.
  std::string why = session_->failure_;
  uint32_t replyMs =
      sent == Io::Done ? session_->receiveMs_ : std::min(session_->receiveMs_, kQuitMs);
  Reply r;
  if (!readReply(r, replyMs)) {
    if (sent != Io::Done) fail(why);
    return false;
  }
  if (r.code / 100 != 2) {
    if (sent == Io::Aborted)
      fail(why);
    else
      failReply(r);
    return false;
  }
  if (sent != Io::Done) return false;
  data = Link();
  notify(kFtpResponseReceived, 0);
  return true;
}

bool FtpConnection::rename(const std::string& from, const std::string& to, bool& refused) {
  refused = false;
  Reply r;
  if (!command("RNFR " + from, r)) return false;
  if (r.code == 350) {
    if (!command("RNTO " + to, r)) return false;
    if (r.code / 100 == 2) return true;
  }
  refused = alive() && r.code / 100 == 5;
  failReply(r);
  return false;
}

bool FtpConnection::list(const std::string& dir, std::vector<FtpEntry>& entries, size_t& unread) {
  entries.clear();
  unread = 0;
  const std::string arg = dir.empty() ? "" : " " + dir;
  std::string bytes;
  int code = 0;
  if (!noMlsd_) {
    if (receive("MLSD" + arg, bytes, code)) {
      entries = ParseMlsd(bytes, &unread);
      return true;
    }
    if (!alive() || !unsupported(code)) return false;
    noMlsd_ = true;
  }
  if (!receive("LIST" + arg, bytes, code)) return false;
  entries = ParseList(bytes, &unread);
  return true;
}

bool FtpConnection::receive(const std::string& line, std::string& bytes, int& code) {
  code = 0;
  bytes.clear();
  if (!alive()) {
    fail(kLost);
    return false;
  }
  if (hasLineBreak(line)) {
    fail(kLineBreak);
    return false;
  }
  Link data = openDataFor(line, code);
  if (!data.fd.valid()) return false;
  Io io = secureData(data) ? Io::Done : Io::Failed;
  std::vector<char> buf(kChunk);
  while (io == Io::Done) {
    size_t got = 0;
    io = read(data, buf.data(), buf.size(), got, Deadline(session_->receiveMs_));
    if (io != Io::Done) {
      if (io != Io::Closed) failIo(io, session_->receiveMs_);
      break;
    }
    bytes.append(buf.data(), got);
    if (bytes.size() > kMaxListing) {
      fail(kListingTooLong);
      io = Io::Failed;
    }
  }
  const bool whole = io == Io::Closed;  // the server ends the listing by closing
  if (!whole) {
    linger abort{1, 0};
    ::setsockopt(data.fd.get(), SOL_SOCKET, SO_LINGER, &abort, sizeof abort);
  }
  data = Link();
  if (io == Io::TimedOut) {
    lose();
    return false;
  }
  std::string why = session_->failure_;
  uint32_t replyMs = whole ? session_->receiveMs_ : std::min(session_->receiveMs_, kQuitMs);
  Reply r;
  if (!readReply(r, replyMs)) {
    if (!whole) fail(why);
    return false;
  }
  if (whole && r.code / 100 == 2) return true;
  if (whole)
    failReply(r);
  else
    fail(why);
  return false;
}

}  // namespace lignado
