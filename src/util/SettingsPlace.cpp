#include "util/SettingsPlace.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <system_error>

namespace lignado {
namespace fs = std::filesystem;

namespace {

bool UnderSystemTree(const fs::path& dir) {
  static const char* const kTrees[] = {"usr", "bin", "sbin", "opt", "snap", "app", "nix"};
  auto first = dir.begin();
  if (first == dir.end() || *first != "/" || ++first == dir.end()) return false;
  for (const char* tree : kTrees)
    if (*first == tree) return true;
  return false;
}

bool IsFolder(const fs::path& p) {
  struct stat st {};
  return ::stat(p.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::string ConfigHome() {
  const char* v = std::getenv("XDG_CONFIG_HOME");
  if (v && v[0] == '/') return v;
  const char* home = std::getenv("HOME");
  return std::string(home && home[0] ? home : "/tmp") + "/.config";
}

}  // namespace

bool InstalledProgramFolder(const std::string& exeDir) {
  if (exeDir.empty()) return false;
  fs::path dir = fs::path(exeDir).lexically_normal();
  if (dir.has_filename() == false && dir.has_parent_path() && dir != dir.root_path())
    dir = dir.parent_path();  // "a/b/" names "a/b"
  std::error_code ec;
  fs::path real = fs::canonical(dir, ec);
  if (UnderSystemTree(dir) || (!ec && UnderSystemTree(real))) return true;
  const fs::path& where = ec ? dir : real;
  return where.filename() == "bin" && IsFolder(where.parent_path() / "share" / "lignado");
}

bool KeepsFilesBeside(const std::string& exeDir) {
  struct stat st {};
  return !exeDir.empty() && ::stat(exeDir.c_str(), &st) == 0 && S_ISDIR(st.st_mode) &&
         ::access(exeDir.c_str(), W_OK | X_OK) == 0 && !InstalledProgramFolder(exeDir);
}

std::string SettingsFilePath(const std::string& exeDir) {
  if (KeepsFilesBeside(exeDir)) {
    std::string dir = exeDir;
    if (dir.back() != '/') dir += '/';
    return dir + "lignado.ini";
  }
  return ConfigHome() + "/lignado/lignado.ini";
}

}  // namespace lignado
