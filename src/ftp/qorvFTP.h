#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <unordered_map>
#include <utility>
#include <vector>

#include "ftp/SimpFTP.h"
#include "ftp/UploadMarks.h"

namespace lignado {

// Where an upload stands, for a progress display: counted before the walk, moved after each
// file the server accepted.
struct TUploadProgress {
  int64_t FilesToSend = 0, FilesDone = 0;
  int64_t BytesToSend = 0, BytesDone = 0;
};

// Sends a local folder tree to a remote directory, one French log line per step (Windows-1252)
// to the owner's LogLine, only the files whose content this destination does not have yet
// (UploadMarks), and stops between two files when asked. A lost link is reconnected once.
// Files it sent there that no longer exist locally are deleted on the server unless KeepRemote.
// Each file is stored under a temporary name (kPartPrefix + name, recorded in the manifest
// until renamed) and renamed when whole, so a visitor never gets half a page. Symbolic links
// are never followed. Paths are file-system bytes; names in log lines are converted for
// display (NameToCp1252).
class TqorvFtp : public TSimpleFTP {
 public:
  /// The owner asks for a stop by setting Stopped, typically from its ProcessMessages, or by
  /// answering StopRequested.
  explicit TqorvFtp(TFtpObserver* owner = nullptr) : TSimpleFTP(owner) {}

  int32_t FilesSent = 0;
  bool Stopped = false;     // set by the owner to stop; set again when an upload ends
  bool KeepRemote = false;  // leave on the server what we sent and the site no longer has
  /// List every remote folder and send again what is missing there or of another size.
  bool Verify = false;
  /// Store under the final name; set by the uploader when the server refuses renames.
  bool DirectWrite = false;
  int32_t Failures = 0;  // files, folders and deletions that failed in the last upload
  /// Deletions allowed even when they would remove most of what was sent (HoldsDeletions).
  int32_t MaxDelete = 0;
  int32_t HeldDeletions = 0;  // deletions the last upload held back, still due

  /// More deletions than kFreeDeletions that would remove more than half of the files sent to
  /// this destination (a site generated empty, a wrong folder) wait for the user's word.
  static constexpr int32_t kFreeDeletions = 20;
  /// "Envoi incomplet : N suppressions en attente de confirmation"
  static std::string HeldText(int32_t held);

  static constexpr const char* kPartPrefix = ".lignado-part-";

  bool ConnectTo(const std::string& host, const std::string& user, const std::string& password);
  void Log(const std::string& line);
  bool UploadTree(const std::string& remoteRoot, const std::string& localRoot);
  /// The recursive step of UploadTree, with paths relative to its two roots.
  bool UploadFolder(const std::string& localRelative, const std::string& remoteRelative);
  const TUploadProgress& UploadProgress() const { return upload_; }

 private:
  struct LocalFile {
    FileStamp stamp;
    std::string hash;  // empty when the file cannot be read
  };
  bool StopAsked();
  void LogReason(const std::string& reason);
  void Plan(const std::string& localRelative);
  const LocalFile& Known(const std::string& key, const std::string& path, const FileStamp& stamp);
  bool MakeFolder(const std::string& remote, const std::string& relative);
  bool Reconnect(const std::string& remote, const std::string& relative);
  bool SendFile(const std::string& path, const std::string& name, const std::string& remote,
                const std::string& relative);
  bool Store(const std::string& path, const std::string& name, const std::string& relative);
  enum class Removal { Deleted, Absent, Failed };
  /// DELE, and when refused, a listing of the folder tells whether the file is there at all.
  Removal Remove(const std::string& folder, const std::string& name);
  void Error(const std::string& line);  // logs a failure, its reason, and counts it
  void RemovePartials();
  bool RemoveDeleted();
  bool HoldsDeletions();
  void Record(bool written);

  std::string remoteRoot_, localRoot_;
  UploadMarks marks_;
  bool marksWarned_ = false;
  bool reconnected_ = false;
  std::unordered_map<std::string, LocalFile> local_;  // what the planning walk found
  std::vector<std::pair<dev_t, ino_t>> walking_;      // folders on the current path
  TUploadProgress upload_;
};

}  // namespace lignado
