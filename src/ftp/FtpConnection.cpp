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

namespace lignado {

using Clock = std::chrono::steady_clock;

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

void pump(const FtpSession& s) {
  if (FtpListener* l = s.listener()) l->ftpWaiting();
}

// 1 ready, 0 time-out, -1 error.
int waitFor(int fd, short events, const Deadline& d, const FtpSession& s) {
  pollfd p{fd, events, 0};
  int r;
  do r = ::poll(&p, 1, 0);
  while (r < 0 && errno == EINTR);
  if (r != 0) return r > 0 ? 1 : -1;
  for (;;) {
    pump(s);
    if (d.passed()) return 0;
    r = ::poll(&p, 1, std::min(d.remainingMs(), kPumpMs));
    if (r > 0) return 1;
    if (r < 0 && errno != EINTR) return -1;
  }
}

// 1 connected, 0 time-out, -1 refused or unreachable.
int connectTo(const sockaddr* addr, socklen_t len, const Deadline& d, const FtpSession& s,
              OwnedFd& out) {
  OwnedFd fd(::socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!fd.valid()) return -1;
  if (::connect(fd.get(), addr, len) != 0) {
    if (errno != EINPROGRESS) return -1;
    int w = waitFor(fd.get(), POLLOUT, d, s);
    int err = 0;
    socklen_t errLen = sizeof err;
    if (w <= 0 || ::getsockopt(fd.get(), SOL_SOCKET, SO_ERROR, &err, &errLen) != 0 || err != 0)
      return w == 0 ? 0 : -1;
  }
  out = std::move(fd);
  return 1;
}

bool sendAll(int fd, const char* p, size_t len, uint32_t timeoutMs, const FtpSession& s,
             bool& timedOut) {
  while (len > 0) {
    ssize_t n = ::send(fd, p, len, MSG_NOSIGNAL);
    if (n > 0) {
      p += n;
      len -= static_cast<size_t>(n);
      continue;
    }
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK)) {
      int w = waitFor(fd, POLLOUT, Deadline(timeoutMs), s);
      if (w == 0) timedOut = true;
      if (w <= 0) return false;
      continue;
    }
    return false;
  }
  return true;
}

struct AddrInfoFree {
  void operator()(addrinfo* a) const { ::freeaddrinfo(a); }
};
using AddrInfoList = std::unique_ptr<addrinfo, AddrInfoFree>;

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

