#include "ftp/UploadMarks.h"

#include <gtest/gtest.h>

#include "TestSupport.h"

namespace lignado {
namespace {

using test::readFile;
using test::TempDir;
using test::writeFile;

const std::string kDest = "ftp://h:21/www";
const std::string kH1(64, '1'), kH2(64, '2'), kH3(64, '3');

TEST(UploadMarks, DestinationNamesHostPortAndRoot) {
  EXPECT_EQ(UploadMarks::Destination("ftp.example.org", 21, "/www"),
            "ftp://ftp.example.org:21/www");
  EXPECT_EQ(UploadMarks::Destination("h", 0, "//lignado"), "ftp://h:21//lignado");
  EXPECT_EQ(UploadMarks::Destination("::1", 2121, "/"), "ftp://[::1]:2121/");
}

TEST(UploadMarks, ContentHashIsSha256OfTheBytes) {
  TempDir dir;
  const std::pair<std::string, std::string> cases[] = {
      {"", "E3B0C44298FC1C149AFBF4C8996FB92427AE41E4649B934CA495991B7852B855"},
      {"abc", "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD"},
  };
  for (const auto& [bytes, sha] : cases) {
    writeFile(dir.path() / "f", bytes);
    std::string hash;
    ASSERT_TRUE(UploadMarks::ContentHash((dir.path() / "f").string(), hash));
    EXPECT_EQ(hash, sha);
  }
  // Past the read buffer, one changed byte at the end still changes the hash.
  std::string a, b;
  writeFile(dir.path() / "f", std::string(300000, 'a'));
  ASSERT_TRUE(UploadMarks::ContentHash((dir.path() / "f").string(), a));
  writeFile(dir.path() / "f", std::string(299999, 'a') + "b");
  ASSERT_TRUE(UploadMarks::ContentHash((dir.path() / "f").string(), b));
  EXPECT_NE(a, b);
  EXPECT_FALSE(UploadMarks::ContentHash((dir.path() / "absent").string(), a));
  EXPECT_FALSE(UploadMarks::ContentHash(dir.path().string(), a));
}

TEST(UploadMarks, RecordsAreWrittenAtOnceAndContentDecides) {
  TempDir dir;
  std::string manifest = dir.str() + ".lignado-upload";
  {
    UploadMarks marks;
    marks.Open(dir.str(), kDest);
    EXPECT_TRUE(marks.IsMarked("index.html", {10, 5}, kH1));
    ASSERT_TRUE(marks.Clear("index.html", {10, 5}, kH1));
    EXPECT_EQ(readFile(manifest),
              "lignado-upload 2\nto ftp://h:21/www\nf 10 " + kH1 + " index.html\n");
    ASSERT_TRUE(marks.Clear("a b/100%\nfin.html", {7, -3}, kH2));
    ASSERT_TRUE(marks.AddFolder("a b"));
    EXPECT_EQ(readFile(manifest), "lignado-upload 2\nto ftp://h:21/www\nf 10 " + kH1 +
                                      " index.html\nf 7 " + kH2 +
                                      " a b/100%25%0Afin.html\nd a b\n");
  }
  UploadMarks again;
  again.Open(dir.str(), kDest);
  EXPECT_FALSE(again.IsMarked("index.html", {10, 5}, kH1));
  EXPECT_FALSE(again.IsMarked("index.html", {10, 99}, kH1));  // its time alone says nothing
  EXPECT_TRUE(again.IsMarked("index.html", {10, 5}, kH3));    // same size, other content
  EXPECT_TRUE(again.IsMarked("index.html", {11, 5}, kH1));
  EXPECT_FALSE(again.IsMarked("a b/100%\nfin.html", {7, 0}, kH2));
  EXPECT_TRUE(again.IsMarked("autre.html", {10, 5}, kH1));
  EXPECT_EQ(again.SentFiles(), (std::vector<std::string>{"a b/100%\nfin.html", "index.html"}));
  EXPECT_EQ(again.Folders(), (std::vector<std::string>{"a b"}));

  // Removals are records too, read back in order.
  ASSERT_TRUE(again.Forget("index.html"));
  ASSERT_TRUE(again.ForgetFolder("a b"));
  again.Open(dir.str(), kDest);
  EXPECT_EQ(again.SentFiles(), (std::vector<std::string>{"a b/100%\nfin.html"}));
  EXPECT_TRUE(again.Folders().empty());
  EXPECT_TRUE(again.IsMarked("index.html", {10, 5}, kH1));
}

TEST(UploadMarks, DestinationsKeepTheirMarksSideBySide) {
  TempDir dir;
  UploadMarks marks;
  marks.Open(dir.str(), kDest);
  marks.Clear("index.html", {10, 5}, kH1);
  marks.Open(dir.str(), "ftp://h:21/autre");
  EXPECT_TRUE(marks.IsMarked("index.html", {10, 5}, kH1));
  marks.Clear("page.html", {1, 1}, kH2);
  marks.Clear("index.html", {10, 5}, kH3);
  // Back and forth: each destination still has what it was sent.
  for (int i = 0; i < 2; ++i) {
    marks.Open(dir.str(), kDest);
    EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}, kH1));
    EXPECT_TRUE(marks.IsMarked("page.html", {1, 1}, kH2));
    marks.Open(dir.str(), "ftp://h:21/autre");
    EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}, kH3));
    EXPECT_FALSE(marks.IsMarked("page.html", {1, 1}, kH2));
  }
}

