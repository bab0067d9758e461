#include "util/IniFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <thread>

#include "TestSupport.h"
#include "util/Owned.h"

namespace lignado {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const char kFile[] =
    "; written by hand\r\n"
    "[Recent]\r\n"
    "file0=/home/a/Dupont.ged\r\n"
    "FILE0=/second/one/loses.ged\r\n"
    "Last=\r\n"
    "[ftp]\r\n"
    "Pass= a=b \r\n"
    "isFolder=0\r\n"
    "Fini=-1\r\n"
    "Maintenant=abc\r\n"
    "Count=00\r\n"
    "Big=99999999999999999999\r\n";

TEST(IniFile, ReadsLikeThePrivateProfileFunctions) {
  TempDir dir;
  writeFile(dir.path() / "l.ini", kFile);
  IniFile ini((dir.path() / "l.ini").string());
  struct Case {
    const char *section, *key, *expected;
  } cases[] = {
      {"recent", "File0", "/home/a/Dupont.ged"},  // names ignore case; the first key wins
      {"Recent", "Last", ""},                     // present but empty: not the default
      {"Recent", "file1", "default"},
      {"FTP", "Pass", " a=b "},  // the value as typed, "=" and blanks included
      {"Modele", "Last", "default"},
  };
  for (const Case& c : cases)
    EXPECT_EQ(ini.ReadString(c.section, c.key, "default"), c.expected) << c.section << c.key;
  struct BoolCase {
    const char* key;
    bool defaultValue, expected;
  } bools[] = {{"isFolder", true, false},    {"Fini", false, true},  {"Maintenant", true, true},
               {"Maintenant", false, false}, {"Count", true, false}, {"Big", false, true},
               {"Absent", true, true}};
  for (const BoolCase& c : bools)
    EXPECT_EQ(ini.ReadBool("FTP", c.key, c.defaultValue), c.expected) << c.key;
}

TEST(IniFile, WritesKeysInPlaceAndNewOnesAtTheirSectionsEnd) {
  TempDir dir;
  writeFile(dir.path() / "l.ini", "; note\n[Export]\nfolder=/old/\n\n[FTP]\nHost=h\n");
  IniFile ini((dir.path() / "l.ini").string());
  ini.EraseSection("RECENT");  // absent: nothing happens
  ini.WriteString("Recent", "Last", "/b.ged");
  ini.WriteString("Recent", "file0", "/b.ged");
  ini.WriteString("export", "FOLDER", "/new/");
  ini.WriteBool("FTP", "Fini", false);
  ini.WriteString("Export", "Destine", "WEB");
  ini.WriteString("FTP", "User", "line\r\nbreak");
  EXPECT_EQ(ini.Text(),
            "; note\n[Export]\nFOLDER=/new/\nDestine=WEB\n\n[FTP]\nHost=h\nFini=0\nUser=line\n"
            "[Recent]\nLast=/b.ged\nfile0=/b.ged\n");
  ini.EraseSection("recent");
  ini.WriteString("Recent", "file0", "/c.ged");
  EXPECT_EQ(ini.ReadString("Recent", "Last", "gone"), "gone");
  EXPECT_EQ(ini.Text().substr(ini.Text().find("[Recent]")), "[Recent]\nfile0=/c.ged\n");
}

TEST(IniFile, SavesWholeOwnerOnlyAndLeavesTheOldFileOnFailure) {
  TempDir dir;
  std::string path = (dir.path() / "deep" / "er" / "lignado.ini").string();
  {
    IniFile ini(path);
    ini.WriteString("FTP", "Pass", "secret");
    std::string reason;
    ASSERT_TRUE(ini.Save(&reason)) << reason;
  }
  EXPECT_EQ(readFile(path), "[FTP]\nPass=secret\n");
  struct stat st {};
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // An existing file readable by others is replaced by an owner-only one.
  ::chmod(path.c_str(), 0644);
  IniFile again(path);
  again.WriteString("FTP", "Pass", "other");
  ASSERT_TRUE(again.Save());
  ASSERT_EQ(::stat(path.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0600u);
  // Nothing but the file itself is left in its folder.
  int entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path() / "deep" / "er"))
    (void)e, ++entries;
  EXPECT_EQ(entries, 1);

