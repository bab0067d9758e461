#include "util/FileTools.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "util/Utf8.h"

namespace lignado {

int64_t GetFileSize(const std::string& fileName) {
  // Non-blocking so that a named pipe cannot stall the caller; only regular files have a size.
  int fd = ::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
  struct stat st {};
  bool ok = fd >= 0 && ::fstat(fd, &st) == 0 && S_ISREG(st.st_mode);
  if (fd >= 0) ::close(fd);
  if (!ok) throw EFOpenError("Impossible d'ouvrir le fichier \"" + Utf8ToCp1252(fileName) + "\"");
  return static_cast<int64_t>(st.st_size);
}

}  // namespace lignado
