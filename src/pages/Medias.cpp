#include "pages/Medias.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "data/Base.h"
#include "genealogy/Evenements.h"
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
  // The copy keeps its file's time: a rebuild knows the file unchanged and reduces it no more.
  struct stat source {};
  if (why == Refusal::None && ::fstat(from, &source) == 0) {
    const struct timespec times[2] = {source.st_mtim, source.st_mtim};
    ::futimens(to.get(), times);
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

// The part of CopyMedia that fills a site's facts.
struct MediaCopier {
  static void add(MediaSite& site, const std::string& path, MediaFacts facts) {
    site.facts_[path] = std::move(facts);
  }
  static const std::vector<MediaSite::Entry>& entries(const MediaSite& site) {
    return site.entries_;
  }
  static void done(MediaSite& site) { site.copied_ = true; }
};

namespace {

bool ownerShown(const MediaSite& site, const MediaSite::Entry& e, const TVivants* vivants) {
  switch (e.owner) {
    case MediaSite::Owner::Person:
    case MediaSite::Owner::PersonEvent:
      return !vivants || !vivants->Masque(e.number);
    case MediaSite::Owner::Union:
    case MediaSite::Owner::UnionEvent:
      return !vivants || !vivants->MasqueUnion(e.number);
    case MediaSite::Owner::Source:
      return site.SourceShown(e.number);
  }
  return false;
}

// A copy already in place from an earlier build: same size and time as its file.
bool sameCopy(int from, const std::string& target) {
  struct stat a {
  }, b{};
  return ::fstat(from, &a) == 0 && ::lstat(target.c_str(), &b) == 0 && S_ISREG(b.st_mode) &&
         a.st_size == b.st_size && a.st_mtim.tv_sec == b.st_mtim.tv_sec &&
         a.st_mtim.tv_nsec == b.st_mtim.tv_nsec;
}

std::string withSuffix(const std::string& site, const char* suffix) {
  const std::string ext = ReducedExtension(site);
  if (ext.empty()) return {};
  const size_t dot = site.rfind('.');
  return site.substr(0, dot) + suffix + ext;
}

}  // namespace

MediaCopy CopyMedia(const TBD& db, const MediaRules& rules, const std::string& destDir,
                    const TVivants* vivants, TPageList* list) {
  MediaCopy out;
  auto site = std::make_shared<MediaSite>(db, vivants);
  MediaFinder finder(rules);
  std::unordered_set<std::string> done;
  bool folderMade = false;
  for (const MediaSite::Entry& e : MediaCopier::entries(*site)) {
    if (!ownerShown(*site, e, vivants) || !done.insert(e.file).second) continue;
    Opened from = finder.open(e.file);
    std::string reason = from.reason;
    const std::string target = destDir + e.site;
    if (from.why == Refusal::None && !sameCopy(from.fd.get(), target)) {
      std::error_code ec;
      if (!folderMade) fs::create_directories(fs::path(destDir + kMediaFolder), ec);
      folderMade = true;
      from.why = copyInto(from.fd.get(), target, e.site, rules.maxBytes, list, reason);
    }
    if (from.why != Refusal::None) {
      out.missing.push_back(refusalLine(from.why, e.file, rules.maxBytes, reason));
      continue;
    }
    out.written.push_back(e.site);
    MediaFacts facts;
    struct stat st {};
    if (::fstat(from.fd.get(), &st) == 0) facts.bytes = static_cast<uint64_t>(st.st_size);
    const std::string thumb = ThumbnailPath(e.site);
    if (!thumb.empty() && MediaCategoryOf(MediaExtension(e.site)) == MediaCategory::Picture) {
      bool whole = true;
      for (const auto& [path, side] :
           {std::pair{thumb, kThumbnailSide}, std::pair{PageSizePath(e.site), kPageSide}}) {
        const std::string& name = path;
        const Reduction r =
            ReducePicture(target, destDir + name, side, [list, &name](int64_t size, int64_t ns) {
              return list ? list->IntendStamp(name, size, ns) : 0;
            });
        if (!r.ok) {
          out.missing.push_back("Vignette non faite : " + e.file +
                                (r.failure.empty() ? "" : " (" + r.failure + ")"));
          whole = false;
          break;
        }
        ++(r.reused ? out.reused : out.reduced);
        out.written.push_back(name);
        if (side == kThumbnailSide) facts.thumbnailSize = r.size;
      }
      if (whole) {
        facts.thumbnail = thumb;
        facts.pageSize = PageSizePath(e.site);
      }
    }
    MediaCopier::add(*site, e.site, std::move(facts));
  }
  MediaCopier::done(*site);
  out.site = std::move(site);
  return out;
}

std::string MediaExtension(const std::string& path) {
  const size_t slash = path.find_last_of("/\\");
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || (slash != std::string::npos && dot < slash)) return {};
  return path.substr(dot + 1);
}

bool ShownAsPicture(const MediaSite::Entry& e, const MediaFacts* facts) {
  const std::string ext = MediaExtension(e.site);
  if (MediaCategoryOf(ext) != MediaCategory::Picture) return false;
  // A copy that could not be reduced is no picture that a browser would show either.
  if (facts && !ThumbnailPath(e.site).empty()) return !facts->thumbnail.empty();
  return BrowserShows(ext);
}

std::string ThumbnailPath(const std::string& site) {
  return withSuffix(site, "_320");
}
std::string PageSizePath(const std::string& site) {
  return withSuffix(site, "_1280");
}

