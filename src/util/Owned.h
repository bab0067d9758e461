#pragma once

#include <dirent.h>

#include <cstdio>
#include <memory>

namespace lignado {

// Owners of the system's file handles: each is closed when its owner goes, so no early return
// or exception can leak one. Take the handle into its owner on the line that opens it.

struct FileCloser {
  void operator()(std::FILE* f) const;
};
/// A FILE* from fopen; closing it is its owner's job.
using OwnedFile = std::unique_ptr<std::FILE, FileCloser>;

struct DirCloser {
  void operator()(DIR* d) const;
};
/// A DIR* from opendir.
using OwnedDir = std::unique_ptr<DIR, DirCloser>;

/// A POSIX file descriptor (a file or a socket); -1 holds nothing.
class OwnedFd {
 public:
  OwnedFd() = default;
  explicit OwnedFd(int fd) : fd_(fd) {}
  ~OwnedFd() { reset(); }
  OwnedFd(OwnedFd&& other) noexcept : fd_(other.release()) {}
  OwnedFd& operator=(OwnedFd&& other) noexcept;
  OwnedFd(const OwnedFd&) = delete;
  OwnedFd& operator=(const OwnedFd&) = delete;

  int get() const { return fd_; }
  bool valid() const { return fd_ >= 0; }
  explicit operator bool() const { return valid(); }
  /// Gives the descriptor up without closing it.
  int release();
  /// Closes the descriptor held (if any) and holds fd instead.
  void reset(int fd = -1);
  /// Closes it now and tells whether the system reported no error (written data reached the
  /// file); true when nothing was held.
  bool close();

 private:
  int fd_ = -1;
};

}  // namespace lignado
