#pragma once

#include <string>

#include "util/Owned.h"

namespace lignado {

// A file for support: every command sent and every reply received, one line each with the time
// of day, secrets masked. Lines are written at once, so a trace of a crashed run is whole.
class ProtocolTrace {
 public:
  static constexpr const char* kMask = "****";

  /// Creates or empties the file, readable by its owner only; false when it cannot.
  bool Open(const std::string& path);
  bool IsOpen() const { return static_cast<bool>(file_); }
  /// "14:03:07.251 > text" for what was sent ('>'), "<" for what came back, "-" for a note.
  void Line(char direction, const std::string& text);
  /// An FTP command as the trace shows it: the argument of PASS (and ACCT) masked.
  static std::string MaskCommand(const std::string& command);

 private:
  OwnedFile file_;
};

}  // namespace lignado
