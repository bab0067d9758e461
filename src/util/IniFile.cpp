#include "util/IniFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>
#include <utility>

#include "util/Owned.h"
#include "util/Utf8.h"

namespace lignado {

namespace {

bool SameName(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    unsigned char x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
    if (x != y && !(x < 0x80 && y < 0x80 && std::tolower(x) == std::tolower(y))) return false;
  }
  return true;
}

std::string Trim(const std::string& s) {
  size_t b = s.find_first_not_of(" \t");
  if (b == std::string::npos) return "";
  size_t e = s.find_last_not_of(" \t");
  return s.substr(b, e - b + 1);
}

// Creates a folder and its missing parents, owner only.
bool MakeFolders(const std::string& folder) {
  if (folder.empty()) return true;
  struct stat st {};
  if (::stat(folder.c_str(), &st) == 0) return S_ISDIR(st.st_mode);
  size_t slash = folder.find_last_of('/');
  if (slash != std::string::npos && slash > 0 && !MakeFolders(folder.substr(0, slash)))
    return false;
  return ::mkdir(folder.c_str(), 0700) == 0 || errno == EEXIST;
}

// An environment folder of the XDG base directories, or home + fallback.
std::string XdgFolder(const char* variable, const char* fallback) {
  const char* v = std::getenv(variable);
  if (v && v[0] == '/') return v;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/tmp") + fallback;
}

// Writes all bytes to fd; false on any failure.
bool WriteAll(int fd, const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

// The bytes of a regular file. Anything else in its place (a FIFO would block the program until
// someone wrote to it, a device may never end) reads as empty and is never read from.
std::string ReadRegularFile(const std::string& path) {
  struct stat st {};
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  OwnedFd fd(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!fd.valid() || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode)) return "";
  std::string data;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd.get(), buf, sizeof buf);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return data;
    data.append(buf, static_cast<size_t>(n));
  }
}

}  // namespace

IniFile::IniFile(std::string path) : path_(std::move(path)) {
  std::istringstream in(ReadRegularFile(path_));
  sections_.push_back({});
  std::string text;
  while (std::getline(in, text)) {
    if (!text.empty() && text.back() == '\r') text.pop_back();
    std::string t = Trim(text);
    if (t.size() >= 2 && t.front() == '[') {
      size_t close = t.find(']');
      if (close != std::string::npos) {
        sections_.push_back({Trim(t.substr(1, close - 1)), {}});
        continue;
      }
    }
    Line line{text, "", ""};
    size_t eq = text.find('=');
    if (eq != std::string::npos && t.front() != ';') {
      line.key = Trim(text.substr(0, eq));
      line.value = text.substr(eq + 1);
    }
    sections_.back().lines.push_back(std::move(line));
  }
}

const IniFile::Line* IniFile::find(const std::string& section, const std::string& key) const {
  for (const Section& s : sections_) {
    if (s.name.empty() || !SameName(s.name, section)) continue;
    for (const Line& l : s.lines)
      if (!l.key.empty() && SameName(l.key, key)) return &l;
  }
  return nullptr;
}

IniFile::Section* IniFile::findSection(const std::string& section) {
  for (Section& s : sections_)
    if (!s.name.empty() && SameName(s.name, section)) return &s;
  return nullptr;
}

std::string IniFile::ReadString(const std::string& section, const std::string& key,
                                const std::string& defaultValue) const {
  const Line* l = find(section, key);
  return l ? l->value : defaultValue;
}

bool IniFile::ReadBool(const std::string& section, const std::string& key,
                       bool defaultValue) const {
  std::string v = Trim(ReadString(section, key, ""));
  size_t i = (!v.empty() && (v[0] == '-' || v[0] == '+')) ? 1 : 0;
  if (i == v.size() || v.find_first_not_of("0123456789", i) != std::string::npos)
    return defaultValue;
  return v.find_first_not_of('0', i) != std::string::npos;
}

void IniFile::WriteString(const std::string& section, const std::string& key,
                          const std::string& value) {
  // A line break in a value would start a line of its own when the file is read again.
  std::string v = value.substr(0, value.find_first_of("\r\n"));
  Section* s = findSection(section);
  if (!s) {
    sections_.push_back({section, {}});
    s = &sections_.back();
  }
  for (Line& l : s->lines) {
    if (!l.key.empty() && SameName(l.key, key)) {
      l = {key + "=" + v, key, v};
      return;
    }
  }
  // After the section's last key, before the blank lines that separate it from the next one.
  size_t at = s->lines.size();
  while (at > 0 && Trim(s->lines[at - 1].text).empty()) --at;
  s->lines.insert(s->lines.begin() + static_cast<long>(at), {key + "=" + v, key, v});
}

void IniFile::WriteBool(const std::string& section, const std::string& key, bool value) {
  WriteString(section, key, value ? "1" : "0");
}

void IniFile::EraseSection(const std::string& section) {
  for (size_t i = sections_.size(); i-- > 1;)
    if (SameName(sections_[i].name, section)) sections_.erase(sections_.begin() + long(i));
}

std::string IniFile::Text() const {
  std::string out;
  for (const Section& s : sections_) {
    if (!s.name.empty()) out += "[" + s.name + "]\n";
    for (const Line& l : s.lines) out += l.text + "\n";
  }
  return out;
}

bool IniFile::Save(std::string* reason) const {
  auto fail = [&]() {
    if (reason)
      *reason = "Impossible d'enregistrer les param\xE8tres dans \"" + Utf8ToCp1252(path_) + "\"";
    return false;
  };
  size_t slash = path_.find_last_of('/');
  std::string folder = slash == std::string::npos ? "." : path_.substr(0, slash);
  if (!MakeFolders(folder)) return fail();
  std::string tmp = path_ + ".XXXXXX";
  int fd = ::mkstemp(tmp.data());  // created 0600
  if (fd < 0) return fail();
  bool ok = ::fchmod(fd, 0600) == 0 && WriteAll(fd, Text()) && ::fsync(fd) == 0;
  ok = ::close(fd) == 0 && ok;
  if (ok && ::rename(tmp.c_str(), path_.c_str()) == 0) return true;
  ::unlink(tmp.c_str());
  return fail();
}

std::string UserDataFolder() {
  return XdgFolder("XDG_DATA_HOME", "/.local/share") + "/lignado/";
}

bool FolderWritable(const std::string& folder) {
  struct stat st {};
  return !folder.empty() && ::stat(folder.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(folder.c_str(), W_OK | X_OK) == 0;
}

}  // namespace lignado
