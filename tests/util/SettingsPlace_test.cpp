#include "util/SettingsPlace.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <optional>

#include "TestSupport.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Sets an environment variable for the life of the object, then puts the old value back.
class ScopedEnv {
 public:
  ScopedEnv(const char* name, const char* value) : name_(name) {
    const char* old = std::getenv(name);
    had_ = old != nullptr;
    if (had_) old_ = old;
    value ? setenv(name, value, 1) : unsetenv(name);
  }
  ~ScopedEnv() { had_ ? setenv(name_, old_.c_str(), 1) : unsetenv(name_); }

 private:
  const char* name_;
  bool had_ = false;
  std::string old_;
};

TEST(SettingsPlace, InstalledProgramFolders) {
  TempDir dir;
  fs::create_directories(dir.path() / "prefix/bin");
  fs::create_directories(dir.path() / "prefix/share/lignado");
  fs::create_directories(dir.path() / "build/bin");
  fs::create_directory_symlink(dir.path() / "prefix/bin", dir.path() / "link");
  const struct {
    std::string folder;
    bool installed;
  } cases[] = {
      {"/usr/bin", true},
      {"/usr/bin/", true},
      {"/usr/local/bin/", true},
      {"/bin/", true},
      {"/opt/lignado/", true},
      {"/snap/lignado/12/usr/bin", true},
      {"/usrlocal/bin", false},           // a name that only starts like a system folder
      {dir.str() + "usr/bin", false},     // "usr" below another folder
      {dir.str() + "prefix/bin/", true},  // cmake --install into any prefix
      {dir.str() + "prefix/bin", true},
      {dir.str() + "link/", true},        // a link to an installed tree
      {dir.str() + "build/bin/", false},  // a "bin" without the shared files
      {dir.str(), false},
      {"", false},
      {"/", false},
  };
  for (const auto& c : cases) EXPECT_EQ(InstalledProgramFolder(c.folder), c.installed) << c.folder;
}

TEST(SettingsPlace, SettingsBesideABuildOrPortableCopyOtherwiseInTheConfigFolder) {
  TempDir dir;
  fs::create_directories(dir.path() / "build");
  fs::create_directories(dir.path() / "prefix/bin");
  fs::create_directories(dir.path() / "prefix/share/lignado");
  fs::create_directories(dir.path() / "home");
  ScopedEnv home("HOME", (dir.str() + "home").c_str());
  const std::string xdg = dir.str() + "conf";
  const std::string conf = xdg + "/lignado/lignado.ini";
  const std::string homeConf = dir.str() + "home/.config/lignado/lignado.ini";
  const struct {
    std::string exeDir;
    std::optional<std::string> xdgConfig;  // none: unset
    std::string settings;
  } cases[] = {
      {dir.str() + "build/", xdg, dir.str() + "build/lignado.ini"},
      {dir.str() + "build", std::nullopt, dir.str() + "build/lignado.ini"},
      // Installed: the configuration folder even when the program's folder is writable.
      {dir.str() + "prefix/bin/", xdg, conf},
      {"/usr/bin/", xdg, conf},
      {"/usr/local/bin", xdg, conf},
      {"/usr/bin/", std::nullopt, homeConf},
      {"/usr/bin/", "relative/conf", homeConf},  // not absolute: ignored
      {"/usr/bin/", "", homeConf},
      {dir.str() + "absent/", xdg, conf},
      {"", xdg, conf},
  };
  for (const auto& c : cases) {
    ScopedEnv env("XDG_CONFIG_HOME", c.xdgConfig ? c.xdgConfig->c_str() : nullptr);
    EXPECT_EQ(SettingsFilePath(c.exeDir), c.settings) << c.exeDir;
  }
}

TEST(SettingsPlace, AFolderTheProgramCannotWriteKeepsNothingBeside) {
  if (::geteuid() == 0) GTEST_SKIP() << "root writes everywhere";
  TempDir dir;
  fs::create_directories(dir.path() / "ro");
  ::chmod((dir.path() / "ro").c_str(), 0555);
  const std::string xdg = dir.str() + "conf";
  ScopedEnv env("XDG_CONFIG_HOME", xdg.c_str());
  EXPECT_FALSE(KeepsFilesBeside(dir.str() + "ro/"));
  EXPECT_EQ(SettingsFilePath(dir.str() + "ro/"), dir.str() + "conf/lignado/lignado.ini");
  ::chmod((dir.path() / "ro").c_str(), 0755);
}

}  // namespace
}  // namespace lignado