std::string FileSizeWords(uint64_t bytes) {
  constexpr uint64_t kKo = 1024, kMo = kKo * kKo;
  if (bytes < kKo) return std::to_string(bytes) + (bytes > 1 ? " octets" : " octet");
  if (bytes < kMo - kKo / 2) return std::to_string((bytes + kKo / 2) / kKo) + " Ko";
  const uint64_t tenths = (bytes * 10 + kMo / 2) / kMo;
  return std::to_string(tenths / 10) + (tenths % 10 ? "," + std::to_string(tenths % 10) : "") +
         " Mo";
}

MediaSite::MediaSite(const TBD& db, const TVivants* vivants) : withVivants_(vivants != nullptr) {
  auto add = [this](const std::vector<TMedia>& list, Owner owner, int32_t number) {
    if (list.empty()) return;
    first_.emplace(&list, static_cast<int32_t>(entries_.size()) + 1);
    for (const TMedia& m : list)
      entries_.push_back({m.File, m.Title, MediaSitePath(m.File), owner, number});
  };
  auto cite = [this](const std::vector<TCitation>& list) {
    for (const TCitation& c : list)
      if (c.source > 0) sourceCited_.insert(c.source);
  };
  // A fact its RESN hides keeps its files out of the site, and cites nothing there.
  auto restricted = [vivants](const TEvePlus& plus) {
    return vivants && TVivants::MasqueFait(&plus);
  };
  auto events = [&](const NumList& list, Owner owner, int32_t number, bool shown) {
    for (int32_t e : list)
      if (const TEvePlus* plus = db.Plus.Event(e); plus && !restricted(*plus)) {
        add(plus->media, owner, number);
        if (shown) cite(plus->citations);
      }
  };
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    const TFiche* f = db.Person(p);
    if (!f || !f->InUse) continue;
    const bool shown = !vivants || !vivants->Masque(p);
    add(f->Media, Owner::Person, p);
    events(f->EventList, Owner::PersonEvent, p, shown);
    for (const TFait& fact : db.Plus.PersonFacts(p)) {
      if (restricted(fact.plus)) continue;
      add(fact.plus.media, Owner::PersonEvent, p);
      if (shown) cite(fact.plus.citations);
    }
    if (!shown) continue;
    for (int32_t src : f->SourceList) sourceCited_.insert(src);
    if (const TPersonPlus* plus = db.Plus.Person(p)) {
      cite(plus->nameCitations);
      cite(plus->noteCitations);
    }
  }
  for (int32_t u = 1; u <= db.UnionCount; ++u) {
    const TUnion* un = db.Union(u);
    if (!un || !un->InUse) continue;
    const bool shown = !vivants || !vivants->MasqueUnion(u);
    if (const TUnionPlus* plus = db.Plus.Union(u)) {
      add(plus->media, Owner::Union, u);
      if (shown) cite(plus->citations);
    }
    events(un->EventList, Owner::UnionEvent, u, shown);
  }
  for (int32_t src = 1; db.SourceRecord(src); ++src)
    if (const TSourcePlus* plus = db.Plus.Source(src)) add(plus->media, Owner::Source, src);
}

const MediaSite::Entry* MediaSite::At(int32_t m) const {
  return m >= 1 && m <= Count() ? &entries_[static_cast<size_t>(m - 1)] : nullptr;
}

std::vector<int32_t> MediaSite::Numbers(const std::vector<TMedia>& list) const {
  std::vector<int32_t> out;
  auto it = first_.find(&list);
  if (it == first_.end()) return out;
  for (size_t i = 0; i < list.size(); ++i) {
    const int32_t m = it->second + static_cast<int32_t>(i);
    if (m > Count()) break;
    if (copied_ && !Facts(entries_[static_cast<size_t>(m - 1)].site)) continue;
    out.push_back(m);
  }
  return out;
}

const MediaFacts* MediaSite::Facts(const std::string& site) const {
  auto it = facts_.find(site);
  return it == facts_.end() ? nullptr : &it->second;
}

bool MediaSite::SourceShown(int32_t s) const {
  return !withVivants_ || sourceCited_.count(s) > 0;
}

namespace {

std::mutex gSitesMutex;
std::vector<std::pair<const TBD*, std::shared_ptr<const MediaSite>>> gSites;

// The last site made outside a generation, for the pages that follow it (a preview): what it
// was made from.
struct Made {
  const TBD* db = nullptr;
  const TVivants* vivants = nullptr;
  int32_t persons = 0, unions = 0, sources = 0, events = 0;
  bool operator==(const Made&) const = default;
};
Made gMadeFrom;
std::shared_ptr<const MediaSite> gMade;

}  // namespace

std::shared_ptr<const MediaSite> MediaSiteOf(const TBD& db, const TVivants* vivants) {
  std::lock_guard<std::mutex> lock(gSitesMutex);
  for (const auto& [d, site] : gSites)
    if (d == &db) return site;
  const Made now{&db, vivants, db.PersonCount, db.UnionCount, db.SourceCount, db.EventCount};
  if (!gMade || !(gMadeFrom == now)) {
    gMade = std::make_shared<const MediaSite>(db, vivants);
    gMadeFrom = now;
  }
  return gMade;
}

MediaSiteScope::MediaSiteScope(const TBD& db, std::shared_ptr<const MediaSite> site) : db_(db) {
  std::lock_guard<std::mutex> lock(gSitesMutex);
  gSites.emplace_back(&db, std::move(site));
}

MediaSiteScope::~MediaSiteScope() {
  std::lock_guard<std::mutex> lock(gSitesMutex);
  for (auto it = gSites.end(); it != gSites.begin();) {
    --it;
    if (it->first == &db_) {
      gSites.erase(it);
      break;
    }
  }
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
