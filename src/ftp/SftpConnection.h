#pragma once

#include <memory>
#include <string>
#include <vector>

#include "ftp/FtpConnection.h"

namespace lignado {

// How an SFTP connection logs in and which host keys it trusts.
struct SftpOptions {
  std::string keyFile;     // a private key to log in with; empty: the agent and ~/.ssh keys
  std::string passphrase;  // of that key
  std::string knownHosts;  // empty: ~/.ssh/known_hosts of the user
  std::string trustedKey;  // "SHA256:..." of a host key the user accepted
};

/// "SHA256:" followed by the unpadded base64 of a key's hash, as `ssh-keygen -l` prints it, from
/// any usual way of writing one (prefix missing, padding kept); empty when it is not one.
std::string NormalizeHostKey(const std::string& typed);

/// The user's ~/.ssh/known_hosts ($HOME first, then the password database).
std::string DefaultKnownHosts();

struct SshHandles;

// SFTP over libssh: a TCP connection opened by the session (its time-outs, its stop request),
// the host key checked, then password, key file or agent log-in. SFTP has no current folder:
// the connection keeps one, starting in the folder the server logs the user into. Progress and
// a lost link are reported to the session's listener as the FTP connection does.
class SftpConnection : public RemoteLink {
 public:
  ~SftpConnection() override;

  bool alive() const override;
  bool secure() const override { return true; }
  bool changeDir(const std::string& dir) override;
  bool currentDir(std::string& dir) override;
  bool makeDir(const std::string& dir) override;
  bool removeDir(const std::string& dir) override;
  bool deleteFile(const std::string& remoteName) override;
  /// Replaces an existing file of the new name (the protocol's rename alone refuses to).
  bool rename(const std::string& from, const std::string& to, bool& refused) override;
  bool list(const std::string& dir, std::vector<FtpEntry>& entries, size_t& unread) override;
  bool putFile(const std::string& localFile, const std::string& remoteName,
               FtpTransfer mode) override;
  void close() override;

 private:
  friend class FtpSession;
  SftpConnection(std::shared_ptr<FtpSession> session, std::unique_ptr<SshHandles> ssh);

  std::string path(const std::string& name) const;  // absolute, from the current folder
  bool failed(const std::string& what, const std::string& name);
  void lose();
  void trace(char direction, const std::string& text);

  std::shared_ptr<FtpSession> session_;
  std::unique_ptr<SshHandles> ssh_;
  std::string cwd_;
  bool lost_ = false;
};

}  // namespace lignado
