#include "pages/Medias.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "data/Base.h"
#include "genealogy/Vivants.h"
#include "pages/MediaKind.h"
#include "pages/PageList.h"
#include "util/FileTools.h"
#include "util/Owned.h"
#include "util/SystemReason.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

// Windows-1252 letters with an accent, from 0xC0, as their plain letter ('_' for the others).
constexpr char kPlain[] =
    "AAAAAAACEEEEIIII"
    "DNOOOOO_OUUUUYTs"
    "aaaaaaaceeeeiiii"
    "dnooooo_ouuuuyty";

char safeChar(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-') return static_cast<char>(c);
  if (c >= 'A' && c <= 'Z') return static_cast<char>(c - 'A' + 'a');
  if (c >= 0xC0) return kPlain[c - 0xC0 + (c < 0xE0 ? 32 : 0)];
  return '_';
}

std::string safe(const std::string& s) {
  std::string out;
  for (char ch : s) {
    if (static_cast<unsigned char>(ch) == 0xDF) {  // the German sharp s
      out += "ss";
      continue;
    }
    char c = safeChar(static_cast<unsigned char>(ch));
    if (c == '_' && (out.empty() || out.back() == '_')) continue;
    out += c;
  }
  if (!out.empty() && out.back() == '_') out.pop_back();
  return out;
}

// FNV-1a: a short, stable mark of a path.
std::string mark(const std::string& s) {
  uint32_t h = 2166136261u;
  for (char c : s) {
    h ^= static_cast<unsigned char>(c);
    h *= 16777619u;
  }
  const char hex[] = "0123456789abcdef";
  std::string out(8, '0');
  for (int i = 7; i >= 0; --i, h >>= 4) out[static_cast<size_t>(i)] = hex[h & 15];
  return out;
}

namespace fs = std::filesystem;

// Why a media file was not copied; None: it was.
enum class Refusal { None, Missing, Outside, Hidden, NotFile, Kind, Mismatch, TooBig, Unreadable };

std::string sizeText(uint64_t bytes) {
  constexpr uint64_t kMb = 1ull << 20;
  return bytes % kMb == 0 ? std::to_string(bytes / kMb) + " Mo" : std::to_string(bytes) + " octets";
}

std::string refusalLine(Refusal why, const std::string& written, uint64_t maxBytes,
                        const std::string& reason) {
  switch (why) {
    case Refusal::Outside:
      return "Photo hors des dossiers autoris\xE9s : " + written;
    case Refusal::Hidden:
      return "Photo cach\xE9"
             "e (un nom commen\xE7"
             "ant par un point) : " +
             written;
    case Refusal::NotFile:
      return "Photo qui n'est pas un fichier ordinaire : " + written;
    case Refusal::Kind:
      return "Photo d'un type non publi\xE9 (ni image, PDF, texte, son ou vid\xE9o) : " + written;
    case Refusal::Mismatch:
      return "Photo dont le contenu ne correspond pas \xE0 l'extension : " + written;
    case Refusal::TooBig:
      return "Photo trop grande (plus de " + sizeText(maxBytes) + ") : " + written;
    case Refusal::Unreadable:
      return "Photo non copi\xE9"
             "e : " +
             written + (reason.empty() ? "" : " (" + reason + ")");
    case Refusal::None:
    case Refusal::Missing:
      break;
  }
  return "Photo introuvable : " + written;
}

// A path made absolute and lexically normal, without a trailing separator.
fs::path normal(const fs::path& p) {
  std::error_code ec;
  fs::path n = fs::absolute(p, ec).lexically_normal();
  if (!n.has_filename() && n.has_relative_path()) n = n.parent_path();
  return n;
}

// The part of path below folder (both normal), or nullopt when path is not below it.
std::optional<fs::path> below(const fs::path& path, const fs::path& folder) {
  fs::path rel = path.lexically_relative(folder);
  if (rel.empty() || rel == "." || *rel.begin() == "..") return std::nullopt;
  return rel;
}

bool hasHiddenName(const fs::path& rel) {
  for (const fs::path& part : rel)
    if (part.native().starts_with('.') && part != "." && part != "..") return true;
  return false;
}

// A media folder as given and with its symlinks resolved.
struct Root {
  fs::path given, resolved;
};

// The files below a folder by lower-case name, the first found of each name; hidden names are
// neither listed nor entered, symlinked folders not followed. Read once.
class NameIndex {
 public:
  explicit NameIndex(fs::path folder) : folder_(std::move(folder)) {}
  fs::path find(const std::string& name) {
    if (!index_) build();
    auto it = index_->find(LowerAscii(name));
    return it == index_->end() ? fs::path() : it->second;
  }

