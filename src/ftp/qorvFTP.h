#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

#include "ftp/SimpFTP.h"
#include "ftp/UploadMarks.h"

namespace lignado {

// Sends a local folder tree to a remote directory, one French log line per step (Windows-1252)
// to the owner's LogLine, only the files not sent yet (UploadMarks), and stops between two files
// when asked. Paths are file-system bytes; names in log lines are converted for display.
class TqorvFtp : public TSimpleFTP {
 public:
  /// The owner asks for a stop by setting Stopped, typically from its ProcessMessages.
  explicit TqorvFtp(TFtpObserver* owner = nullptr) : TSimpleFTP(owner) {}

  int32_t FilesSent = 0;
  bool Stopped = false;  // set by the owner to stop; set again when an upload ends

  bool ConnectTo(const std::string& host, const std::string& user, const std::string& password);
  void Log(const std::string& line);
  bool UploadTree(const std::string& remoteRoot, const std::string& localRoot);
  /// The recursive step of UploadTree, with paths relative to its two roots.
  bool UploadFolder(const std::string& localRelative, const std::string& remoteRelative);

 private:
  bool StopAsked();

  std::string remoteRoot_, localRoot_;
  UploadMarks marks_;
  bool marksWarned_ = false;
  std::vector<std::pair<dev_t, ino_t>> walking_;  // folders on the current path
};

}  // namespace lignado
