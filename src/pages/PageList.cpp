#include "pages/PageList.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <charconv>
#include <cstring>
#include <optional>
#include <system_error>

#include "pages/TemplateFiles.h"
#include "util/FileTools.h"
#include "util/SystemReason.h"
#include "util/Utf8.h"

namespace lignado {
namespace fs = std::filesystem;

uint64_t ContentHash64(std::string_view bytes) {
  constexpr uint64_t m = 0xc6a4a7935bd1e995ULL;
  constexpr int r = 47;
  uint64_t h = 0x5bd1e9955bd1e995ULL ^ (bytes.size() * m);
  const char* p = bytes.data();
  const std::size_t words = bytes.size() / 8;
  for (std::size_t i = 0; i < words; ++i, p += 8) {
    uint64_t k;
    std::memcpy(&k, p, 8);
    k *= m;
    k ^= k >> r;
    k *= m;
    h ^= k;
    h *= m;
  }
  const std::size_t rest = bytes.size() & 7;
  if (rest != 0) {
    uint64_t k = 0;
    for (std::size_t i = rest; i-- > 0;) k = (k << 8) | static_cast<unsigned char>(p[i]);
    h ^= k;
    h *= m;
  }
  h ^= h >> r;
  h *= m;
  h ^= h >> r;
  return h;
}

namespace {

// "size hHASH name" or, for files recorded by time (and lists of earlier versions),
// "size mtimeNs name".
void appendLine(std::string& out, std::string_view name, int64_t size, bool hashed,
                uint64_t value) {
  char number[24];
  out.append(number, std::to_chars(number, number + sizeof number, size).ptr);
  if (hashed) {
    out += " h";
    out.append(number, std::to_chars(number, number + sizeof number, value, 16).ptr);
  } else {
    out += ' ';
    out.append(number,
               std::to_chars(number, number + sizeof number, static_cast<int64_t>(value)).ptr);
  }
  out += ' ';
  out += name;
  out += '\n';
}

bool timeOf(const fs::path& file, int64_t& size, int64_t& mtimeNs) {
  struct stat st {};
  if (::lstat(file.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
  size = st.st_size;
  mtimeNs = static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
  return true;
}

}  // namespace

TPageList::TPageList(fs::path destDir) : dest_(std::move(destDir)), path_(dest_ / kFileName) {}

void TPageList::add(Entries& entries, const std::string& name, const Entry& e) {
  std::vector<Entry>& list = entries[name];
  if (std::find(list.begin(), list.end(), e) == list.end()) list.push_back(e);
}

template <class F>
bool TPageList::readLines(const fs::path& file, bool& endsLine, F&& f) {
  std::optional<std::string> bytes = ReadWholeFile(file);
  endsLine = !bytes || bytes->empty() || bytes->back() == '\n';
  if (!bytes) return false;
  const char* p = bytes->data();
  const char* const stop = p + bytes->size();
  while (p < stop) {
    const char* e = static_cast<const char*>(std::memchr(p, '\n', stop - p));
    if (!e) break;  // an unfinished line is not trusted
    Entry entry;
    auto [a, ea] = std::from_chars(p, e, entry.size);
    if (ea == std::errc() && a + 1 < e && *a == ' ') {
      entry.hashed = a[1] == 'h';
      const char* b = a + (entry.hashed ? 2 : 1);
      std::from_chars_result got{};
      if (entry.hashed) {
        got = std::from_chars(b, e, entry.value, 16);
      } else {
        int64_t t = 0;
        got = std::from_chars(b, e, t);
        entry.value = static_cast<uint64_t>(t);
      }
      if (got.ec == std::errc() && got.ptr + 1 < e && *got.ptr == ' ')
        f(std::string_view(got.ptr + 1, e - got.ptr - 1), entry);
    }
    p = e + 1;
  }
  return true;
}

TPageList::Entries TPageList::read(const fs::path& file, bool& endsLine) {
  Entries entries;
  readLines(file, endsLine, [&](std::string_view name, const Entry& entry) {
    add(entries, std::string(name), entry);
  });
  return entries;
}

std::set<std::string> TPageList::Recorded(const fs::path& destDir) {
  bool endsLine = true;
  std::set<std::string> names;
  readLines(destDir / kFileName, endsLine,
            [&](std::string_view name, const Entry&) { names.emplace(name); });
  return names;
}

std::string TPageList::Open() {
  RemoveTempFiles(dest_);
  bool endsLine = true;
  earlier_ = read(path_, endsLine);
  append_.reset(
      ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0644));
  int error = append_ ? 0 : errno;
  // Records go on new lines, after whatever a stopped build cut short.
  if (!error && !endsLine && ::write(append_.get(), "\n", 1) != 1) error = errno;
  return error ? WriteFailureText(path_, error) : std::string();
}

int TPageList::Intend(const std::string& name, std::string_view bytes) {
  return record(name, Entry{static_cast<int64_t>(bytes.size()), true, ContentHash64(bytes)});
}

int TPageList::IntendStamp(const std::string& name, int64_t size, int64_t mtimeNs) {
  return record(name, Entry{size, false, static_cast<uint64_t>(mtimeNs)});
}

int TPageList::record(const std::string& name, const Entry& e) {
  std::string native = NativeName(name).string();
  if (native.find_first_of("\r\n") != std::string::npos) return 0;  // no line can hold it
  std::string line;
  appendLine(line, native, e.size, e.hashed, e.value);
  std::lock_guard<std::mutex> lock(recording_);
  if (!append_) return EBADF;
  const ssize_t n = ::write(append_.get(), line.data(), line.size());
  if (n != static_cast<ssize_t>(line.size())) return n < 0 ? errno : ENOSPC;
  constexpr std::size_t kBlock = std::size_t{1} << 20;
  if (names_.empty() || names_.back().size() + native.size() > kBlock) {
    names_.emplace_back();
    names_.back().reserve(std::max(kBlock, native.size()));
  }
  std::string& block = names_.back();
  now_.push_back(Record{static_cast<uint32_t>(names_.size() - 1),
                        static_cast<uint32_t>(block.size()), static_cast<uint32_t>(native.size()),
                        e});
  block += native;
  return 0;
}

std::vector<const TPageList::Record*> TPageList::latestByName() const {
  std::vector<const Record*> sorted;
  sorted.reserve(now_.size());
  for (const Record& r : now_) sorted.push_back(&r);
  std::stable_sort(sorted.begin(), sorted.end(),
                   [this](const Record* a, const Record* b) { return nameOf(*a) < nameOf(*b); });
  std::size_t kept = 0;
  for (std::size_t i = 0; i < sorted.size(); ++i) {
    if (i + 1 < sorted.size() && nameOf(*sorted[i]) == nameOf(*sorted[i + 1])) continue;
    sorted[kept++] = sorted[i];
  }
  sorted.resize(kept);
  return sorted;
}

bool TPageList::ours(const fs::path& file, const std::vector<Entry>& entries) const {
  int64_t size = 0, mtimeNs = 0;
  if (!timeOf(file, size, mtimeNs)) return false;
  std::optional<uint64_t> hash;
  for (const Entry& e : entries) {
    if (e.size != size) continue;
    if (!e.hashed && static_cast<int64_t>(e.value) == mtimeNs) return true;
    if (e.hashed && !hash) {
      std::optional<std::string> bytes = ReadWholeFile(file);
      if (!bytes) return false;
      hash = ContentHash64(*bytes);
    }
    if (e.hashed && *hash == e.value) return true;
  }
  return false;
}

TPageList::Finished TPageList::Finish(const std::vector<std::string>& written) {
  Finished out;
  append_.close();
  const std::vector<const Record*> recorded = latestByName();
  auto isRecorded = [&](std::string_view name) {
    auto at =
        std::lower_bound(recorded.begin(), recorded.end(), name,
                         [this](const Record* r, std::string_view n) { return nameOf(*r) < n; });
    return at != recorded.end() && nameOf(**at) == name;
  };
  // The files not recorded by this build that the new list keeps: few, by name.
  Entries others;
  for (const std::string& name : written) {
    std::string native = NativeName(name).string();
    int64_t size = 0, mtimeNs = 0;
    if (isRecorded(native) || others.count(native) ||
        native.find_first_of("\r\n") != std::string::npos || !timeOf(dest_ / native, size, mtimeNs))
      continue;
    add(others, native, Entry{size, false, static_cast<uint64_t>(mtimeNs)});
  }
  for (const auto& [name, entries] : earlier_) {
    // A file changed since we wrote it is the user's now: kept, and no longer listed.
    if (isRecorded(name) || others.count(name) || !StaysInside(name) ||
        !ours(dest_ / name, entries))
      continue;
    std::error_code ec;
    if (fs::remove(dest_ / name, ec))
      ++out.removed;
    else
      others[name] = entries;  // tried again by the next build
  }
  earlier_.clear();
  // Both lists in name order, merged.
  std::string text;
  auto other = others.begin();
  auto flushOthersBefore = [&](const std::string_view* name) {
    for (; other != others.end() && (!name || other->first < *name); ++other)
      for (const Entry& e : other->second)
        appendLine(text, other->first, e.size, e.hashed, e.value);
  };
  for (const Record* r : recorded) {
    const std::string_view name = nameOf(*r);
    flushOthersBefore(&name);
    appendLine(text, name, r->entry.size, r->entry.hashed, r->entry.value);
  }
  flushOthersBefore(nullptr);
  now_.clear();
  names_.clear();
  if (WriteOutcome w = WriteWholeFile(path_, text); !w) out.reason = SystemReason(w.error);
  return out;
}

namespace {

// True when file is a regular file (not a symlink) that holds exactly these bytes: a rebuild
// leaves such a page alone, which spares the file system a new file for each unchanged page.
bool holds(const fs::path& file, std::string_view bytes) {
  OwnedFd fd(::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (!fd || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) != bytes.size())
    return false;
  std::string now(bytes.size(), '\0');
  std::size_t got = 0;
  while (got < now.size()) {
    const ssize_t n = ::read(fd.get(), now.data() + got, now.size() - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return now == bytes;
}

}  // namespace

std::string WriteSiteFile(const fs::path& destDir, const std::string& name, std::string_view bytes,
                          TPageList* list) {
  if (list)
    if (int error = list->Intend(name, bytes); error != 0)
      return WriteFailureText(list->Path(), error);
  const fs::path file = destDir / NativeName(name);
  if (holds(file, bytes)) return {};
  if (file.parent_path() != destDir) {
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);  // a failure shows in the write
  }
  const WriteOutcome w = WriteWholeFile(file, bytes);
  return w ? std::string() : WriteFailureText(file, w.error);
}

}  // namespace lignado