 private:
  void build() {
    index_.emplace();
    std::error_code ec;
    fs::recursive_directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec);
    // A few levels and entries are enough: a huge tree is not walked for ever.
    size_t seen = 0;
    for (; !ec && it != fs::recursive_directory_iterator() && ++seen < 500000; it.increment(ec)) {
      if (it->path().filename().native().starts_with('.')) {
        it.disable_recursion_pending();
        continue;
      }
      if (it.depth() > 8) it.disable_recursion_pending();
      std::error_code kind;
      if (it->is_regular_file(kind))
        index_->emplace(LowerAscii(it->path().filename().string()), it->path());
    }
  }
  fs::path folder_;
  std::optional<std::unordered_map<std::string, fs::path>> index_;
};

// A media file opened for reading after every rule was checked on what was opened.
struct Opened {
  OwnedFd fd;
  Refusal why = Refusal::Missing;
  std::string reason;  // French, for Unreadable
};

// Opens rel below the folder one name at a time without following any symlink: rel is the
// resolved path, so a symlink met now was put there after the check and is refused. A FIFO or
// a device is refused from its entry, before it is opened.
Opened openBelow(const fs::path& folder, const fs::path& rel, const MediaRules& rules) {
  Opened out;
  auto fail = [&out](int error) {
    out.why = error == ENOENT ? Refusal::Missing : Refusal::Unreadable;
    out.reason = SystemReason(error);
    return std::move(out);
  };
  OwnedFd dir(::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (!dir) return fail(errno);
  std::vector<fs::path> parts(rel.begin(), rel.end());
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    OwnedFd sub(
        ::openat(dir.get(), parts[i].c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!sub) return fail(errno);
    dir = std::move(sub);
  }
  const char* name = parts.back().c_str();
  struct stat entry {};
  if (::fstatat(dir.get(), name, &entry, AT_SYMLINK_NOFOLLOW) != 0) return fail(errno);
  if (!S_ISREG(entry.st_mode)) {
    out.why = S_ISLNK(entry.st_mode) ? Refusal::Outside : Refusal::NotFile;
    return out;
  }
  out.fd.reset(
      ::openat(dir.get(), name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
  if (!out.fd) return fail(errno);
  struct stat st {};
  if (::fstat(out.fd.get(), &st) != 0) return fail(errno);
  if (!S_ISREG(st.st_mode) || st.st_ino != entry.st_ino || st.st_dev != entry.st_dev) {
    out.fd.reset();
    out.why = Refusal::NotFile;
    return out;
  }
  if (static_cast<uint64_t>(st.st_size) > rules.maxBytes) {
    out.fd.reset();
    out.why = Refusal::TooBig;
    return out;
  }
  char head[kMediaHeadBytes];
  ssize_t got = ::pread(out.fd.get(), head, sizeof head, 0);
  if (got < 0) return fail(errno);
  const std::string ext = rel.extension().string();
  switch (MediaKindOf(ext.empty() ? ext : ext.substr(1),
                      std::string_view(head, static_cast<size_t>(got)))) {
    case MediaKind::Unknown:
      out.why = Refusal::Kind;
      break;
    case MediaKind::Mismatch:
      out.why = Refusal::Mismatch;
      break;
    case MediaKind::Matches:
      out.why = Refusal::None;
      return out;
  }
  out.fd.reset();
  return out;
}

// Looks for the media file that a GEDCOM text names and opens it when every rule allows it.
class MediaFinder {
 public:
  explicit MediaFinder(const MediaRules& rules) : rules_(rules) {
    for (const std::string& f : rules.folders) {
      if (f.empty()) continue;
      std::error_code ec;
      Root r{normal(f), {}};
      r.resolved = fs::canonical(r.given, ec);
      if (ec || !fs::is_directory(r.resolved, ec)) continue;
      roots_.push_back(r);
      indexes_.emplace_back(r.given);
    }
  }

  Opened open(const std::string& written) {
    Opened first;  // the first refusal met, reported when nothing else is found
    if (written.empty() || roots_.empty()) return first;
    const std::string path = Cp1252ToUtf8(written);
    const bool windows =
        path.find('\\') != std::string::npos || (path.size() > 1 && path[1] == ':');
    if (!windows) {
      fs::path p(path);
      if (p.is_absolute()) {
        if (take(p, fs::path(), first)) return first;
      } else {
        for (const Root& root : roots_)
          if (take(root.given / p, p, first)) return first;
      }
    }
    const size_t slash = path.find_last_of("/\\");
    const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
    if (name.empty()) return first;
    for (NameIndex& index : indexes_) {
      fs::path found = index.find(name);
      if (!found.empty() && take(found, fs::path(), first)) return first;
    }
    return first;
  }

 private:
  // Tries one candidate: true when it is opened into out; a refusal is kept in out when it is
  // the first one.
  bool take(const fs::path& candidate, const fs::path& relWritten, Opened& out) {
    Opened got = check(normal(candidate), relWritten);
    if (got.why == Refusal::None || (out.why == Refusal::Missing && got.why != Refusal::Missing)) {
      out = std::move(got);
      return out.why == Refusal::None;
    }
    return false;
  }

  Opened check(const fs::path& candidate, const fs::path& relWritten) {
    Opened out;
    std::error_code ec;
    const fs::path real = fs::canonical(candidate, ec);
    if (ec) return out;
    // A hidden name that the text itself walks through is refused even when the link behind it
    // leads back into a media folder.
    bool hiddenWritten = hasHiddenName(relWritten.lexically_normal());
    const Root* home = nullptr;
    std::optional<fs::path> rel;
    for (const Root& root : roots_) {
      std::optional<fs::path> r = below(real, root.resolved);
      if (!r) continue;
      std::optional<fs::path> w = below(candidate, root.given);
      if (!w) w = below(candidate, root.resolved);
      if (!hasHiddenName(*r) && !hiddenWritten && !(w && hasHiddenName(*w))) {
        home = &root;
        rel = r;
        break;
      }
      out.why = Refusal::Hidden;
    }
    if (!home) {
      if (out.why != Refusal::Hidden) out.why = Refusal::Outside;
      return out;
    }
    return openBelow(home->resolved, *rel, rules_);
  }

  const MediaRules& rules_;
  std::vector<Root> roots_;
  std::vector<NameIndex> indexes_;
};

// Copies what is left of from into the site file, under a temporary name in its folder (that
// of whole-file writes: the upload skips it, the next build removes it) renamed when whole. At most
// maxBytes are taken: a file that grew since it was checked is refused.
Refusal copyInto(int from, const std::string& target, const std::string& site, uint64_t maxBytes,
                 TPageList* list, std::string& reason) {
  const fs::path final(target);
  const fs::path part =
      final.parent_path() / (std::string(kTempPrefix) + "media-" + final.filename().string());
  OwnedFd to(::open(part.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644));
  if (!to) {
    reason = SystemReason(errno);
    return Refusal::Unreadable;
  }
  Refusal why = Refusal::None;
  std::vector<char> buffer(1 << 16);
  uint64_t total = 0;
  for (;;) {
    ssize_t n = ::read(from, buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n < 0) reason = SystemReason(errno);
      why = n < 0 ? Refusal::Unreadable : Refusal::None;
      break;
    }
    total += static_cast<uint64_t>(n);
    if (total > maxBytes) {
      why = Refusal::TooBig;
      break;
    }
    for (ssize_t done = 0; done < n;) {
      ssize_t w = ::write(to.get(), buffer.data() + done, static_cast<size_t>(n - done));
      if (w < 0 && errno == EINTR) continue;
      if (w < 0) {
        reason = SystemReason(errno);
        why = Refusal::Unreadable;
        break;
      }
      done += w;
    }
    if (why != Refusal::None) break;
  }
  if (!to.close() && why == Refusal::None) {
    reason = SystemReason(errno);
    why = Refusal::Unreadable;
  }
  // A rename keeps the time: the record names the copy as it will stand.
  struct stat st {};
  if (why == Refusal::None && list) {
    int error = ::lstat(part.c_str(), &st) != 0 ? errno : 0;
    if (!error)
      error = list->IntendStamp(
          site, st.st_size,
          static_cast<int64_t>(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec);
    if (error) {
      reason = SystemReason(error);
      why = Refusal::Unreadable;
    }
  }
  if (why == Refusal::None && ::rename(part.c_str(), final.c_str()) != 0) {
    reason = SystemReason(errno);
    why = Refusal::Unreadable;
  }
  if (why != Refusal::None) ::unlink(part.c_str());
  return why;
}

}  // namespace

MediaCopy CopyMedia(const TBD& db, const MediaRules& rules, const std::string& destDir,
                    const TVivants* vivants, TPageList* list) {
  MediaCopy out;
  MediaFinder finder(rules);
  std::unordered_set<std::string> done;
  bool folderMade = false;
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    if (!db.IsPersonUsed(p) || (vivants && vivants->Masque(p))) continue;
    for (const TMedia& m : db.PersonMedia(p)) {
      if (!done.insert(m.File).second) continue;
      const std::string site = MediaSitePath(m.File);
      Opened from = finder.open(m.File);
      std::string reason = from.reason;
      if (from.why == Refusal::None) {
        std::error_code ec;
        if (!folderMade) fs::create_directories(fs::path(destDir + kMediaFolder), ec);
        folderMade = true;
        from.why = copyInto(from.fd.get(), destDir + site, site, rules.maxBytes, list, reason);
      }
      if (from.why != Refusal::None) {
        out.missing.push_back(refusalLine(from.why, m.File, rules.maxBytes, reason));
        continue;
      }
      out.written.push_back(site);
    }
  }
  return out;
}

std::string MediaSitePath(const std::string& written) {
  const size_t slash = written.find_last_of("/\\");
  std::string name = slash == std::string::npos ? written : written.substr(slash + 1);
  std::string ext;
  if (size_t dot = name.rfind('.'); dot != std::string::npos && dot > 0) {
    ext = safe(name.substr(dot + 1));
    name.resize(dot);
  }
  std::string stem = safe(name);
  if (stem.size() > 60) stem.resize(60);
  return kMediaFolder + (stem.empty() ? "media" : stem) + "_" + mark(written) +
         (ext.empty() ? "" : "." + ext);
}

}  // namespace lignado
