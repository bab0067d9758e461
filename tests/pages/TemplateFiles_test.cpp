#include "pages/TemplateFiles.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "TestSupport.h"

using namespace lignado;
using lignado::test::TempDir;
using lignado::test::writeFile;
namespace fs = std::filesystem;

TEST(TemplateFilesTest, NamesThatLeaveTheirFolder) {
  for (const char* inside : {"index", "sous/page", "sous\\page", "a..b", "./x", "", "ab:c"})
    EXPECT_TRUE(StaysInside(inside)) << inside;
  for (const char* outside :
       {"../x", "..", "sous/../../x", "sous\\..\\x", "/etc/passwd", "\\x", "C:x", "c:\\x", "x:y"})
    EXPECT_FALSE(StaysInside(outside)) << outside;
  EXPECT_FALSE(StaysInside(std::string("a\0b", 3)));
  EXPECT_EQ(NativeName("sous\\\xE9t\xE9.html"), fs::path("sous/\xC3\xA9t\xC3\xA9.html"));
}

TEST(TemplateFilesTest, FindsFilesAndFoldersIgnoringCase) {
  TempDir dir;
  fs::create_directories(dir.path() / "Sous" / "Bas");
  writeFile(dir.path() / "Sous" / "Bas" / "Page.kshtml", "x");
  writeFile(dir.path() / "page.kshtml", "exact");
  writeFile(dir.path() / "PAGE.kshtml", "upper");
  writeFile(dir.path() / "\xC3\x89t\xC3\xA9.kshtml", "utf8");
  writeFile(dir.path() / "Dossier", "a file, not a folder");

  EXPECT_EQ(FindNoCase(dir.path(), "page.kshtml"), dir.path() / "page.kshtml");
  EXPECT_EQ(FindNoCase(dir.path(), "PAGE.kshtml"), dir.path() / "PAGE.kshtml");
  // Without an exact name, the smallest of the names that match.
  EXPECT_EQ(FindNoCase(dir.path(), "Page.KSHTML"), dir.path() / "PAGE.kshtml");
  EXPECT_EQ(FindNoCase(dir.path(), "sous\\bas/page.kshtml"),
            dir.path() / "Sous" / "Bas" / "Page.kshtml");
  EXPECT_EQ(FindNoCase(dir.path(), "\xC9T\xC9.kshtml"), dir.path() / "\xC3\x89t\xC3\xA9.kshtml");
  EXPECT_EQ(FindNoCase(dir.path(), "sous/BAS", true), dir.path() / "Sous" / "Bas");
  EXPECT_EQ(FindNoCase(dir.path(), "sous"), std::nullopt);           // a folder, not a file
  EXPECT_EQ(FindNoCase(dir.path(), "dossier", true), std::nullopt);  // a file, not a folder
  EXPECT_EQ(FindNoCase(dir.path(), "absent.kshtml"), std::nullopt);
  EXPECT_EQ(FindNoCase(dir.path(), "Sous/../page.kshtml"), std::nullopt);
  EXPECT_EQ(FindNoCase(dir.path(), ""), std::nullopt);
  EXPECT_EQ(FindNoCase(dir.path() / "absent", "page.kshtml"), std::nullopt);
}
