#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>

#include "util/Owned.h"

namespace lignado {

struct FileStamp {
  int64_t size = 0;
  int64_t mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// The per-file upload mark: a manifest, in the local root, of the files sent to one destination
// with their size and modification time. A file is marked (still to be sent) when it is missing
// from the manifest or its stamp changed. Each accepted file is recorded at once: the first
// record of an upload rewrites the manifest (temporary file, then rename), later ones append one
// line each, and a reader ignores an unfinished last line, so a killed uploader loses at most
// the file in flight.
class UploadMarks {
 public:
  static constexpr const char* kFileName = ".lignado-upload";

  UploadMarks() = default;
  ~UploadMarks();
  UploadMarks(const UploadMarks&) = delete;
  UploadMarks& operator=(const UploadMarks&) = delete;

  static std::string Destination(const std::string& host, int32_t port,
                                 const std::string& remoteRoot);
  /// The stamp of a local file; false when it cannot be read.
  static bool StampOf(const std::string& path, FileStamp& stamp);

  /// Reads the manifest of a local root; what it recorded for another destination is ignored.
  void Open(const std::string& localRoot, const std::string& destination);
  bool IsMarked(const std::string& relativePath, const FileStamp& stamp) const;
  /// Records a file the server accepted; false when the manifest could not be written.
  bool Clear(const std::string& relativePath, const FileStamp& stamp);
  void Close();
  const std::string& Path() const { return path_; }

 private:
  bool Rewrite();

  std::string path_, destination_;
  std::unordered_map<std::string, FileStamp> sent_;
  OwnedFd append_;  // open after the first record of an upload
};

}  // namespace lignado
