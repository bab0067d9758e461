#include "util/FileTools.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include "TestSupport.h"

namespace lignado {
namespace {

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

}  // namespace
}  // namespace lignado
