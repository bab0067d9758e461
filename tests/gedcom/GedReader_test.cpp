#include "gedcom/GedReader.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "TestSupport.h"

namespace lignado {
namespace {

using test::TempDir;
using test::writeFile;

struct Read {
  std::vector<std::string> raw;
  std::vector<uint64_t> numbers;
  Charset charset = Charset::None;
};

Read readAll(const std::string& bytes, Charset def = Charset::None) {
  TempDir dir;
  std::string path = dir.str() + "f.ged";
  writeFile(path, bytes);
  GedReader r;
  std::string err;
  EXPECT_TRUE(r.open(path, def, &err)) << err;
  Read out;
  TGed g;
  while (r.next(g)) {
    out.raw.push_back(g.raw);
    out.numbers.push_back(r.lineNumber());
  }
  EXPECT_TRUE(r.pastEnd());
  EXPECT_EQ(g.level, -1);
  EXPECT_EQ(g.raw, "");
  EXPECT_FALSE(r.next(g));  // stays past the end
  out.charset = r.charset();
  return out;
}

using Lines = std::vector<std::string>;

TEST(LineSplitting, EveryLineEndAndALastLineWithoutOne) {
  EXPECT_EQ(readAll("a\r\nb\rc\nd").raw, (Lines{"a", "b", "c", "d"}));
  EXPECT_EQ(readAll("a\n\nb\n").raw, (Lines{"a", "", "b"}));
  EXPECT_EQ(readAll("a\r\r\nb").raw, (Lines{"a", "", "b"}));
  EXPECT_EQ(readAll("a\n\rb").raw, (Lines{"a", "", "b"}));  // LF then CR: two ends
  EXPECT_EQ(readAll("").raw, Lines{});
  EXPECT_EQ(readAll("\r\n").raw, Lines{""});
  EXPECT_EQ(readAll("a\r\nb\r\nc\r\n").numbers, (std::vector<uint64_t>{1, 2, 3}));
}

TEST(LineSplitting, LongLinesAreReadWhole) {
  std::string longLine = "1 NOTE " + std::string(300, 'x');
  EXPECT_EQ(readAll(longLine + "\n0 TRLR\n").raw, (Lines{longLine, "0 TRLR"}));
  EXPECT_EQ(readAll(longLine + "\r0 TRLR").raw, (Lines{longLine, "0 TRLR"}));
}

TEST(LineSplitting, LinesAcrossBlockBoundaries) {
  const size_t block = 1 << 20;
  // A CR LF split between two blocks is one line end; lines longer than a block stay whole.
  std::string first(block - 1, 'a');
  std::string second(2 * block + 17, 'b');
  Read r = readAll(first + "\r\n" + second + "\r\nc");
  ASSERT_EQ(r.raw.size(), 3u);
  EXPECT_EQ(r.raw[0], first);
  EXPECT_EQ(r.raw[1], second);
  EXPECT_EQ(r.raw[2], "c");
  // A CR alone at the end of a block.
  r = readAll(first + "\r" + "d\r\n");
  EXPECT_EQ(r.raw, (Lines{first, "d"}));
}

TEST(LineSplitting, LineEndsChangingAcrossBlocks) {
  // LF lines, then more than two blocks of CR lines, then CR LF lines.
  std::string bytes;
  Lines want;
  for (int i = 0; i < 1000; ++i) {
    bytes += "lf" + std::to_string(i) + "\n";
    want.push_back("lf" + std::to_string(i));
  }
  for (int i = 0; i < 300000; ++i) {
    bytes += "cr" + std::to_string(i) + "\r";
    want.push_back("cr" + std::to_string(i));
  }
  for (int i = 0; i < 1000; ++i) {
    bytes += "crlf" + std::to_string(i) + "\r\n";
    want.push_back("crlf" + std::to_string(i));
  }
  ASSERT_GT(bytes.size(), 2u << 20);
  EXPECT_EQ(readAll(bytes).raw, want);
}

TEST(LineSplitting, SpacesTrimmedAtBothEnds) {
  EXPECT_EQ(readAll("   1 NAME Jean   \n\t2 X\t\n").raw, (Lines{"1 NAME Jean", "\t2 X\t"}));
}

TEST(LineFields, LevelTagValue) {
  struct Case {
    std::string raw;
    int level;
    std::string tag, value;
  } cases[] = {
      {"0 @I12@ INDI", 0, "@I12@", "INDI"},
      {"0 HEAD", 0, "HEAD", ""},
      {"1 NAME Jean /Dupont/", 1, "NAME", "Jean /Dupont/"},
      {"1   NAME    Jean", 1, "NAME", "Jean"},
      {"2 date 1 jan 1900", 2, "DATE", "1 jan 1900"},  // upper-cased when a value follows
      {"1 birt", 1, "birt", ""},                       // kept as written otherwise
      {"1 NOTE a  b", 1, "NOTE", "a  b"},
      {"TRLR", -1, "", ""},
      {"", -1, "", ""},
      {"X NAME Jean", -1, "NAME", "Jean"},
      {"-3 A b", -3, "A", "b"},
      {"99999999999 A b", -1, "A", "b"},
      {"1x A", -1, "A", ""},
  };
  for (const Case& c : cases) {
    TGed g;
    g.raw = c.raw;
    g.tag = "old";
    g.value = "old";
    SplitGedLine(g);
    EXPECT_EQ(g.level, c.level) << c.raw;
    EXPECT_EQ(g.tag, c.tag) << c.raw;
    EXPECT_EQ(g.value, c.value) << c.raw;
  }
}

TEST(Decoding, ByteOrderMarksAndZeroBytes) {
  Read r = readAll(
      "\xEF\xBB\xBF"
      "0 HEAD\n1 NAME \xC3\xA9l\xC3\xA8ve\n",
      Charset::Ansel);
  EXPECT_EQ(r.raw, (Lines{"0 HEAD", "1 NAME \xE9l\xE8ve"}));
  EXPECT_EQ(r.charset, Charset::Utf8);

  auto utf16 = [](const std::string& ascii, bool big, bool bom) {
    std::string s;
    if (bom) s = big ? "\xFE\xFF" : "\xFF\xFE";
    for (char c : ascii) {
      s += big ? std::string(1, '\0') + c : std::string(1, c) + '\0';
    }
    return s;
  };
  for (bool big : {false, true}) {
    for (bool bom : {false, true}) {
      std::string bytes = utf16("0 HEAD\r\n1 CHAR UNICODE\r\n0 TRLR", big, bom);
      // é (U+00E9) and ł (U+0142) written by hand.
      bytes += big ? std::string("\0\n\0\xE9\x01\x42", 6) : std::string("\n\0\xE9\0\x42\x01", 6);
      Read u = readAll(bytes, Charset::Ansel);
      EXPECT_EQ(u.raw, (Lines{"0 HEAD", "1 CHAR UNICODE", "0 TRLR", "\xE9&#322;"})) << big << bom;
      EXPECT_EQ(u.charset, big ? Charset::Utf16BE : Charset::Utf16LE);
    }
  }
}

TEST(Decoding, CharsetAppliesToLinesReadAfterIt) {
  TempDir dir;
  std::string path = dir.str() + "f.ged";
  writeFile(path,
            "\x82\n\x82\n\xE2"
            "e\n\xC3\xA9\n");
  GedReader r;
  ASSERT_TRUE(r.open(path, Charset::IbmPc, nullptr));
  TGed g;
  r.next(g);
  EXPECT_EQ(g.raw, "\xE9");
  r.selectCharset(Charset::None);
  r.next(g);
  EXPECT_EQ(g.raw, "\x82");
  r.selectCharset(Charset::Ansel);
  r.next(g);
  EXPECT_EQ(g.raw, "\xE9");
  r.selectCharset(Charset::Utf16LE);  // "UNICODE" in an 8-bit file: read as UTF-8
  r.next(g);
  EXPECT_EQ(g.raw, "\xE9");
  EXPECT_EQ(r.charset(), Charset::Utf8);
}

TEST(Decoding, ByteOrderMarkWinsOverTheHeader) {
  TempDir dir;
  std::string path = dir.str() + "f.ged";
  writeFile(path, "\xEF\xBB\xBF\xC3\xA9\n\xC3\xA9\n");
  GedReader r;
  ASSERT_TRUE(r.open(path, Charset::Ansel, nullptr));
  TGed g;
  r.next(g);
  r.selectCharset(Charset::IbmPc);
  r.next(g);
  EXPECT_EQ(g.raw, "\xE9");
}

TEST(Opening, MissingFileAndFolderFail) {
  TempDir dir;
  GedReader r;
  std::string err;
  EXPECT_FALSE(r.open(dir.str() + "absent.ged", Charset::None, &err));
  EXPECT_EQ(err, "Impossible de lire le fichier " + dir.str() + "absent.ged : il n'existe pas.");
  EXPECT_FALSE(r.open(dir.str(), Charset::None, &err));
  EXPECT_EQ(err, "Impossible de lire le fichier " + dir.str() + " : c'est un dossier.");
}

TEST(Opening, OffsetFollowsTheLinesConsumed) {
  TempDir dir;
  std::string path = dir.str() + "f.ged";
  writeFile(path, "0 HEAD\r\n1 CHAR ANSEL\r\n0 TRLR\r\n");
  GedReader r;
  ASSERT_TRUE(r.open(path, Charset::None, nullptr));
  EXPECT_EQ(r.fileSize(), 30);
  EXPECT_EQ(r.offset(), 0);
  TGed g;
  r.next(g);
  EXPECT_EQ(r.offset(), 8);
  r.next(g);
  r.next(g);
  EXPECT_EQ(r.offset(), 30);
}

}  // namespace
}  // namespace lignado
