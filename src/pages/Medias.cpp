#include "pages/Medias.h"

#include <cstdint>

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

}  // namespace

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
