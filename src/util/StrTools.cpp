#include "util/StrTools.h"

namespace lignado {

namespace {
constexpr char kFolderSeparator = '/';
}

std::string ReverseString(const std::string& text) {
  return {text.rbegin(), text.rend()};
}

int LastPos(const std::string& needle, const std::string& text) {
  // An empty needle is never found, as with a plain substring search returning 0.
  if (needle.empty()) return 0;
  auto found = ReverseString(text).find(ReverseString(needle));
  if (found == std::string::npos) return 0;
  return static_cast<int>(text.size() - found);
}

std::string AddTrailingBackslash(const std::string& path) {
  if (!path.empty() && path.back() == kFolderSeparator) return path;
  return path + kFolderSeparator;
}

std::string RemoveTrailingSlash(const std::string& path) {
  if (path.size() >= 2 && (path.back() == '\\' || path.back() == '/'))
    return path.substr(0, path.size() - 1);
  return path;
}

std::string ParentPath(const std::string& path, char separator) {
  int pos = LastPos(std::string(1, separator), path);
  if (pos == 0) return {};
  if (pos == 1) return std::string(1, separator);
  return path.substr(0, static_cast<size_t>(pos - 1));
}

}  // namespace lignado
