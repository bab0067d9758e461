#include "util/FileTools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <set>

#include "TestSupport.h"

namespace lignado {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

TEST(FileTools, GetFileSizeMeasuresRegularFiles) {
  TempDir dir;
  writeFile(dir.path() / "empty.html", "");
  writeFile(dir.path() / "page.html", std::string(70000, 'x'));
  EXPECT_EQ(GetFileSize((dir.path() / "empty.html").string()), 0);
  EXPECT_EQ(GetFileSize((dir.path() / "page.html").string()), 70000);
}

TEST(FileTools, GetFileSizeThrowsForWhatCannotBeRead) {
  TempDir dir;
  std::string missing = (dir.path() / "absent.html").string();
  try {
    GetFileSize(missing);
    FAIL() << "no exception";
  } catch (const EFOpenError& e) {
    EXPECT_EQ(std::string(e.what()), "Impossible d'ouvrir le fichier \"" + missing + "\"");
  }
  // A folder and a named pipe have no size to send; the pipe must not block the call.
  EXPECT_THROW(GetFileSize(dir.path().string()), EFOpenError);
  std::string fifo = (dir.path() / "pipe").string();
  ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
  EXPECT_THROW(GetFileSize(fifo), EFOpenError);
}

namespace fs = std::filesystem;

// Every name in a folder, so that a left-over temporary file shows.
std::set<std::string> namesIn(const fs::path& folder) {
  std::set<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) names.insert(entry.path().filename());
  return names;
}

TEST(FileTools, WholeFileWritesReplaceOrLeaveTheOldFile) {
  struct Case {
    const char* what;
    const char* name;  // below the folder
    int error;         // expected errno, 0: written
  } cases[] = {
      {"new file", "page.html", 0},         {"over an old file", "old.html", 0},
      {"over a symlink", "lien.html", 0},   {"missing folder", "absent/page.html", ENOENT},
      {"over a folder", "dossier", EISDIR},
  };
  for (const Case& c : cases) {
    TempDir dir;
    writeFile(dir.path() / "old.html", "ancienne page");
    writeFile(dir.path() / "cible.txt", "cible");
    fs::create_symlink(dir.path() / "cible.txt", dir.path() / "lien.html");
    fs::create_directory(dir.path() / "dossier");
    const std::set<std::string> before = namesIn(dir.path());
    const WriteOutcome out = WriteWholeFile(dir.path() / c.name, "nouvelle page");
    EXPECT_EQ(out.error, c.error) << c.what;
    EXPECT_EQ(static_cast<bool>(out), c.error == 0) << c.what;
    std::set<std::string> expected = before;
    if (c.error == 0) expected.insert(fs::path(c.name).filename());
    EXPECT_EQ(namesIn(dir.path()), expected) << c.what;  // no temporary file stays
    if (c.error == 0) {
      EXPECT_EQ(readFile(dir.path() / c.name), "nouvelle page") << c.what;
    }
    EXPECT_EQ(readFile(dir.path() / "old.html"),
              c.error == 0 && std::string(c.name) == "old.html" ? "nouvelle page" : "ancienne page")
        << c.what;
    EXPECT_EQ(readFile(dir.path() / "cible.txt"), "cible") << c.what;  // never written through
  }
}

TEST(FileTools, WholeFileCopyTellsWhichSideFailed) {
  TempDir dir;
  const std::string big(200000, 'b');  // more than one read
  writeFile(dir.path() / "source.css", big);
  fs::create_directory(dir.path() / "dossier");
  struct Case {
    const char* from;
    const char* to;
    int error;
    bool source;
  } cases[] = {
      {"source.css", "copie.css", 0, false},
      {"absent.css", "copie2.css", ENOENT, true},
      {"dossier", "copie3.css", EISDIR, true},
      {"source.css", "absent/copie.css", ENOENT, false},
  };
  for (const Case& c : cases) {
    const WriteOutcome out = CopyWholeFile(dir.path() / c.from, dir.path() / c.to);
    EXPECT_EQ(out.error, c.error) << c.from << " -> " << c.to;
    EXPECT_EQ(out.source, c.source) << c.from << " -> " << c.to;
  }
  EXPECT_EQ(readFile(dir.path() / "copie.css"), big);
  EXPECT_EQ(namesIn(dir.path()), (std::set<std::string>{"copie.css", "dossier", "source.css"}));
}

TEST(FileTools, RemoveTempFilesTakesOnlyOursAndStaysInside) {
  TempDir dir, outside;
  const std::string temp = std::string(kTempPrefix) + "123-4";
  fs::create_directories(dir.path() / "sous");
  writeFile(dir.path() / temp, "x");
  writeFile(dir.path() / "sous" / temp, "x");
  writeFile(dir.path() / "page.html", "x");
  writeFile(dir.path() / ".lignado-pages", "x");
  writeFile(outside.path() / temp, "x");
  fs::create_directory_symlink(outside.path(), dir.path() / "lien");
  EXPECT_EQ(RemoveTempFiles(dir.path()), 2);
  EXPECT_EQ(namesIn(dir.path()),
            (std::set<std::string>{".lignado-pages", "lien", "page.html", "sous"}));
  EXPECT_TRUE(namesIn(dir.path() / "sous").empty());
  EXPECT_TRUE(fs::exists(outside.path() / temp));
}

}  // namespace
}  // namespace lignado
