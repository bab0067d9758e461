#pragma once

#include <cstdint>
#include <memory>
#include <stdexcept>
#include <string>
#include <vector>

#include "ftp/SftpConnection.h"
#include "ftp/WinInetControl.h"

namespace lignado {

enum TFTPTransferType { ttUnknown, ttAscii, ttBinary };
enum TFTPFileSystemType { ftUnix, ftUnknown };

class ESimpleFTPError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

struct TFTPProgressInfo {
  int64_t BytesSent = 0;  // of the current file
  int64_t FileSize = 0;
  int64_t MajorPosition = 0;  // shown only on the major bar and label; nothing sets them
  int64_t MajorMax = 0;
  std::string FileName;  // without its folder
};

struct TFindData {  // for directory listings, which this program does not perform
  std::string Name;
  int64_t Size = 0;
  bool Directory = false;
};

// The FTP connection over the session, with the few operations publishing needs. Remote paths
// use "/", local paths the platform's separator. Silent by default: failures are false results.
class TSimpleFTP : public TWinInetControl {
 public:
  static constexpr uint32_t kPassiveFlag = 0x08000000u;

  explicit TSimpleFTP(TFtpObserver* owner = nullptr);
  ~TSimpleFTP() override;

  std::string LocalDir;
  std::string LoginResponse;
  bool FailIfExistsOnGet = false;

  TFTPTransferType TransferType() const { return transferType_; }
  void SetTransferType(TFTPTransferType type) { transferType_ = type; }
  uint32_t TransferFlags() const {
    return transferType_ == ttBinary ? 2 : transferType_ == ttAscii ? 1 : 0;
  }
  bool Passive() const { return (connectFlags_ & kPassiveFlag) != 0; }
  void SetPassive(bool passive);
  TFTPFileSystemType FileSystemType() const { return fileSystemType_; }
  /// FTP (with Tls below) or SFTP (with Ssh) for the next Connect. Port 21 is FTP's: set 22 for
  /// SFTP's.
  RemoteProtocol Protocol = RemoteProtocol::Ftp;
  SftpOptions Ssh;
  /// TLS for the next Connect, and the SHA-256 fingerprint of a certificate the user trusts
  /// although the system does not. Off by default, as the components always were.
  FtpTls Tls = FtpTls::Off;
  std::string TlsFingerprint;
  /// The last Connect secured the connection, or (Auto) went on in clear because the server
  /// refused TLS.
  bool Secure() const { return connection_ && connection_->secure(); }
  bool TlsRefused() const { return connection_ && connection_->tlsRefused(); }
  /// The fingerprint of the certificate (or SSH host key, "SHA256:...") the last Connect
  /// refused, empty if none was.
  const std::string& RefusedFingerprint() const { return refusedFingerprint_; }
  /// That host key was refused because another one was known or trusted for the server.
  bool HostKeyChanged() const { return hostKeyChanged_; }
  /// The last Connect stopped because the server would not speak TLS while clear text was not
  /// allowed (Require, or Auto towards a trusted fingerprint): the password was never sent.
  bool PlainRefused() const { return plainRefused_; }
  /// The last Connect failed because the server refused the user name or the password.
  bool LoginRefused() const { return loginRefused_; }
  /// The SHA-256 fingerprint of the certificate of a secure connection, else empty.
  std::string CertificateFingerprint() const {
    return connection_ ? connection_->fingerprint() : "";
  }
  void SetFileSystemType(TFTPFileSystemType type);
  const TFTPProgressInfo& Progress() const { return progress_; }
  RemoteLink* ConnectionHandle() const { return connection_.get(); }

  /// While connected, the server's current directory; otherwise the one recorded.
  std::string RemoteDir();
  void SetRemoteDir(const std::string& dir) { ChangeDir(dir); }

  bool Connect() override;
  bool Disconnect() override;
  void UpdateQuickProgress() override;
  void HandleStatus(int32_t status, const void* info, uint32_t infoLength) override;

  bool ChangeDir(const std::string& dir);
  bool RemoteDirExists(const std::string& dir);
  /// True only when this call created the directory (and its missing parents).
  bool ForceRemoteDir(const std::string& dir);
  bool PutFile(const std::string& fileName);
  bool PutFileAs(const std::string& localFile, const std::string& remoteName);
  std::string IncludeRemoteSlash(const std::string& dir) const;
  /// Removes a remote file or an empty remote directory (DELE, RMD).
  bool DeleteRemoteFile(const std::string& remoteName);
  bool RemoveRemoteDir(const std::string& dir);
  /// RNFR/RNTO; `refused`: the server said no (rather than the link failing).
  bool RenameRemote(const std::string& from, const std::string& to, bool& refused);
  /// The entries of a remote folder (empty: the current one); false also when a line of the
  /// answer could not be read and `whole` is asked for.
  bool ListRemoteDir(const std::string& dir, std::vector<FtpEntry>& entries, bool whole = false);
  /// Ends the file being sent at once; called by the owner while it processes messages.
  void AbortTransfer();
  /// The control connection is up (it may have been lost since the last operation).
  bool LinkAlive() const { return Connected() && connection_ && connection_->alive(); }

 private:
  bool Connected() const { return State() == wsConnected; }
  void SyncLostLink();
  /// Records why an operation failed (the connection's reason unless one is given).
  bool Failed(const char* reason = nullptr);

  std::unique_ptr<RemoteLink> connection_;
  std::string remoteDir_;
  TFTPTransferType transferType_ = ttBinary;
  TFTPFileSystemType fileSystemType_ = ftUnix;
  TFTPProgressInfo progress_;
  std::string refusedFingerprint_;
  bool plainRefused_ = false;
  bool loginRefused_ = false;
  bool hostKeyChanged_ = false;
};

}  // namespace lignado
