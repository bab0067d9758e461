#include "ftp/UploadMarks.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>

#include "util/StrTools.h"

namespace lignado {

namespace {

constexpr const char* kHeader = "lignado-upload 1";
constexpr const char* kDestinationTag = "to ";

// Names are bytes: only what would break a line is escaped.
std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '\n' || c == '\r') {
      static const char hex[] = "0123456789ABCDEF";
      out += '%';
      out += hex[static_cast<unsigned char>(c) >> 4];
      out += hex[static_cast<unsigned char>(c) & 15];
    } else {
      out += c;
    }
  }
  return out;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

bool unescape(const std::string& s, std::string& out) {
  out.clear();
  for (size_t i = 0; i < s.size(); ++i) {
    if (s[i] != '%') {
      out += s[i];
      continue;
    }
    if (i + 2 >= s.size()) return false;
    int hi = hexValue(s[i + 1]), lo = hexValue(s[i + 2]);
    if (hi < 0 || lo < 0) return false;
    out += static_cast<char>(hi * 16 + lo);
    i += 2;
  }
  return true;
}

bool parseNumber(const std::string& line, size_t& pos, int64_t& value) {
  size_t i = pos;
  bool negative = i < line.size() && line[i] == '-';
  if (negative) ++i;
  uint64_t v = 0;
  size_t digits = 0;
  for (; i < line.size() && line[i] >= '0' && line[i] <= '9'; ++i, ++digits) {
    auto d = static_cast<uint64_t>(line[i] - '0');
    if (v > (static_cast<uint64_t>(INT64_MAX) - d) / 10) return false;
    v = v * 10 + d;
  }
  if (digits == 0 || i >= line.size() || line[i] != ' ') return false;
  pos = i + 1;
  value = negative ? -static_cast<int64_t>(v) : static_cast<int64_t>(v);
  return true;
}

std::string entryLine(const std::string& path, const FileStamp& s) {
  return std::to_string(s.size) + ' ' + std::to_string(s.mtimeNs) + ' ' + escape(path) + '\n';
}

bool writeAll(int fd, const std::string& data) {
  size_t done = 0;
  while (done < data.size()) {
    ssize_t n = ::write(fd, data.data() + done, data.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

}  // namespace

UploadMarks::~UploadMarks() {
  Close();
}

std::string UploadMarks::Destination(const std::string& host, int32_t port,
                                     const std::string& remoteRoot) {
  unsigned p = static_cast<uint16_t>(port);
  if (p == 0) p = 21;
  bool bracket = host.find(':') != std::string::npos;
  return "ftp://" + (bracket ? "[" + host + "]" : host) + ":" + std::to_string(p) + remoteRoot;
}

bool UploadMarks::StampOf(const std::string& path, FileStamp& stamp) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0) return false;
  stamp.size = static_cast<int64_t>(st.st_size);
  stamp.mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000LL + st.st_mtim.tv_nsec;
  return true;
}

void UploadMarks::Open(const std::string& localRoot, const std::string& destination) {
  Close();
  sent_.clear();
  destination_ = destination;
  path_ = AddTrailingBackslash(localRoot) + kFileName;
  std::string data;
  {
    OwnedFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    if (!fd.valid()) return;
    char buf[65536];
    for (;;) {
      ssize_t n = ::read(fd.get(), buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      data.append(buf, static_cast<size_t>(n));
    }
  }
  // Only whole lines count: a line cut short by a killed writer is ignored.
  size_t pos = 0, lineNo = 0;
  std::string name;
  while (pos < data.size()) {
    size_t nl = data.find('\n', pos);
    if (nl == std::string::npos) break;
    std::string line = data.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
    if (lineNo == 1) {
      if (line != kHeader) return;
      continue;
    }
    if (lineNo == 2) {
      if (line != kDestinationTag + escape(destination_)) return;
      continue;
    }
    size_t p = 0;
    FileStamp s;
    if (!parseNumber(line, p, s.size) || !parseNumber(line, p, s.mtimeNs)) continue;
    if (!unescape(line.substr(p), name) || name.empty()) continue;
    sent_[name] = s;
  }
}

bool UploadMarks::IsMarked(const std::string& relativePath, const FileStamp& stamp) const {
  auto it = sent_.find(relativePath);
  return it == sent_.end() || !(it->second == stamp);
}

bool UploadMarks::Rewrite() {
  std::string temp = path_ + ".tmp";
  OwnedFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.valid()) return false;
  std::string data = std::string(kHeader) + '\n' + kDestinationTag + escape(destination_) + '\n';
  for (const auto& [name, stamp] : sent_) data += entryLine(name, stamp);
  bool ok = writeAll(fd.get(), data) && ::fsync(fd.get()) == 0;
  ok = fd.close() && ok;
  if (!ok || ::rename(temp.c_str(), path_.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  append_.reset(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  return append_.valid();
}

bool UploadMarks::Clear(const std::string& relativePath, const FileStamp& stamp) {
  if (path_.empty()) return false;
  sent_[relativePath] = stamp;
  // The first record of an upload starts a clean manifest for this destination; the others
  // append one line each in a single write.
  if (!append_.valid()) return Rewrite();
  if (writeAll(append_.get(), entryLine(relativePath, stamp))) return true;
  Close();  // a torn line must not stay in front of later ones: the next record rewrites
  return false;
}

void UploadMarks::Close() {
  append_.reset();
}

}  // namespace lignado
