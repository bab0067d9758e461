#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "ftp/FtpListing.h"

namespace lignado {

enum class FtpTransfer { Unknown, Ascii, Binary };
enum class RemoteProtocol { Ftp, Sftp };

// One logged-in connection to a server, whatever its protocol (FTP, FTPS, SFTP): the operations
// the client components drive. Relative remote names are taken from the current folder. Each
// failure leaves its French reason in the session the connection was made from.
class RemoteLink {
 public:
  virtual ~RemoteLink() = default;

  virtual bool alive() const = 0;
  /// The link is encrypted (TLS, SSH).
  virtual bool secure() const = 0;
  /// The server refused TLS and the session went on in clear text.
  virtual bool tlsRefused() const { return false; }
  /// The server's certificate fingerprint ("AB:CD:..."), empty when there is none.
  virtual std::string fingerprint() const { return ""; }
  virtual bool changeDir(const std::string& dir) = 0;
  virtual bool currentDir(std::string& dir) = 0;
  virtual bool makeDir(const std::string& dir) = 0;
  virtual bool removeDir(const std::string& dir) = 0;
  virtual bool deleteFile(const std::string& remoteName) = 0;
  /// `refused` tells a refusal by the server from a lost link.
  virtual bool rename(const std::string& from, const std::string& to, bool& refused) = 0;
  /// The entries of a remote folder (empty: the current one); `unread`: entries that could not
  /// be read.
  virtual bool list(const std::string& dir, std::vector<FtpEntry>& entries, size_t& unread) = 0;
  /// Stores a local regular file under the remote name; true only when the server has it whole.
  virtual bool putFile(const std::string& localFile, const std::string& remoteName,
                       FtpTransfer mode) = 0;
  virtual void close() = 0;
};

}  // namespace lignado
