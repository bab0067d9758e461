#pragma once

#include <cstdint>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <string_view>

namespace lignado {

// A file that cannot be opened for reading; the message is French (Windows-1252).
class EFOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Size in bytes of a regular file, opened for reading and closed again.
/// Throws EFOpenError when it cannot be opened or is not a regular file.
int64_t GetFileSize(const std::string& fileName);

// The name start of the temporary files of whole-file writes. A write killed midway leaves
// one behind, which RemoveTempFiles finds; the leading "." keeps it out of every upload.
inline constexpr std::string_view kTempPrefix = ".lignado-tmp-";

struct WriteOutcome {
  int error = 0;        // errno of the first failure; 0: the file is written
  bool source = false;  // a copy failed reading its source, not writing the file
  explicit operator bool() const { return error == 0; }
};

// Writes bytes to a temporary file in the file's folder, then renames it over the file: the
// file on disk is whole, old or new, whatever stops the program. A symlink in the file's place
// is replaced, never written through. On failure the old file stays as it was.
WriteOutcome WriteWholeFile(const std::filesystem::path& file, std::string_view bytes);

// The same for a copy of a regular file.
WriteOutcome CopyWholeFile(const std::filesystem::path& from, const std::filesystem::path& to);

// Removes the temporary files left in folder and below it (symlinks are not followed);
// gives how many went.
int RemoveTempFiles(const std::filesystem::path& folder);

}  // namespace lignado
