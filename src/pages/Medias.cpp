#include "pages/Medias.h"

#include <cstdint>
#include <filesystem>
#include <optional>
#include <system_error>
#include <unordered_map>
#include <unordered_set>

#include "data/Base.h"
#include "genealogy/Vivants.h"
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

bool isFile(const fs::path& p) {
  std::error_code ec;
  return fs::is_regular_file(p, ec);
}

// The files below a folder by lower-case name, the first found of each name; read once.
class NameIndex {
 public:
  explicit NameIndex(std::string folder) : folder_(std::move(folder)) {}
  std::string find(const std::string& name) {
    if (!index_) build();
    auto it = index_->find(LowerAscii(name));
    return it == index_->end() ? std::string() : it->second;
  }

 private:
  void build() {
    index_.emplace();
    std::error_code ec;
    fs::recursive_directory_iterator it(folder_, fs::directory_options::skip_permission_denied, ec);
    // A few levels are enough; a link cycle or a huge tree is not walked forever.
    for (; !ec && it != fs::recursive_directory_iterator(); it.increment(ec)) {
      if (it.depth() > 8) it.disable_recursion_pending();
      std::error_code kind;
      if (it->is_regular_file(kind))
        index_->emplace(LowerAscii(it->path().filename().string()), it->path().string());
    }
  }
  std::string folder_;
  std::optional<std::unordered_map<std::string, std::string>> index_;
};

std::string findMedia(const std::string& written, const std::string& folder, NameIndex& index) {
  if (written.empty()) return {};
  std::string path = Cp1252ToUtf8(written);
  const bool windows = path.find('\\') != std::string::npos || (path.size() > 1 && path[1] == ':');
  if (!windows) {
    fs::path p(path);
    if (p.is_absolute() && isFile(p)) return path;
    if (p.is_relative() && !folder.empty() && isFile(fs::path(folder) / p))
      return (fs::path(folder) / p).string();
  }
  const size_t slash = path.find_last_of("/\\");
  const std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  return name.empty() || folder.empty() ? std::string() : index.find(name);
}

}  // namespace

std::string FindMediaFile(const std::string& written, const std::string& gedcomFolder) {
  NameIndex index(gedcomFolder);
  return findMedia(written, gedcomFolder, index);
}

MediaCopy CopyMedia(const TBD& db, const std::string& gedcomFolder, const std::string& destDir,
                    const TVivants* vivants) {
  MediaCopy out;
  NameIndex index(gedcomFolder);
  std::unordered_set<std::string> done;
  bool folderMade = false;
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    if (!db.IsPersonUsed(p) || (vivants && vivants->Masque(p))) continue;
    for (const TMedia& m : db.PersonMedia(p)) {
      if (!done.insert(m.File).second) continue;
      const std::string site = MediaSitePath(m.File);
      const std::string from = findMedia(m.File, gedcomFolder, index);
      std::error_code ec;
      if (!from.empty()) {
        if (!folderMade) fs::create_directories(fs::path(destDir + kMediaFolder), ec);
        folderMade = true;
        fs::copy_file(from, destDir + site, fs::copy_options::overwrite_existing, ec);
      }
      if (from.empty() || ec) {
        out.missing.push_back((from.empty() ? "Photo introuvable : "
                                            : "Photo non copi\xE9"
                                              "e : ") +
                              m.File);
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
