#include "pages/TemplateFiles.h"

#include <algorithm>
#include <fstream>
#include <iterator>
#include <system_error>

#include "util/SystemReason.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace fs = std::filesystem;

namespace {

bool isSeparator(char c) {
  return c == '/' || c == '\\';
}

std::vector<std::string> nameParts(const std::string& name) {
  std::vector<std::string> parts;
  std::string part;
  for (char c : name) {
    if (isSeparator(c)) {
      if (!part.empty() && part != ".") parts.push_back(part);
      part.clear();
    } else {
      part += c;
    }
  }
  if (!part.empty() && part != ".") parts.push_back(part);
  return parts;
}

bool hasKind(const fs::path& p, bool folder) {
  std::error_code ec;
  return folder ? fs::is_directory(p, ec) : fs::is_regular_file(p, ec);
}

}  // namespace

bool StaysInside(const std::string& name) {
  if (name.find('\0') != std::string::npos) return false;
  if (!name.empty() && isSeparator(name[0])) return false;
  if (name.size() >= 2 && name[1] == ':') return false;  // a drive letter
  for (const std::string& part : nameParts(name))
    if (part == "..") return false;
  return true;
}

fs::path NativeName(const std::string& name) {
  std::string s = Cp1252ToUtf8(name);
  for (char& c : s)
    if (c == '\\') c = '/';
  return fs::path(s);
}

std::optional<fs::path> FindNoCase(const fs::path& dir, const std::string& name, bool wantFolder) {
  if (!StaysInside(name)) return std::nullopt;
  std::vector<std::string> parts = nameParts(name);
  if (parts.empty()) return std::nullopt;
  fs::path cur = dir;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    bool folder = wantFolder || i + 1 < parts.size();
    fs::path exact = cur / Cp1252ToUtf8(parts[i]);
    if (hasKind(exact, folder)) {
      cur = exact;
      continue;
    }
    // Names written on Windows ignore case: take the entry that matches but for case, the
    // smallest name first so that the choice does not depend on the directory's order.
    std::string want = FoldCase(parts[i]);
    std::optional<fs::path> found;
    std::error_code ec;
    for (fs::directory_iterator it(cur, ec), end; !ec && it != end; it.increment(ec)) {
      const fs::path& p = it->path();
      if (FoldCase(Utf8ToCp1252(p.filename().string())) != want || !hasKind(p, folder)) continue;
      if (!found || p.filename() < found->filename()) found = p;
    }
    if (!found) return std::nullopt;
    cur = *found;
  }
  return cur;
}

std::optional<fs::path> FindInFolder(const fs::path& dir, const std::string& name) {
  std::optional<fs::path> found = FindNoCase(dir, name);
  if (!found) return std::nullopt;
  std::error_code ec, fileEc;
  const fs::path root = fs::canonical(dir, ec), real = fs::canonical(*found, fileEc);
  if (ec || fileEc) return std::nullopt;
  auto [r, f] = std::mismatch(root.begin(), root.end(), real.begin(), real.end());
  if (r != root.end()) return std::nullopt;
  return found;
}

std::string WriteFailureText(const fs::path& file, int error) {
  return "Impossible d'enregistrer le fichier \"" + Utf8ToCp1252(file.string()) +
         "\" : " + SystemReason(error) + ".";
}

std::optional<std::string> ReadWholeFile(const fs::path& file) {
  if (!hasKind(file, false)) return std::nullopt;
  std::ifstream in(file, std::ios::binary);
  if (!in) return std::nullopt;
  std::string bytes((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  if (in.bad()) return std::nullopt;
  return bytes;
}

}  // namespace lignado
