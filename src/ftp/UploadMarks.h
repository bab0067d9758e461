#pragma once

#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <unordered_map>
#include <vector>

#include "util/Owned.h"

namespace lignado {

struct FileStamp {
  int64_t size = 0;
  int64_t mtimeNs = 0;
  bool operator==(const FileStamp&) const = default;
};

// The per-file upload mark: a manifest, in the local root, of what was sent to each destination
// (host, port, remote root): every file with its size and content hash, and every folder the
// uploader created. A file is marked (still to be sent to a destination) when that destination
// has no record of it or its content differs from what was sent there, whatever its time says.
// Each change is recorded at once: the first of an upload rewrites the manifest (temporary file,
// then rename) with the current destination last, later ones append one line each, and a reader
// ignores an unfinished last line, so a killed uploader loses at most the file in flight.
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
  /// The SHA-256 of a file's content in hex; false when it cannot be read.
  static bool ContentHash(const std::string& path, std::string& hash);

  /// Reads the manifest of a local root (also the first version's, which knew one destination
  /// and no content); marks are then those of `destination`.
  void Open(const std::string& localRoot, const std::string& destination);
  /// A file of this stamp and content hash must be sent. A record of the first version, without
  /// hash, stands for the same content while size and time are unchanged.
  bool IsMarked(const std::string& relativePath, const FileStamp& stamp,
                const std::string& hash) const;
  /// Records a file the server accepted; false when the manifest could not be written.
  bool Clear(const std::string& relativePath, const FileStamp& stamp, const std::string& hash);
  /// Forgets a file deleted on the server.
  bool Forget(const std::string& relativePath);
  /// Records a folder the uploader created, and forgets one it removed.
  bool AddFolder(const std::string& relativePath);
  bool ForgetFolder(const std::string& relativePath);
  /// What this destination holds from us, sorted.
  std::vector<std::string> SentFiles() const;
  std::vector<std::string> Folders() const;

  /// A name that stays below the root: "/"-separated, no empty, "." or ".." part, no "\\".
  static bool SafeName(const std::string& relativePath);
  /// Names the manifest held that were not safe, dropped when it was read.
  const std::vector<std::string>& Dropped() const { return dropped_; }
  /// Temporary files on the server that a transfer in flight may have left.
  bool AddPartial(const std::string& relativePath);
  bool ForgetPartial(const std::string& relativePath);
  std::vector<std::string> Partials() const;
  void Close();
  const std::string& Path() const { return path_; }

  /// The fingerprint of the certificate that the server (host and port, whatever the remote
  /// root) showed when an upload from this local root last reached it over TLS; empty when none
  /// ever did.
  static std::string RememberedTls(const std::string& localRoot, const std::string& host,
                                   int32_t port);
  /// Records that the server of the current destination was reached over TLS with this
  /// certificate; false when the manifest could not be written.
  bool RememberTls(const std::string& fingerprint);

 private:
  struct Record {
    int64_t size = 0;
    int64_t mtimeNs = 0;  // records of the first version only
    std::string hash;     // empty in those
  };
  struct Section {
    std::unordered_map<std::string, Record> files;
    std::set<std::string> folders;
    std::string tls;  // the certificate of the last TLS connection, empty: never
    std::set<std::string> partials;
  };
  void Parse(const std::string& data);
  bool ReadName(const std::string& escaped, std::string& name);
  bool Append(const std::string& line);
  bool Rewrite();

  std::string path_, destination_;
  std::map<std::string, Section> sections_;
  Section* current_ = nullptr;
  OwnedFd append_;  // open after the first record of an upload
  std::vector<std::string> dropped_;
};

}  // namespace lignado
