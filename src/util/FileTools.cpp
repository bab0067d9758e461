#include "util/FileTools.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <system_error>

#include "util/Owned.h"
#include "util/Utf8.h"

namespace lignado {
namespace fs = std::filesystem;

int64_t GetFileSize(const std::string& fileName) {
  // Non-blocking so that a named pipe cannot stall the caller; only regular files have a size.
  OwnedFd fd(::open(fileName.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode))
    throw EFOpenError("Impossible d'ouvrir le fichier \"" + Utf8ToCp1252(fileName) + "\"");
  return static_cast<int64_t>(st.st_size);
}

namespace {

std::atomic<unsigned long> tempCounter{0};

// A new temporary file beside `file`, its path in temp.
OwnedFd openTemp(const fs::path& file, fs::path& temp) {
  const fs::path folder = file.has_parent_path() ? file.parent_path() : fs::path(".");
  for (int attempt = 0;; ++attempt) {
    temp = folder / (std::string(kTempPrefix) + std::to_string(::getpid()) + "-" +
                     std::to_string(tempCounter.fetch_add(1)));
    OwnedFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0666));
    if (fd || errno != EEXIST || attempt >= 100) return fd;
  }
}

// Writes all of data; errno on failure, else 0.
int writeAll(int fd, const char* data, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(fd, data, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      return errno;
    }
    if (n == 0) return ENOSPC;
    data += n;
    size -= static_cast<std::size_t>(n);
  }
  return 0;
}

// Gives the temporary file its final name, or removes it when `error` (or the closing) failed.
WriteOutcome finish(OwnedFd& fd, const fs::path& temp, const fs::path& file, int error) {
  if (!fd.close() && error == 0) error = errno != 0 ? errno : EIO;
  if (error == 0 && ::rename(temp.c_str(), file.c_str()) != 0) error = errno;
  if (error != 0) ::unlink(temp.c_str());
  return WriteOutcome{error, false};
}

}  // namespace

WriteOutcome WriteWholeFile(const fs::path& file, std::string_view bytes) {
  fs::path temp;
  OwnedFd fd = openTemp(file, temp);
  if (!fd) return WriteOutcome{errno, false};
  return finish(fd, temp, file, writeAll(fd.get(), bytes.data(), bytes.size()));
}

WriteOutcome CopyWholeFile(const fs::path& from, const fs::path& to) {
  OwnedFd in(::open(from.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!in) return WriteOutcome{errno, true};
  if (::fstat(in.get(), &st) != 0) return WriteOutcome{errno, true};
  if (!S_ISREG(st.st_mode)) return WriteOutcome{S_ISDIR(st.st_mode) ? EISDIR : EINVAL, true};
  fs::path temp;
  OwnedFd out = openTemp(to, temp);
  if (!out) return WriteOutcome{errno, false};
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(in.get(), buffer, sizeof buffer);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      const int error = errno;
      out.close();
      ::unlink(temp.c_str());
      return WriteOutcome{error, true};
    }
    if (n == 0) break;
    if (int error = writeAll(out.get(), buffer, static_cast<std::size_t>(n)); error != 0)
      return finish(out, temp, to, error);
  }
  return finish(out, temp, to, 0);
}

int RemoveTempFiles(const fs::path& folder) {
  int removed = 0;
  std::error_code ec;
  for (fs::recursive_directory_iterator
           it(folder, fs::directory_options::skip_permission_denied, ec),
       end;
       !ec && it != end; it.increment(ec)) {
    const std::string name = it->path().filename().string();
    std::error_code kind;
    if (name.compare(0, kTempPrefix.size(), kTempPrefix) != 0 || !it->is_regular_file(kind))
      continue;
    std::error_code gone;
    if (fs::remove(it->path(), gone)) ++removed;
  }
  return removed;
}

}  // namespace lignado
