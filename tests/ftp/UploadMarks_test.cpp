#include "ftp/UploadMarks.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace lignado {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string kDest = "ftp://h:21/www";

TEST(UploadMarks, DestinationNamesHostPortAndRoot) {
  EXPECT_EQ(UploadMarks::Destination("ftp.example.org", 21, "/www"),
            "ftp://ftp.example.org:21/www");
  EXPECT_EQ(UploadMarks::Destination("h", 0, "//lignado"), "ftp://h:21//lignado");
  EXPECT_EQ(UploadMarks::Destination("::1", 2121, "/"), "ftp://[::1]:2121/");
}

TEST(UploadMarks, RecordsAreWrittenAtOnceAndReadBack) {
  TempDir dir;
  std::string manifest = dir.str() + ".lignado-upload";
  {
    UploadMarks marks;
    marks.Open(dir.str(), kDest);
    EXPECT_TRUE(marks.IsMarked("index.html", {10, 5}));
    ASSERT_TRUE(marks.Clear("index.html", {10, 5}));
    EXPECT_EQ(readFile(manifest), "lignado-upload 1\nto ftp://h:21/www\n10 5 index.html\n");
    ASSERT_TRUE(marks.Clear("a b/100%\nfin.html", {7, -3}));
    EXPECT_EQ(readFile(manifest),
              "lignado-upload 1\nto ftp://h:21/www\n10 5 index.html\n7 -3 a b/100%25%0Afin.html\n");
    EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}));
  }
  UploadMarks again;
  again.Open(dir.str(), kDest);
  EXPECT_FALSE(again.IsMarked("index.html", {10, 5}));
  EXPECT_FALSE(again.IsMarked("a b/100%\nfin.html", {7, -3}));
  EXPECT_TRUE(again.IsMarked("index.html", {11, 5}));  // size changed
  EXPECT_TRUE(again.IsMarked("index.html", {10, 6}));  // written since
  EXPECT_TRUE(again.IsMarked("autre.html", {10, 5}));
  const FileStamp large{INT64_MAX, 1733600000123456789};  // a real clock in nanoseconds
  ASSERT_TRUE(again.Clear("large.bin", large));
  again.Open(dir.str(), kDest);
  EXPECT_FALSE(again.IsMarked("large.bin", large));

  // A new upload starts with a clean manifest that keeps what was sent before.
  ASSERT_TRUE(again.Clear("autre.html", {1, 2}));
  EXPECT_EQ(readFile(manifest).size(),
            std::string("lignado-upload 1\nto ftp://h:21/www\n10 5 index.html\n"
                        "7 -3 a b/100%25%0Afin.html\n9223372036854775807 1733600000123456789 "
                        "large.bin\n1 2 autre.html\n")
                .size());
}

TEST(UploadMarks, AnotherDestinationFindsEveryFileMarked) {
  TempDir dir;
  {
    UploadMarks marks;
    marks.Open(dir.str(), kDest);
    marks.Clear("index.html", {10, 5});
  }
  UploadMarks other;
  other.Open(dir.str(), "ftp://h:21/autre");
  EXPECT_TRUE(other.IsMarked("index.html", {10, 5}));
  other.Clear("page.html", {1, 1});
  other.Close();
  EXPECT_EQ(readFile(dir.path() / ".lignado-upload"),
            "lignado-upload 1\nto ftp://h:21/autre\n1 1 page.html\n");
}

TEST(UploadMarks, DamagedManifestsOnlyLoseMarks) {
  TempDir dir;
  auto manifest = dir.path() / ".lignado-upload";
  // A writer killed in the middle of a line leaves it unfinished: that file stays marked.
  writeFile(manifest, "lignado-upload 1\nto ftp://h:21/www\n10 5 index.html\n20 6 page.ht");
  UploadMarks marks;
  marks.Open(dir.str(), kDest);
  EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}));
  EXPECT_TRUE(marks.IsMarked("page.ht", {20, 6}));
  EXPECT_TRUE(marks.IsMarked("page.html", {20, 6}));

  writeFile(manifest,
            "lignado-upload 1\nto ftp://h:21/www\nx 5 a.html\n5 b.html\n-\n1 2 \n1 2 bad%4\n"
            "99999999999999999999 1 big.html\n9223372036854775808 1 big2.html\n3 4 ok.html\n");
  marks.Open(dir.str(), kDest);
  EXPECT_FALSE(marks.IsMarked("ok.html", {3, 4}));
  EXPECT_TRUE(marks.IsMarked("a.html", {0, 5}));
  EXPECT_TRUE(marks.IsMarked("bad%4", {1, 2}));
  EXPECT_TRUE(marks.IsMarked("big2.html", {INT64_MIN, 1}));

  writeFile(manifest, std::string("\0\xff\n10 5 index.html\n", 19));
  marks.Open(dir.str(), kDest);
  EXPECT_TRUE(marks.IsMarked("index.html", {10, 5}));
}

TEST(UploadMarks, UnwritableRootIsReported) {
  TempDir dir;
  UploadMarks marks;
  marks.Open((dir.path() / "absent").string(), kDest);
  EXPECT_FALSE(marks.Clear("index.html", {1, 1}));
  // Stamps follow the file itself.
  writeFile(dir.path() / "f.html", "12345");
  FileStamp s;
  ASSERT_TRUE(UploadMarks::StampOf((dir.path() / "f.html").string(), s));
  EXPECT_EQ(s.size, 5);
  EXPECT_GT(s.mtimeNs, 0);
  EXPECT_FALSE(UploadMarks::StampOf((dir.path() / "g.html").string(), s));
}

}  // namespace
}  // namespace lignado
