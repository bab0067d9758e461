#include "ftp/SimpFTP.h"

#include <sys/stat.h>

#include <algorithm>
#include <cmath>
#include <cstring>

#include "util/FileTools.h"
#include "util/StrTools.h"

namespace lignado {

namespace {
constexpr size_t kDirBuffer = 2048;
const char kNotConnected[] = "pas de connexion";
const char kLocalFile[] = "fichier local illisible";
const char kListingUnread[] = "liste du dossier illisible";
}  // namespace

TSimpleFTP::TSimpleFTP(TFtpObserver* owner) : TWinInetControl(owner) {
  Port = 21;
  QuickProgress = false;
}

TSimpleFTP::~TSimpleFTP() {
  destroying_ = true;
  // Nothing may call back into an object that is going away.
  RemoveStatusCallback();
  Disconnect();
}

void TSimpleFTP::SetPassive(bool passive) {
  if (passive)
    connectFlags_ |= kPassiveFlag;
  else
    connectFlags_ &= ~kPassiveFlag;
}

void TSimpleFTP::SetFileSystemType(TFTPFileSystemType type) {
  if (Connected()) {
    if (!SilentExceptions) throw ESimpleFTPError("Cannot change file system type when connected");
    return;
  }
  fileSystemType_ = type;
}

bool TSimpleFTP::Connect() {
  bool result = TWinInetControl::Connect();
  Notify().OnLogin(*this, UserName, Password);
  // A link the server dropped is not a connection: a new Connect opens a fresh one.
  if (connection_ && !connection_->alive()) connection_.reset();
  uint32_t error = kFtpErrInternal;
  loginRefused_ = false;
  if (session_ && !connection_) {
    session_->setTls(Tls, TlsFingerprint);
    if (Protocol == RemoteProtocol::Sftp)
      connection_ = session_->connectSftp(HostName, static_cast<uint16_t>(Port), UserName, Password,
                                          Ssh, error);
    else
      connection_ = session_->connect(HostName, static_cast<uint16_t>(Port), UserName, Password,
                                      Passive(), error);
    refusedFingerprint_ = session_->refusedFingerprint();
    plainRefused_ = session_->plainRefused();
    hostKeyChanged_ = session_->hostKeyChanged();
  }
  if (connection_) {
    LoginResponse = LastResponseText();
    if (!remoteDir_.empty()) ChangeDir(remoteDir_);
    Notify().OnConnected(*this);
    return true;
  }
  loginRefused_ = error == kFtpErrIncorrectUserName || error == kFtpErrIncorrectPassword;
  Failed();
  CloseSession();
  RaiseConnectError(error);
  return result;
}

bool TSimpleFTP::Disconnect() {
  try {
    if (connection_) {
      connection_->close();
      connection_.reset();
    }
    TWinInetControl::Disconnect();
  } catch (...) {
    return false;
  }
  return true;
}

void TSimpleFTP::HandleStatus(int32_t status, const void* info, uint32_t infoLength) {
  TWinInetControl::HandleStatus(status, info, infoLength);
  if ((status == kFtpRequestSent || status == kFtpResponseReceived) && info &&
      infoLength >= sizeof(uint32_t)) {
    uint32_t count;
    std::memcpy(&count, info, sizeof count);
    int64_t before = progress_.BytesSent;
    progress_.BytesSent += count;
    if (progress_.BytesSent == before || progress_.BytesSent > progress_.FileSize)
      progress_.BytesSent = progress_.FileSize;
    if (!progress_.FileName.empty()) Notify().OnTransferProgress(*this, progress_);
    if (QuickProgress) UpdateQuickProgress();
  }
  Dispatch();
}

void TSimpleFTP::UpdateQuickProgress() {
  auto clampInt = [](int64_t v) {
    return static_cast<int>(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
  };
  TFtpObserver& o = Notify();
  o.QuickProgressMajor(clampInt(progress_.MajorMax), clampInt(progress_.MajorPosition));
  int percent = 0;
  if (progress_.FileSize > 0)  // halves go to the even neighbour, as the original rounding
    percent = static_cast<int>(std::nearbyint(static_cast<double>(progress_.BytesSent) /
                                              static_cast<double>(progress_.FileSize) * 100.0));
  o.QuickProgressMinor(100, percent);
  if (progress_.MajorMax > 0)
    o.QuickLabelMajor(std::to_string(progress_.MajorPosition) + " of " +
                      std::to_string(progress_.MajorMax));
  if (!progress_.FileName.empty()) o.QuickLabelMinor(progress_.FileName);
}

bool TSimpleFTP::Failed(const char* reason) {
  failure_ = reason ? reason : session_ ? session_->failure() : kNotConnected;
  return false;
}

void TSimpleFTP::AbortTransfer() {
  if (session_) session_->abortTransfer();
}

bool TSimpleFTP::DeleteRemoteFile(const std::string& remoteName) {
  if (!Connected() || !connection_) return Failed(kNotConnected);
  bool ok = connection_->deleteFile(remoteName) || Failed();
  SyncLostLink();
  return ok;
}

bool TSimpleFTP::RemoveRemoteDir(const std::string& dir) {
  if (!Connected() || !connection_) return Failed(kNotConnected);
  bool ok = connection_->removeDir(RemoveTrailingSlash(dir)) || Failed();
  SyncLostLink();
  return ok;
}

bool TSimpleFTP::RenameRemote(const std::string& from, const std::string& to, bool& refused) {
  refused = false;
  if (!Connected() || !connection_) return Failed(kNotConnected);
  bool ok = connection_->rename(from, to, refused) || Failed();
  SyncLostLink();
  return ok;
}

bool TSimpleFTP::ListRemoteDir(const std::string& dir, std::vector<FtpEntry>& entries, bool whole) {
  entries.clear();
  if (!Connected() || !connection_) return Failed(kNotConnected);
  size_t unread = 0;
  bool ok =
      connection_->list(dir.empty() ? dir : RemoveTrailingSlash(dir), entries, unread) || Failed();
  SyncLostLink();
  if (ok && whole && unread > 0) return Failed(kListingUnread);
  return ok;
}

void TSimpleFTP::SyncLostLink() {
  // The link died while nobody listened: report it now so that the state is true.
  if (connection_ && !connection_->alive() && Connected()) {
    HandleStatus(kFtpClosing, nullptr, 0);
    HandleStatus(kFtpClosed, nullptr, 0);
  }
}

std::string TSimpleFTP::RemoteDir() {
  if (!Connected()) return remoteDir_;
  RemoveStatusCallback();
  std::string dir;
  bool ok = connection_ && connection_->currentDir(dir) && dir.size() < kDirBuffer;
  InstallStatusCallback();
  SyncLostLink();
  return ok ? dir : remoteDir_;
}

bool TSimpleFTP::ChangeDir(const std::string& dir) {
  if (!Connected()) {
    remoteDir_ = dir;
    return true;
  }
  if (connection_ && connection_->changeDir(RemoveTrailingSlash(dir))) {
    remoteDir_ = dir;
    Notify().OnDirectoryChange(*this);
    return true;
  }
  Failed();
  if (SilentExceptions || fileSystemType_ == ftUnknown) return false;
  throw ESimpleFTPError("Couldn't change to directory " + dir);
}

bool TSimpleFTP::RemoteDirExists(const std::string& dir) {
  if (!Connected() && !SilentExceptions) throw ESimpleFTPError("Not connected!");
  std::string old = RemoteDir();
  bool exists;
  try {
    exists = ChangeDir(dir);
  } catch (...) {
    ChangeDir(old);
    throw;
  }
  ChangeDir(old);
  return exists;
}

bool TSimpleFTP::ForceRemoteDir(const std::string& dir) {
  if (!Connected()) {
    if (SilentExceptions) return Failed(kNotConnected);
    throw ESimpleFTPError("Not connected!");
  }
  std::string trimmed = RemoveTrailingSlash(dir);
  if (connection_ && connection_->changeDir(trimmed)) return false;
  // The parent of "/a/b/" is "/a", not "/a/b": taken from the trimmed path, or the recursion
  // would make the directory itself and its own MKD would then fail. The parent of "/" is "/"
  // and that of a bare name is empty: stop there instead of looping.
  std::string parent = ParentPath(trimmed, '/');
  if (!parent.empty() && parent != trimmed) ForceRemoteDir(parent);
  if (connection_ && connection_->makeDir(trimmed)) return true;
  Failed();
  if (SilentExceptions) return false;
  throw ESimpleFTPError("Error creating directory " + dir);
}

std::string TSimpleFTP::IncludeRemoteSlash(const std::string& dir) const {
  if (fileSystemType_ == ftUnix && (dir.empty() || dir.back() != '/')) return dir + "/";
  return dir;
}

bool TSimpleFTP::PutFile(const std::string& fileName) {
  auto slash = fileName.rfind('/');
  if (slash != std::string::npos)
    return PutFileAs(fileName, IncludeRemoteSlash(RemoteDir()) + fileName.substr(slash + 1));
  return PutFileAs(AddTrailingBackslash(LocalDir) + fileName,
                   IncludeRemoteSlash(RemoteDir()) + fileName);
}

bool TSimpleFTP::PutFileAs(const std::string& localFile, const std::string& remoteName) {
  if (!Connected() && !SilentExceptions) throw ESimpleFTPError("Not connected!");
  struct stat st {};
  if (::stat(localFile.c_str(), &st) != 0 && !SilentExceptions)
    throw ESimpleFTPError("Error putting " + localFile + " to " + remoteName +
                          ": local file not found");
  progress_.BytesSent = 0;
  progress_.FileSize = 0;
  auto slash = localFile.rfind('/');
  progress_.FileName = slash == std::string::npos ? localFile : localFile.substr(slash + 1);
  try {
    progress_.FileSize = GetFileSize(localFile);
  } catch (const EFOpenError&) {
    Failed(kLocalFile);
    if (!SilentExceptions) throw;
    return false;
  }
  FtpTransfer mode = transferType_ == ttAscii    ? FtpTransfer::Ascii
                     : transferType_ == ttBinary ? FtpTransfer::Binary
                                                 : FtpTransfer::Unknown;
  bool ok = connection_ && connection_->putFile(localFile, remoteName, mode);
  if (!ok) Failed(connection_ ? nullptr : kNotConnected);
  if (ok || SilentExceptions) return ok;
  throw ESimpleFTPError("Error putting " + localFile + " to " + remoteName);
}

}  // namespace lignado