  // A folder in place of the file: the rename fails, the reason names the file.
  std::string blocked = (dir.path() / "blocked.ini").string();
  std::filesystem::create_directories(std::filesystem::path(blocked) / "inside");
  IniFile bad(blocked);
  bad.WriteString("FTP", "Pass", "x");
  std::string reason;
  EXPECT_FALSE(bad.Save(&reason));
  EXPECT_EQ(reason, "Impossible d'enregistrer les param\xE8tres dans \"" + blocked + "\"");
  EXPECT_TRUE(std::filesystem::is_directory(std::filesystem::path(blocked) / "inside"));
  entries = 0;
  for (auto& e : std::filesystem::directory_iterator(dir.path())) (void)e, ++entries;
  EXPECT_EQ(entries, 2);  // deep/ and blocked.ini/: no temporary file left
}

// A FIFO in place of the settings file reads as empty and is never read: opened for reading it
// would block until someone wrote to it. The test's writer answers any reader, so that code that
// reads it gets its text and fails the test instead of hanging it.
TEST(IniFile, AFifoInPlaceOfTheFileIsNeverRead) {
  TempDir dir;
  const std::string path = (dir.path() / "lignado.ini").string();
  ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0);
  std::thread writer([&path] {
    sigset_t pipe;  // a reader gone before the write must not end the test
    sigemptyset(&pipe);
    sigaddset(&pipe, SIGPIPE);
    pthread_sigmask(SIG_BLOCK, &pipe, nullptr);
    OwnedFd fd(::open(path.c_str(), O_WRONLY | O_CLOEXEC));  // waits for a reader
    const std::string text = "[FTP]\nHost=fifo\n";
    if (fd.valid()) (void)!::write(fd.get(), text.data(), text.size());
  });
  IniFile ini(path);
  OwnedFd release(::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  writer.join();
  EXPECT_EQ(ini.ReadString("FTP", "Host", "absent"), "absent");
  // Saving puts a settings file in its place.
  ini.WriteString("FTP", "Host", "h");
  ASSERT_TRUE(ini.Save());
  EXPECT_EQ(readFile(path), "[FTP]\nHost=h\n");
}

TEST(IniFile, UserFoldersFollowXdg) {
  TempDir dir;
  const char* oldConfig = std::getenv("XDG_CONFIG_HOME");
  const char* oldData = std::getenv("XDG_DATA_HOME");
  std::string savedConfig = oldConfig ? oldConfig : "", savedData = oldData ? oldData : "";
  setenv("XDG_CONFIG_HOME", (dir.str() + "conf").c_str(), 1);
  setenv("XDG_DATA_HOME", (dir.str() + "data").c_str(), 1);
  EXPECT_EQ(UserDataFolder(), dir.str() + "data/lignado/");
  setenv("XDG_DATA_HOME", "relative", 1);  // not absolute: ignored
  EXPECT_EQ(UserDataFolder(), std::string(std::getenv("HOME")) + "/.local/share/lignado/");
  EXPECT_FALSE(FolderWritable((dir.path() / "absent").string()));
  writeFile(dir.path() / "file", "");
  EXPECT_FALSE(FolderWritable((dir.path() / "file").string()));
  oldConfig ? setenv("XDG_CONFIG_HOME", savedConfig.c_str(), 1) : unsetenv("XDG_CONFIG_HOME");
  oldData ? setenv("XDG_DATA_HOME", savedData.c_str(), 1) : unsetenv("XDG_DATA_HOME");
}

}  // namespace
}  // namespace lignado
