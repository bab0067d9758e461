#include "util/Owned.h"

#include <unistd.h>

namespace lignado {

void FileCloser::operator()(std::FILE* f) const {
  if (f) std::fclose(f);
}

void DirCloser::operator()(DIR* d) const {
  if (d) ::closedir(d);
}

OwnedFd& OwnedFd::operator=(OwnedFd&& other) noexcept {
  if (this != &other) reset(other.release());
  return *this;
}

int OwnedFd::release() {
  int fd = fd_;
  fd_ = -1;
  return fd;
}

void OwnedFd::reset(int fd) {
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

bool OwnedFd::close() {
  int fd = release();
  return fd < 0 || ::close(fd) == 0;
}

}  // namespace lignado
