#include "util/StrTools.h"

#include <gtest/gtest.h>

namespace lignado {
namespace {

TEST(StrTools, ReverseString) {
  EXPECT_EQ(ReverseString(""), "");
  EXPECT_EQ(ReverseString("a"), "a");
  EXPECT_EQ(ReverseString("/site/\xE9t\xE9"), "\xE9t\xE9/etis/");
}

TEST(StrTools, LastPosGivesTheEndOfTheLastOccurrence) {
  EXPECT_EQ(LastPos("/", "/a/b/c"), 5);
  EXPECT_EQ(LastPos("/", "/"), 1);
  EXPECT_EQ(LastPos("/", "abc"), 0);
  EXPECT_EQ(LastPos("/", ""), 0);
  EXPECT_EQ(LastPos("", "abc"), 0);
  EXPECT_EQ(LastPos("ab", "xabyab"), 6);
  EXPECT_EQ(LastPos("ab", "abyabz"), 5);
  EXPECT_EQ(LastPos("aa", "aaa"), 3);
  EXPECT_EQ(LastPos("abcd", "abc"), 0);
}

TEST(StrTools, AddTrailingBackslashUsesTheLocalSeparator) {
  EXPECT_EQ(AddTrailingBackslash("/home/site"), "/home/site/");
  EXPECT_EQ(AddTrailingBackslash("/home/site/"), "/home/site/");
  EXPECT_EQ(AddTrailingBackslash(""), "/");
  EXPECT_EQ(AddTrailingBackslash("/"), "/");
}

TEST(StrTools, RemoveTrailingSlash) {
  EXPECT_EQ(RemoveTrailingSlash("/"), "/");
  EXPECT_EQ(RemoveTrailingSlash("\\"), "\\");
  EXPECT_EQ(RemoveTrailingSlash(""), "");
  EXPECT_EQ(RemoveTrailingSlash("/site/"), "/site");
  EXPECT_EQ(RemoveTrailingSlash("C:\\dir\\"), "C:\\dir");
  EXPECT_EQ(RemoveTrailingSlash("//"), "/");
  EXPECT_EQ(RemoveTrailingSlash("/site//"), "/site/");  // only one is removed
  EXPECT_EQ(RemoveTrailingSlash("/site"), "/site");
}

TEST(StrTools, ParentPath) {
  EXPECT_EQ(ParentPath("/site/images", '/'), "/site");
  EXPECT_EQ(ParentPath("/site/ab", '/'), "/site");
  EXPECT_EQ(ParentPath("/site/", '/'), "/site");
  EXPECT_EQ(ParentPath("/site", '/'), "/");
  EXPECT_EQ(ParentPath("/", '/'), "/");
  EXPECT_EQ(ParentPath("site", '/'), "");
  EXPECT_EQ(ParentPath("", '/'), "");
  EXPECT_EQ(ParentPath("//lignado", '/'), "/");
  EXPECT_EQ(ParentPath("/a/bb/cc", '/'), "/a/bb");
  EXPECT_EQ(ParentPath("C:\\dir\\sub", '\\'), "C:\\dir");
}

}  // namespace
}  // namespace lignado
