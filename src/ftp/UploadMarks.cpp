#include "ftp/UploadMarks.h"

#include <fcntl.h>
#include <openssl/evp.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <memory>

#include "util/StrTools.h"
#include "util/Text.h"

namespace lignado {

namespace {

// Version 2: sections "to <destination>" holding "f <size> <sha-256> <path>" (a file sent),
// "t <size> <time> <path>" (a file sent, recorded by version 1 without its content),
// "d <path>" (a folder created), "-f <path>" and "-d <path>" (removed since), "s <fingerprint>"
// (the server was reached over TLS with that certificate), "p <path>" and "-p <path>" (a
// temporary file of a transfer begun, and gone).
constexpr const char* kHeader = "lignado-upload 2";
constexpr const char* kHeaderV1 = "lignado-upload 1";
constexpr const char* kDestinationTag = "to ";
constexpr size_t kHashLength = 64;

// Names are bytes: only what would break a line is escaped.
std::string escape(const std::string& s) {
  std::string out;
  for (char c : s) {
    if (c == '%' || c == '\n' || c == '\r') {
      out += '%';
      AppendHex(out, static_cast<unsigned char>(c));
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
  return !out.empty();
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

bool parseHash(const std::string& line, size_t& pos, std::string& hash) {
  if (pos + kHashLength >= line.size() || line[pos + kHashLength] != ' ') return false;
  hash = line.substr(pos, kHashLength);
  if (!std::all_of(hash.begin(), hash.end(), [](char c) { return hexValue(c) >= 0; })) return false;
  pos += kHashLength + 1;
  return true;
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

struct DigestFree {
  void operator()(EVP_MD_CTX* c) const { EVP_MD_CTX_free(c); }
};

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

bool UploadMarks::ContentHash(const std::string& path, std::string& hash) {
  OwnedFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW));
  struct stat st {};
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  std::unique_ptr<EVP_MD_CTX, DigestFree> ctx(EVP_MD_CTX_new());
  if (!ctx || EVP_DigestInit_ex(ctx.get(), EVP_sha256(), nullptr) != 1) return false;
  static thread_local std::vector<unsigned char> buf(256 * 1024);
  for (;;) {
    ssize_t n = ::read(fd.get(), buf.data(), buf.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    EVP_DigestUpdate(ctx.get(), buf.data(), static_cast<size_t>(n));
  }
  unsigned char md[EVP_MAX_MD_SIZE];
  unsigned int len = 0;
  if (EVP_DigestFinal_ex(ctx.get(), md, &len) != 1) return false;
  hash.clear();
  for (unsigned i = 0; i < len; ++i) AppendHex(hash, md[i]);
  return true;
}

void UploadMarks::Open(const std::string& localRoot, const std::string& destination) {
  Close();
  sections_.clear();
  dropped_.clear();
  destination_ = destination;
  path_ = AddTrailingBackslash(localRoot) + kFileName;
  std::string data;
  {
    OwnedFd fd(::open(path_.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
    char buf[65536];
    for (;;) {
      ssize_t n = fd.valid() ? ::read(fd.get(), buf, sizeof buf) : 0;
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      data.append(buf, static_cast<size_t>(n));
    }
  }
  Parse(data);
  current_ = &sections_[destination_];
  if (!dropped_.empty()) Rewrite();  // a bad name is dropped for good
}

void UploadMarks::Parse(const std::string& data) {
  // Only whole lines count: a line cut short by a killed writer is ignored. A line that cannot
  // be read loses its mark, nothing more.
  size_t pos = 0, lineNo = 0;
  bool v1 = false;
  Section* section = nullptr;
  std::string name;
  while (pos < data.size()) {
    size_t nl = data.find('\n', pos);
    if (nl == std::string::npos) break;
    std::string line = data.substr(pos, nl - pos);
    pos = nl + 1;
    ++lineNo;
    if (lineNo == 1) {
      v1 = line == kHeaderV1;
      if (!v1 && line != kHeader) return;
      continue;
    }
    if (line.rfind(kDestinationTag, 0) == 0) {
      if (unescape(line.substr(3), name)) section = &sections_[name];
      continue;
    }
    if (!section) continue;
    size_t p = 0;
    Record r;
    if (v1) {  // "<size> <time> <path>"
      if (parseNumber(line, p, r.size) && parseNumber(line, p, r.mtimeNs) &&
          ReadName(line.substr(p), name))
        section->files[name] = r;
      continue;
    }
    auto space = line.find(' ');
    if (space == std::string::npos) continue;
    const std::string kind = line.substr(0, space);
    p = space + 1;
    if (kind == "f" || kind == "t") {
      bool ok = parseNumber(line, p, r.size) &&
                (kind == "f" ? parseHash(line, p, r.hash) : parseNumber(line, p, r.mtimeNs));
      if (ok && ReadName(line.substr(p), name)) section->files[name] = r;
    } else if (kind == "s") {
      if (unescape(line.substr(p), name)) section->tls = name;
    } else if (ReadName(line.substr(p), name)) {
      if (kind == "p")
        section->partials.insert(name);
      else if (kind == "-p")
        section->partials.erase(name);
      else if (kind == "d")
        section->folders.insert(name);
      else if (kind == "-f")
        section->files.erase(name);
      else if (kind == "-d")
        section->folders.erase(name);
    }
  }
}

bool UploadMarks::IsMarked(const std::string& relativePath, const FileStamp& stamp,
                           const std::string& hash) const {
  if (!current_) return true;
  auto it = current_->files.find(relativePath);
  if (it == current_->files.end() || it->second.size != stamp.size) return true;
  if (it->second.hash.empty()) return it->second.mtimeNs != stamp.mtimeNs;
  return it->second.hash != hash;
}

std::vector<std::string> UploadMarks::SentFiles() const {
  std::vector<std::string> out;
  if (current_)
    for (const auto& [name, record] : current_->files) out.push_back(name);
  std::sort(out.begin(), out.end());
  return out;
}

std::vector<std::string> UploadMarks::Folders() const {
  if (!current_) return {};
  return {current_->folders.begin(), current_->folders.end()};
}

bool UploadMarks::Rewrite() {
  std::string temp = path_ + ".tmp";
  OwnedFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
  if (!fd.valid()) return false;
  std::string data = std::string(kHeader) + '\n';
  auto write = [&data](const std::string& destination, const Section& s) {
    data += kDestinationTag + escape(destination) + '\n';
    for (const auto& [name, r] : s.files) {
      if (r.hash.empty())
        data += "t " + std::to_string(r.size) + ' ' + std::to_string(r.mtimeNs);
      else
        data += "f " + std::to_string(r.size) + ' ' + r.hash;
      data += ' ' + escape(name) + '\n';
    }
    for (const auto& name : s.folders) data += "d " + escape(name) + '\n';
    if (!s.tls.empty()) data += "s " + escape(s.tls) + '\n';
    for (const auto& name : s.partials) data += "p " + escape(name) + '\n';
  };
  // The current destination comes last, so that the lines appended after it belong to it.
  for (const auto& [destination, section] : sections_)
    if (destination != destination_ && (!section.files.empty() || !section.folders.empty() ||
                                        !section.tls.empty() || !section.partials.empty()))
      write(destination, section);
  write(destination_, *current_);
  bool ok = writeAll(fd.get(), data) && ::fsync(fd.get()) == 0;
  ok = fd.close() && ok;
  if (!ok || ::rename(temp.c_str(), path_.c_str()) != 0) {
    ::unlink(temp.c_str());
    return false;
  }
  append_.reset(::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  return append_.valid();
}

bool UploadMarks::Append(const std::string& line) {
  if (path_.empty()) return false;
  // The first record of an upload starts a clean manifest; the others append one line each in
  // a single write.
  if (!append_.valid()) return Rewrite();
  if (writeAll(append_.get(), line + '\n')) return true;
  Close();  // a torn line must not stay in front of later ones: the next record rewrites
  return false;
}

bool UploadMarks::Clear(const std::string& relativePath, const FileStamp& stamp,
                        const std::string& hash) {
  if (!current_) return false;
  current_->files[relativePath] = {stamp.size, 0, hash};
  return Append("f " + std::to_string(stamp.size) + ' ' + hash + ' ' + escape(relativePath));
}

bool UploadMarks::Forget(const std::string& relativePath) {
  if (!current_) return false;
  current_->files.erase(relativePath);
  return Append("-f " + escape(relativePath));
}

bool UploadMarks::AddFolder(const std::string& relativePath) {
  if (!current_) return false;
  current_->folders.insert(relativePath);
  return Append("d " + escape(relativePath));
}

bool UploadMarks::ForgetFolder(const std::string& relativePath) {
  if (!current_) return false;
  current_->folders.erase(relativePath);
  return Append("-d " + escape(relativePath));
}

bool UploadMarks::SafeName(const std::string& relativePath) {
  if (relativePath.empty() ||
      relativePath.find_first_of(std::string("\\\0", 2)) != std::string::npos)
    return false;
  size_t start = 0;
  for (;;) {
    size_t slash = relativePath.find('/', start);
    std::string part = relativePath.substr(start, slash - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (slash == std::string::npos) return true;
    start = slash + 1;
  }
}

bool UploadMarks::ReadName(const std::string& escaped, std::string& name) {
  if (!unescape(escaped, name)) return false;
  if (SafeName(name)) return true;
  dropped_.push_back(name);
  return false;
}

bool UploadMarks::AddPartial(const std::string& relativePath) {
  if (!current_) return false;
  current_->partials.insert(relativePath);
  return Append("p " + escape(relativePath));
}

bool UploadMarks::ForgetPartial(const std::string& relativePath) {
  if (!current_) return false;
  current_->partials.erase(relativePath);
  return Append("-p " + escape(relativePath));
}

std::vector<std::string> UploadMarks::Partials() const {
  if (!current_) return {};
  return {current_->partials.begin(), current_->partials.end()};
}

void UploadMarks::Close() {
  append_.reset();
}

namespace {

// "ftp://host:port" of a destination, without its remote root.
std::string serverOf(const std::string& destination) {
  return destination.substr(0, destination.find('/', 6));
}

}  // namespace

std::string UploadMarks::RememberedTls(const std::string& localRoot, const std::string& host,
                                       int32_t port) {
  UploadMarks marks;
  const std::string server = Destination(host, port, "");
  marks.Open(localRoot, server);
  for (const auto& [destination, section] : marks.sections_)
    if (!section.tls.empty() && serverOf(destination) == server) return section.tls;
  return "";
}

bool UploadMarks::RememberTls(const std::string& fingerprint) {
  if (!current_ || fingerprint.empty()) return false;
  // Every remote root of the server gets it: TLS is the server's, not the folder's.
  bool changed = current_->tls != fingerprint;
  current_->tls = fingerprint;
  for (auto& [destination, section] : sections_) {
    if (section.tls.empty() || section.tls == fingerprint) continue;
    if (serverOf(destination) != serverOf(destination_)) continue;
    section.tls = fingerprint;
    changed = true;
  }
  return !changed || Rewrite();
}

}  // namespace lignado
