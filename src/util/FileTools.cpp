#include "util/FileTools.h"

#include <fcntl.h>
#include <sys/stat.h>

#include "util/Owned.h"
#include "util/Utf8.h"

namespace lignado {

int64_t GetFileSize(const std::string& fileName) {
  // Non-blocking so that a named pipe cannot stall the caller; only regular files have a size.
  OwnedFd fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw EFOpenError("Impossible d'ouvrir le fichier \"" + Utf8ToCp1252(fileName) + "\"");
  return static_cast<int64_t>(st.st_size);
}

}  // namespace lignado