TEST(UploadMarks, FirstVersionManifestKeepsItsMarksByTime) {
  TempDir dir;
  auto manifest = dir.path() / ".lignado-upload";
  writeFile(manifest, "lignado-upload 1\nto ftp://h:21/www\n10 5 index.html\n20 6 page.html\n");
  UploadMarks marks;
  marks.Open(dir.str(), kDest);
  EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}, kH1));  // no content known: size and time
  EXPECT_TRUE(marks.IsMarked("index.html", {10, 6}, kH1));
  EXPECT_EQ(marks.SentFiles(), (std::vector<std::string>{"index.html", "page.html"}));
  // The next record writes the second version; what it cannot know yet stays as it was.
  ASSERT_TRUE(marks.Clear("index.html", {10, 7}, kH1));
  marks.Open(dir.str(), kDest);
  EXPECT_FALSE(marks.IsMarked("index.html", {10, 1}, kH1));
  EXPECT_FALSE(marks.IsMarked("page.html", {20, 6}, kH2));
  EXPECT_TRUE(marks.IsMarked("page.html", {20, 7}, kH2));
  // The first version's destination is one like the others.
  marks.Open(dir.str(), "ftp://h:21/autre");
  EXPECT_TRUE(marks.IsMarked("page.html", {20, 6}, kH2));
}

TEST(UploadMarks, DamagedManifestsOnlyLoseMarks) {
  TempDir dir;
  auto manifest = dir.path() / ".lignado-upload";
  // A writer killed in the middle of a line leaves it unfinished: that file stays marked.
  writeFile(manifest, "lignado-upload 2\nto ftp://h:21/www\nf 10 " + kH1 + " index.html\nf 20 " +
                          kH2 + " page.ht");
  UploadMarks marks;
  marks.Open(dir.str(), kDest);
  EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}, kH1));
  EXPECT_TRUE(marks.IsMarked("page.ht", {20, 6}, kH2));
  EXPECT_TRUE(marks.IsMarked("page.html", {20, 6}, kH2));

  writeFile(manifest, "lignado-upload 2\nf 1 " + kH1 + " before-any-destination.html\n" +
                          "to ftp://h:21/www\nf x " + kH1 + " a.html\nf 5 " + kH1.substr(1) +
                          " b.html\nf 1 " + kH1 + " \nf 1 " + kH1 + " bad%4\nq 1 " + kH1 +
                          " odd.html\n-f\nt 99999999999999999999 1 big.html\nf 3 " +
                          std::string(64, 'g') + " g.html\nf 3 " + kH3 + " ok.html\n");
  marks.Open(dir.str(), kDest);
  EXPECT_EQ(marks.SentFiles(), (std::vector<std::string>{"ok.html"}));

  for (const std::string& bad : {std::string("\0\xff\n", 3), std::string("lignado-upload 3\n")}) {
    writeFile(manifest, bad + "to ftp://h:21/www\nf 3 " + kH3 + " ok.html\n");
    marks.Open(dir.str(), kDest);
    EXPECT_TRUE(marks.SentFiles().empty());
  }
}

