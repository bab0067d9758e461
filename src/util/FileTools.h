#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>

namespace lignado {

// A file that cannot be opened for reading; the message is French (Windows-1252).
class EFOpenError : public std::runtime_error {
 public:
  using std::runtime_error::runtime_error;
};

/// Size in bytes of a regular file, opened for reading and closed again.
/// Throws EFOpenError when it cannot be opened or is not a regular file.
int64_t GetFileSize(const std::string& fileName);

}  // namespace lignado
