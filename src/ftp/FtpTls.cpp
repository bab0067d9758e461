#include "ftp/FtpTls.h"

#include <arpa/inet.h>
#include <openssl/bio.h>
#include <openssl/err.h>
#include <openssl/ssl.h>
#include <openssl/x509v3.h>
#include <sys/socket.h>

#include <cctype>
#include <cerrno>
#include <cstdint>

#include "util/Text.h"

namespace lignado {

namespace {

// A socket BIO that sends with MSG_NOSIGNAL: a peer gone away must give EPIPE, not a SIGPIPE
// that ends the program; blocking the signal around every call costs three system calls.
int fdOf(BIO* b) {
  return static_cast<int>(reinterpret_cast<intptr_t>(BIO_get_data(b)));
}

int socketWrite(BIO* b, const char* data, size_t length, size_t* written) {
  BIO_clear_retry_flags(b);
  ssize_t n;
  do n = ::send(fdOf(b), data, length, MSG_NOSIGNAL);
  while (n < 0 && errno == EINTR);
  if (n >= 0) {
    *written = static_cast<size_t>(n);
    return 1;
  }
  if (errno == EAGAIN || errno == EWOULDBLOCK) BIO_set_retry_write(b);
  return 0;
}

int socketRead(BIO* b, char* buffer, size_t capacity, size_t* got) {
  BIO_clear_retry_flags(b);
  ssize_t n;
  do n = ::recv(fdOf(b), buffer, capacity, 0);
  while (n < 0 && errno == EINTR);
  if (n > 0) {
    *got = static_cast<size_t>(n);
    return 1;
  }
  if (n == 0)
    BIO_set_flags(b, BIO_FLAGS_IN_EOF);
  else if (errno == EAGAIN || errno == EWOULDBLOCK)
    BIO_set_retry_read(b);
  return 0;
}

long socketCtrl(BIO* b, int command, long number, void* pointer) {
  switch (command) {
    case BIO_C_SET_FD:
      BIO_set_data(b, reinterpret_cast<void*>(static_cast<intptr_t>(*static_cast<int*>(pointer))));
      BIO_set_init(b, 1);
      return 1;
    case BIO_C_GET_FD: {
      int fd = BIO_get_init(b) ? fdOf(b) : -1;
      if (pointer) *static_cast<int*>(pointer) = fd;
      return fd;
    }
    case BIO_CTRL_EOF:
      return BIO_test_flags(b, BIO_FLAGS_IN_EOF) != 0;
    case BIO_CTRL_FLUSH:
    case BIO_CTRL_DUP:
      return 1;
    default:
      (void)number;
      return 0;
  }
}

const BIO_METHOD* quietSocket() {
  static BIO_METHOD* method = [] {
    BIO_METHOD* m = BIO_meth_new(BIO_get_new_index() | BIO_TYPE_SOURCE_SINK | BIO_TYPE_DESCRIPTOR,
                                 "lignado socket");
    if (m) {
      BIO_meth_set_write_ex(m, socketWrite);
      BIO_meth_set_read_ex(m, socketRead);
      BIO_meth_set_ctrl(m, socketCtrl);
    }
    return m;
  }();
  return method;
}

bool isAddress(const std::string& host) {
  unsigned char buf[sizeof(in6_addr)];
  return ::inet_pton(AF_INET, host.c_str(), buf) == 1 ||
         ::inet_pton(AF_INET6, host.c_str(), buf) == 1;
}

}  // namespace

TlsContext::TlsContext(TlsVersions versions)
    : ctx_(SSL_CTX_new(TLS_client_method())), versions_(versions) {
  if (!ctx_) return;
  SSL_CTX_set_min_proto_version(ctx_, TLS1_2_VERSION);
  if (versions == TlsVersions::Only12) SSL_CTX_set_max_proto_version(ctx_, TLS1_2_VERSION);
  SSL_CTX_set_default_verify_paths(ctx_);
  // The chain and the name are checked after the handshake, so that a certificate the user
  // has accepted by its fingerprint can still be used.
  SSL_CTX_set_verify(ctx_, SSL_VERIFY_NONE, nullptr);
  SSL_CTX_set_mode(ctx_, SSL_MODE_ENABLE_PARTIAL_WRITE | SSL_MODE_ACCEPT_MOVING_WRITE_BUFFER);
}

TlsContext::~TlsContext() {
  SSL_CTX_free(ctx_);
}

std::unique_ptr<TlsStream> TlsStream::Client(const TlsContext& context, int fd,
                                             const std::string& host, const TlsStream* resume) {
  if (!context.valid()) return nullptr;
  ERR_clear_error();
  std::unique_ptr<TlsStream> s(new TlsStream(SSL_new(context.get())));
  if (!s->ssl_ || !quietSocket()) return nullptr;
  BIO* bio = BIO_new(quietSocket());
  if (!bio) return nullptr;
  BIO_set_fd(bio, fd, BIO_NOCLOSE);
  SSL_set_bio(s->ssl_, bio, bio);
  SSL_set_connect_state(s->ssl_);
  if (isAddress(host)) {
    X509_VERIFY_PARAM_set1_ip_asc(SSL_get0_param(s->ssl_), host.c_str());
  } else if (!host.empty()) {
    SSL_set_tlsext_host_name(s->ssl_, host.c_str());
    SSL_set1_host(s->ssl_, host.c_str());
  }
  if (resume) SSL_set_session(s->ssl_, SSL_get_session(resume->ssl_));
  return s;
}

TlsStream::~TlsStream() {
  SSL_free(ssl_);
}

TlsIo TlsStream::Result(int ret) const {
  int err = SSL_get_error(ssl_, ret);
  ERR_clear_error();
  switch (err) {
    case SSL_ERROR_WANT_READ:
      return TlsIo::WantRead;
    case SSL_ERROR_WANT_WRITE:
      return TlsIo::WantWrite;
    case SSL_ERROR_ZERO_RETURN:
      return TlsIo::Closed;
    case SSL_ERROR_SYSCALL:
      return errno == 0 ? TlsIo::Closed : TlsIo::Failed;
    default:
      return TlsIo::Failed;
  }
}

TlsIo TlsStream::Handshake() {
  ERR_clear_error();
  errno = 0;
  int r = SSL_do_handshake(ssl_);
  return r == 1 ? TlsIo::Done : Result(r);
}

TlsIo TlsStream::Read(char* buffer, size_t capacity, size_t& got) {
  ERR_clear_error();
  errno = 0;
  got = 0;
  int r = SSL_read_ex(ssl_, buffer, capacity, &got);
  return r == 1 ? TlsIo::Done : Result(r);
}

TlsIo TlsStream::Write(const char* data, size_t length, size_t& written) {
  ERR_clear_error();
  errno = 0;
  written = 0;
  int r = SSL_write_ex(ssl_, data, length, &written);
  return r == 1 ? TlsIo::Done : Result(r);
}

TlsIo TlsStream::SendClose() {
  ERR_clear_error();
  errno = 0;
  if (sentClose_) return TlsIo::Done;
  int r = SSL_shutdown(ssl_);
  if (r < 0) return Result(r);
  sentClose_ = true;
  return TlsIo::Done;
}

TlsIo TlsStream::Shutdown() {
  if (!sentClose_) {
    TlsIo io = SendClose();
    if (io != TlsIo::Done) return io;
  }
  // What the peer still sends (session tickets, its own close notice) is read and dropped:
  // closing a socket with unread bytes would reset the link and could cost the peer its data.
  char scratch[4096];
  for (;;) {
    size_t got = 0;
    TlsIo io = Read(scratch, sizeof scratch, got);
    if (io == TlsIo::Done) continue;
    return io == TlsIo::WantRead || io == TlsIo::WantWrite ? io : TlsIo::Done;
  }
}

std::string TlsStream::CertificateProblem() const {
  X509* cert = SSL_get0_peer_certificate(ssl_);
  if (!cert) return "aucun certificat";
  long v = SSL_get_verify_result(ssl_);
  switch (v) {
    case X509_V_OK:
      return "";
    case X509_V_ERR_DEPTH_ZERO_SELF_SIGNED_CERT:
      return "certificat auto-sign\xE9";
    case X509_V_ERR_SELF_SIGNED_CERT_IN_CHAIN:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT:
    case X509_V_ERR_UNABLE_TO_GET_ISSUER_CERT_LOCALLY:
    case X509_V_ERR_UNABLE_TO_VERIFY_LEAF_SIGNATURE:
      return "autorit\xE9 de certification inconnue";
    case X509_V_ERR_CERT_HAS_EXPIRED:
      return "certificat expir\xE9";
    case X509_V_ERR_CERT_NOT_YET_VALID:
      return "certificat pas encore valable";
    case X509_V_ERR_CERT_REVOKED:
      return "certificat r\xE9voqu\xE9";
    case X509_V_ERR_HOSTNAME_MISMATCH:
    case X509_V_ERR_IP_ADDRESS_MISMATCH:
      return "certificat \xE9tabli pour un autre nom";
    default:
      return "certificat invalide (code " + std::to_string(v) + ")";
  }
}

std::string TlsStream::Fingerprint() const {
  X509* cert = SSL_get0_peer_certificate(ssl_);
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int n = 0;
  if (!cert || X509_digest(cert, EVP_sha256(), md, &n) != 1) return "";
  std::string out;
  for (unsigned i = 0; i < n; ++i) {
    if (i) out += ':';
    AppendHex(out, md[i]);
  }
  return out;
}

bool TlsStream::Resumed() const {
  return SSL_session_reused(ssl_) == 1;
}

std::string NormalizeFingerprint(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c == ':' || c == ' ' || c == '-') continue;
    if (!std::isxdigit(static_cast<unsigned char>(c))) return "";
    out += static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return out.size() == 64 ? out : "";
}

std::string FingerprintText(const std::string& normalized) {
  std::string out;
  for (size_t i = 0; i < normalized.size(); i += 2) {
    if (i) out += ':';
    out += normalized.substr(i, 2);
  }
  return out;
}

}  // namespace lignado