TEST(UploadMarks, UnwritableRootIsReported) {
  TempDir dir;
  UploadMarks marks;
  marks.Open((dir.path() / "absent").string(), kDest);
  EXPECT_FALSE(marks.Clear("index.html", {1, 1}, kH1));
  // Stamps follow the file itself.
  writeFile(dir.path() / "f.html", "12345");
  FileStamp s;
  ASSERT_TRUE(UploadMarks::StampOf((dir.path() / "f.html").string(), s));
  EXPECT_EQ(s.size, 5);
  EXPECT_GT(s.mtimeNs, 0);
  EXPECT_FALSE(UploadMarks::StampOf((dir.path() / "g.html").string(), s));
}

// TLS is remembered per server (host and port), whatever the remote root, and survives the
// rewrites that later records make.
TEST(UploadMarks, TlsIsRememberedPerServer) {
  TempDir dir;
  const std::string fp1 = "AB:CD", fp2 = "EF:01";
  {
    UploadMarks marks;
    marks.Open(dir.str(), UploadMarks::Destination("h", 21, "/www"));
    ASSERT_TRUE(marks.RememberTls(fp1));
    ASSERT_TRUE(marks.Clear("index.html", {10, 5}, kH1));
  }
  {
    UploadMarks marks;  // another server writes its own section: the first one's line stays
    marks.Open(dir.str(), UploadMarks::Destination("::1", 2121, "/"));
    ASSERT_TRUE(marks.Clear("a.html", {1, 1}, kH2));
    ASSERT_TRUE(marks.RememberTls(fp2));
  }
  const struct {
    const char* host;
    int32_t port;
    std::string expected;
  } cases[] = {
      {"h", 21, fp1}, {"h", 0, fp1}, {"h", 2121, ""}, {"::1", 2121, fp2}, {"h2", 21, ""},
  };
  for (const auto& c : cases)
    EXPECT_EQ(UploadMarks::RememberedTls(dir.str(), c.host, c.port), c.expected)
        << c.host << ":" << c.port;
  // A new certificate seen from another root replaces the old one for every root.
  {
    UploadMarks marks;
    marks.Open(dir.str(), UploadMarks::Destination("h", 21, "/autre"));
    ASSERT_TRUE(marks.RememberTls(fp2));
  }
  EXPECT_EQ(UploadMarks::RememberedTls(dir.str(), "h", 21), fp2);
  UploadMarks marks;
  marks.Open(dir.str(), UploadMarks::Destination("h", 21, "/www"));
  EXPECT_FALSE(marks.IsMarked("index.html", {10, 5}, kH1));
}

TEST(UploadMarks, NamesThatLeaveTheRootAreRefused) {
  const std::pair<std::string, bool> cases[] = {
      {"index.html", true}, {"a/b/c.html", true}, {".lignado-part-x", true},
      {"a..b/c..", true},   {"", false},          {"..", false},
      {"../x", false},      {"a/../../x", false}, {"/etc/passwd", false},
      {"a\\..\\x", false},  {"a//b", false},      {"a/", false},
      {"./x", false},       {"a/./b", false},     {std::string("a\0b", 3), false},
  };
  for (const auto& [name, safe] : cases) EXPECT_EQ(UploadMarks::SafeName(name), safe) << name;
}

TEST(UploadMarks, TemporaryNamesAreKeptUntilForgotten) {
  TempDir dir;
  {
    UploadMarks m;
    m.Open(dir.str(), kDest);
    ASSERT_TRUE(m.AddPartial("a/.lignado-part-x.html"));
    ASSERT_TRUE(m.AddPartial(".lignado-part-y.html"));
    ASSERT_TRUE(m.ForgetPartial(".lignado-part-y.html"));
  }
  UploadMarks again;
  again.Open(dir.str(), "ftp://autre:21/www");
  EXPECT_EQ(again.Partials(), std::vector<std::string>{});  // another destination's
  again.Clear("z.html", {1, 0}, kH1);                       // rewrites with both sections
  again.Open(dir.str(), kDest);
  EXPECT_EQ(again.Partials(), std::vector<std::string>{"a/.lignado-part-x.html"});
}

}  // namespace
}  // namespace lignado