std::unique_ptr<FtpConnection> FtpSession::connect(const std::string& host, uint16_t port,
                                                   const std::string& user,
                                                   const std::string& password, bool passive,
                                                   uint32_t& error) {
  error = 0;
  auto notify = [this](int32_t status) {
    if (listener_) listener_->ftpStatus(status, 0);
  };
  std::string name = host;
  if (name.size() > 2 && name.front() == '[' && name.back() == ']')
    name = name.substr(1, name.size() - 2);
  Deadline deadline(connectMs_);
  notify(kFtpResolving);
  AddrInfoList found;
  int r = name.empty() ? -1 : resolve(name, port ? port : 21, deadline, *this, found);
  if (r <= 0) {
    error = r == 0 ? kFtpErrTimeout : kFtpErrNameNotResolved;
    return nullptr;
  }
  notify(kFtpResolved);
  OwnedFd fd;
  bool timedOut = false;
  // Refused attempts are retried at once; the time-out covers every attempt together.
  for (uint32_t a = 0; a < std::max<uint32_t>(retries_, 1) && !fd.valid() && !timedOut; ++a) {
    for (addrinfo* ai = found.get(); ai && !fd.valid() && !timedOut; ai = ai->ai_next) {
      notify(kFtpConnecting);
      timedOut = connectTo(ai->ai_addr, ai->ai_addrlen, deadline, *this, fd) == 0;
    }
  }
  if (!fd.valid()) {
    error = timedOut ? kFtpErrTimeout : kFtpErrCannotConnect;
    return nullptr;
  }
  int one = 1;
  ::setsockopt(fd.get(), IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
  std::unique_ptr<FtpConnection> c(new FtpConnection(shared_from_this(), std::move(fd), passive));
  c->notify(kFtpConnected);
  if (!c->login(user, password, error)) return nullptr;
  return c;
}

FtpConnection::FtpConnection(std::shared_ptr<FtpSession> session, OwnedFd fd, bool passive)
    : session_(std::move(session)), fd_(std::move(fd)), passive_(passive) {}

FtpConnection::~FtpConnection() {
  close();
}

void FtpConnection::notify(int32_t status, uint32_t count) {
  if (FtpListener* l = session_->listener()) l->ftpStatus(status, count);
}

void FtpConnection::lose() {
  if (!fd_.valid()) return;
  if (!closing_) notify(kFtpClosing);
  fd_.reset();
  in_.clear();
  if (!closing_) notify(kFtpClosed);
}

void FtpConnection::close() {
  if (!fd_.valid()) return;
  notify(kFtpClosing);
  closing_ = true;
  Reply r;
  if (sendLine("QUIT")) readReply(r, std::min(session_->receiveMs_, kQuitMs));
  closing_ = false;
  fd_.reset();
  in_.clear();
}

bool FtpConnection::sendLine(const std::string& line) {
  if (!fd_.valid() || hasLineBreak(line)) return false;
  std::string out = line + "\r\n";
  bool timedOut = false;
  if (sendAll(fd_.get(), out.data(), out.size(), session_->receiveMs_, *session_, timedOut))
    return true;
  timedOut_ = timedOut;
  lose();
  return false;
}

bool FtpConnection::readLine(std::string& line, const Deadline& d) {
  for (;;) {
    auto nl = in_.find('\n');
    if (nl != in_.npos && nl <= kMaxLine) {
      line.assign(in_, 0, nl);
      in_.erase(0, nl + 1);
      if (!line.empty() && line.back() == '\r') line.pop_back();
      return true;
    }
    if (in_.size() > kMaxLine) {  // not an FTP server
      lose();
      return false;
    }
    int w = waitFor(fd_.get(), POLLIN, d, *session_);
    if (w == 0) timedOut_ = true;
    char buf[4096];
    ssize_t n = w > 0 ? ::recv(fd_.get(), buf, sizeof buf, 0) : -1;
    if (n < 0 && w > 0 && (errno == EAGAIN || errno == EINTR)) continue;
    if (n <= 0) {
      lose();
      return false;
    }
    in_.append(buf, static_cast<size_t>(n));
  }
}

bool FtpConnection::readReply(Reply& reply) {
  return readReply(reply, session_->receiveMs_);
}

bool FtpConnection::readReply(Reply& reply, uint32_t timeoutMs) {
  if (!fd_.valid()) return false;
  timedOut_ = false;
  Deadline d(timeoutMs);
  std::string line;
  int code = 0;
  if (!readLine(line, d)) return false;
  if (!replyCode(line, code)) {
    lose();
    return false;
  }
  std::string text = line;
  if (line.size() > 3 && line[3] == '-') {
    const std::string last = line.substr(0, 3);
    for (;;) {
      if (!readLine(line, d)) return false;
      text += "\r\n";
      text += line;
      if (text.size() > kMaxReply) {
        lose();
        return false;
      }
      if (line.compare(0, 3, last) == 0 && (line.size() == 3 || line[3] == ' ')) break;
    }
  }
  session_->lastResponse_ = text;
  reply.code = code;
  reply.text = std::move(text);
  if (code == 421) lose();  // the server is closing the connection
  return true;
}

bool FtpConnection::command(const std::string& line, Reply& reply) {
  return sendLine(line) && readReply(reply);
}

bool FtpConnection::login(const std::string& user, const std::string& password, uint32_t& error) {
  Reply r;
  auto fail = [&](uint32_t code) {
    error = timedOut_ ? kFtpErrTimeout : code;
    lose();
    return false;
  };
  // "120 ready in a moment" may come first, but the greeting as a whole has one time-out:
  // a server repeating it forever must not hold the caller.
  Deadline greeting(session_->receiveMs_);
  do {
    if (greeting.passed()) {
      timedOut_ = true;
      return fail(kFtpErrTimeout);
    }
    if (!readReply(r, static_cast<uint32_t>(std::max(greeting.remainingMs(), 1))))
      return fail(kFtpErrConnectionAborted);
  } while (r.code / 100 == 1);
  if (r.code != 220) return fail(kFtpErrExtended);
  if (hasLineBreak(user)) return fail(kFtpErrIncorrectUserName);
  if (!command("USER " + user, r)) return fail(kFtpErrConnectionAborted);
  if (r.code == 230) return true;
  if (r.code != 331) return fail(r.code == 530 ? kFtpErrIncorrectUserName : kFtpErrLoginFailure);
  if (hasLineBreak(password)) return fail(kFtpErrIncorrectPassword);
  if (!command("PASS " + password, r)) return fail(kFtpErrConnectionAborted);
  if (r.code == 230 || r.code == 202) return true;
  return fail(r.code == 530 ? kFtpErrIncorrectPassword : kFtpErrLoginFailure);
}

bool FtpConnection::changeDir(const std::string& dir) {
  Reply r;
  return command("CWD " + dir, r) && r.code / 100 == 2;
}

bool FtpConnection::currentDir(std::string& dir) {
  Reply r;
  return command("PWD", r) && r.code == 257 && parse257(r.text, dir);
}

bool FtpConnection::makeDir(const std::string& dir) {
  Reply r;
  return command("MKD " + dir, r) && r.code / 100 == 2;
}

bool FtpConnection::setType(FtpTransfer mode) {
  char t = mode == FtpTransfer::Ascii ? 'A' : 'I';
  if (type_ == t) return true;
  Reply r;
  if (!command(std::string("TYPE ") + t, r) || r.code / 100 != 2) return false;
  type_ = t;
  return true;
}

OwnedFd FtpConnection::openPassive() {
  sockaddr_storage peer{};
  socklen_t len = sizeof peer;
  if (::getpeername(fd_.get(), reinterpret_cast<sockaddr*>(&peer), &len) != 0) return {};
  Reply r;
  uint16_t port = 0;
  if (!noExtended_) {
    if (!command("EPSV", r)) return {};
    if (r.code == 229)
      port = parseEpsv(r.text);
    else if (unsupported(r.code) && peer.ss_family == AF_INET)
      noExtended_ = true;
    else
      return {};
  }
  if (noExtended_) {
    if (peer.ss_family != AF_INET || !command("PASV", r) || r.code != 227) return {};
    port = parsePasv(r.text);
  }
  if (port == 0) return {};
  setPort(peer, port);
  OwnedFd fd;
  Deadline d(session_->receiveMs_);
  int c = connectTo(reinterpret_cast<sockaddr*>(&peer), addrLen(peer), d, *session_, fd);
  if (c == 0) lose();  // the server offered a port and does not answer on it
  return fd;
}

OwnedFd FtpConnection::openActive() {
  sockaddr_storage local{};
  socklen_t len = sizeof local;
  if (::getsockname(fd_.get(), reinterpret_cast<sockaddr*>(&local), &len) != 0) return {};
  setPort(local, 0);
  OwnedFd listening(::socket(local.ss_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0));
  if (!listening.valid()) return {};
  const int lfd = listening.get();
  socklen_t boundLen = addrLen(local);
  if (::bind(lfd, reinterpret_cast<sockaddr*>(&local), boundLen) != 0 || ::listen(lfd, 1) != 0 ||
      ::getsockname(lfd, reinterpret_cast<sockaddr*>(&local), &boundLen) != 0)
    return {};
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
  if (!ok) return {};
  return listening;
}

OwnedFd FtpConnection::acceptData(const OwnedFd& listening) {
  if (waitFor(listening.get(), POLLIN, Deadline(session_->receiveMs_), *session_) <= 0) return {};
  return OwnedFd(::accept4(listening.get(), nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC));
}

FtpConnection::SendResult FtpConnection::sendFile(int dataFd, int fileFd, FtpTransfer mode) {
  std::vector<char> buf(kChunk);
  std::string ascii;
  bool lastCr = false;
  for (;;) {
    ssize_t n = ::read(fileFd, buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return SendResult::LocalError;
    if (n == 0) return SendResult::Done;
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
    bool timedOut = false;
    if (!sendAll(dataFd, p, len, session_->receiveMs_, *session_, timedOut))
      return timedOut ? SendResult::TimedOut : SendResult::Broken;
    notify(kFtpRequestSent, static_cast<uint32_t>(n));
  }
}

bool FtpConnection::putFile(const std::string& localFile, const std::string& remoteName,
                            FtpTransfer mode) {
  if (!fd_.valid() || hasLineBreak(remoteName)) return false;
  OwnedFd file(::open(localFile.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!file.valid()) return false;
  struct stat st {};
  if (::fstat(file.get(), &st) != 0 || !S_ISREG(st.st_mode) || !setType(mode)) return false;
  OwnedFd listening, data;
  if (passive_)
    data = openPassive();
  else
    listening = openActive();
  if (!data.valid() && !listening.valid()) return false;
  Reply r;
  bool started = command("STOR " + remoteName, r) && r.code / 100 == 1;
  if (started && listening.valid()) {
    data = acceptData(listening);
    if (!data.valid()) lose();  // the server said it would connect and did not
  }
  listening.reset();
  if (!started || !data.valid()) return false;
  SendResult sent = sendFile(data.get(), file.get(), mode);
  // Closing the data connection tells the server the file is complete.
  data.reset();
  file.reset();
  if (sent == SendResult::TimedOut) {  // the server stopped reading: nothing more to expect
    lose();
    return false;
  }
  // Even after a failure the server's reply is read, so that the link stays in step.
  if (!readReply(r) || sent != SendResult::Done || r.code / 100 != 2) return false;
  notify(kFtpResponseReceived, 0);
  return true;
}

}  // namespace lignado
