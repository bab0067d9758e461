#include "ftp/ProtocolTrace.h"

#include <fcntl.h>
#include <sys/time.h>
#include <unistd.h>

#include <cctype>
#include <cstdio>
#include <ctime>

namespace lignado {

bool ProtocolTrace::Open(const std::string& path) {
  int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
  if (fd < 0) return false;
  file_.reset(::fdopen(fd, "w"));
  if (!file_) ::close(fd);
  return IsOpen();
}

void ProtocolTrace::Line(char direction, const std::string& text) {
  if (!file_) return;
  timeval now{};
  ::gettimeofday(&now, nullptr);
  std::tm local{};
  ::localtime_r(&now.tv_sec, &local);
  char stamp[32];
  std::snprintf(stamp, sizeof stamp, "%02d:%02d:%02d.%03d %c ", local.tm_hour, local.tm_min,
                local.tm_sec, static_cast<int>(now.tv_usec / 1000), direction);
  std::string line = stamp;
  // A reply's line breaks and control bytes would make the trace hard to read.
  for (char c : text) line += static_cast<unsigned char>(c) < 0x20 && c != '\t' ? ' ' : c;
  line += '\n';
  std::fwrite(line.data(), 1, line.size(), file_.get());
  std::fflush(file_.get());
}

std::string ProtocolTrace::MaskCommand(const std::string& command) {
  auto space = command.find(' ');
  std::string verb = command.substr(0, space);
  for (char& c : verb) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if ((verb == "PASS" || verb == "ACCT") && space != std::string::npos)
    return command.substr(0, space + 1) + kMask;
  return command;
}

}  // namespace lignado
