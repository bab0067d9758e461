#pragma once

#include <memory>
#include <string>

struct ssl_st;
struct ssl_ctx_st;

namespace lignado {

// The client side of TLS (1.2 or later, OpenSSL) for the FTP connection. Sockets are
// non-blocking: each call says what it waits for, and the caller waits and calls again.
enum class TlsIo { Done, WantRead, WantWrite, Closed, Failed };

// The versions a context offers. TLS 1.2 is offered alone first: one data connection per file
// makes FTPS open many short links, and TLS 1.2 sessions resume without a new key exchange
// or new tickets, and are taken again by every server that demands reuse. TLS 1.3 is for the
// servers that refuse 1.2.
enum class TlsVersions { Only12, From12 };

// What every TLS connection of a session shares: versions and the system's certificates.
class TlsContext {
 public:
  explicit TlsContext(TlsVersions versions);
  ~TlsContext();
  TlsContext(const TlsContext&) = delete;
  TlsContext& operator=(const TlsContext&) = delete;
  bool valid() const { return ctx_ != nullptr; }
  ssl_ctx_st* get() const { return ctx_; }
  TlsVersions versions() const { return versions_; }

 private:
  ssl_ctx_st* ctx_;
  TlsVersions versions_;
};

class TlsStream {
 public:
  /// A client over a connected socket (not owned). `host` is checked against the certificate;
  /// `resume`, when given, offers its session again (servers may require that on data links).
  static std::unique_ptr<TlsStream> Client(const TlsContext& context, int fd,
                                           const std::string& host, const TlsStream* resume);
  ~TlsStream();
  TlsStream(const TlsStream&) = delete;
  TlsStream& operator=(const TlsStream&) = delete;

  TlsIo Handshake();
  TlsIo Read(char* buffer, size_t capacity, size_t& got);
  TlsIo Write(const char* data, size_t length, size_t& written);
  /// Done once our close notice went out and the peer's came back (or the peer closed).
  TlsIo Shutdown();
  /// Done once our close notice went out.
  TlsIo SendClose();

  /// The French reason the server's certificate is not trusted by the system, empty when it is.
  std::string CertificateProblem() const;
  /// SHA-256 of the server's certificate as "AB:CD:...", empty when there is none.
  std::string Fingerprint() const;
  bool Resumed() const;

 private:
  explicit TlsStream(ssl_st* ssl) : ssl_(ssl) {}
  TlsIo Result(int ret) const;

  ssl_st* ssl_;
  bool sentClose_ = false;
};

/// A fingerprint as a user may type it (colons, blanks, lower case) reduced to upper-case hex;
/// empty when it is not one.
std::string NormalizeFingerprint(const std::string& text);

/// A normalized fingerprint as the certificate's own is shown: "AB:CD:...".
std::string FingerprintText(const std::string& normalized);

}  // namespace lignado
