#include "gedcom/uStringFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace lignado {
namespace {

std::string bytes(std::initializer_list<int> v) {
  std::string s;
  for (int b : v) s += static_cast<char>(b);
  return s;
}

TEST(IbmPc, EveryPairOfTheTable) {
  const int from[] = {0xa0, 0xb5, 0x82, 0x90, 0xa1, 0xd6, 0xa2, 0xe0, 0xa3, 0xe9, 0xec, 0xed,
                      0x85, 0xb7, 0x8a, 0xd4, 0x8d, 0xde, 0x95, 0xe3, 0x97, 0xeb, 0x83, 0xb6,
                      0x88, 0xd2, 0x8c, 0xd7, 0x93, 0xe2, 0x96, 0xea, 0x84, 0x8e, 0x89, 0xd3,
                      0x8b, 0xd8, 0x94, 0x99, 0x81, 0x9a, 0x98, 0x87, 0x80};
  // The same letters written as Windows-1252 text: á Á é É í Í ó Ó ú Ú ý Ý à À è È ...
  const std::string to =
      "\xe1\xc1\xe9\xc9\xed\xcd\xf3\xd3\xfa\xda\xfd\xdd\xe0\xc0\xe8\xc8\xec\xcc\xf2\xd2\xf9\xd9"
      "\xe2\xc2\xea\xca\xee\xce\xf4\xd4\xfb\xdb\xe4\xc4\xeb\xcb\xef\xcf\xf6\xd6\xfc\xdc\xff\xe7"
      "\xc7";
  ASSERT_EQ(std::size(from), to.size());
  for (size_t i = 0; i < to.size(); ++i) {
    std::string s = bytes({'x', from[i], 'y'});
    IbmPcToAnsi(s);
    EXPECT_EQ(s, std::string("x") + to[i] + "y") << std::hex << from[i];
  }
}

TEST(IbmPc, OtherBytesKeptAndEachByteConvertedOnce) {
  std::string all;
  for (int b = 0; b < 256; ++b) all += static_cast<char>(b);
  std::string s = all;
  IbmPcToAnsi(s);
  // 0x82 gives 0xe9, and 0xe9 (itself in the table) gives 0xda: a chain would turn 0x82 into 0xda.
  EXPECT_EQ(static_cast<unsigned char>(s[0x82]), 0xe9);
  EXPECT_EQ(static_cast<unsigned char>(s[0xe9]), 0xda);
  int changed = 0;
  for (int b = 0; b < 256; ++b) changed += s[b] != all[b];
  EXPECT_EQ(changed, 45);
  EXPECT_EQ(s.substr(0, 0x80), all.substr(0, 0x80));
}

TEST(Ansel, EveryPairOfTheTable) {
  struct Row {
    int diacritic;
    std::string letters, result;
  } rows[] = {
      {0xe2, "aAeEiIoOuUyY", "\xe1\xc1\xe9\xc9\xed\xcd\xf3\xd3\xfa\xda\xfd\xdd"},
      {0xe1, "aAeEiIoOuU", "\xe0\xc0\xe8\xc8\xec\xcc\xf2\xd2\xf9\xd9"},
      {0xe3, "aAeEiIoOuU", "\xe2\xc2\xea\xca\xee\xce\xf4\xd4\xfb\xdb"},
      {0xe8, "aAeEiIoOuUyY", "\xe4\xc4\xeb\xcb\xef\xcf\xf6\xd6\xfc\xdc\xff\x9f"},
      {0xf0, "cC", "\xe7\xc7"},
  };
  int pairs = 0;
  for (const Row& r : rows) {
    for (size_t i = 0; i < r.letters.size(); ++i, ++pairs) {
      std::string s = "<" + bytes({r.diacritic}) + r.letters[i] + ">";
      AnselToAnsi(s);
      EXPECT_EQ(s, std::string("<") + r.result[i] + ">") << std::hex << r.diacritic << r.letters[i];
    }
  }
  EXPECT_EQ(pairs, 46);
}

TEST(Ansel, PairsOutsideTheTableStay) {
  std::string s = "\xe2x";  // acute before x
  AnselToAnsi(s);
  EXPECT_EQ(s, "\xe2x");
  s = "\xf0"
      "e";  // cedilla before e
  AnselToAnsi(s);
  EXPECT_EQ(s,
            "\xf0"
            "e");
  s = "abc\xe2";  // diacritic at the end of the line
  AnselToAnsi(s);
  EXPECT_EQ(s, "abc\xe2");
  s = "\xe2\xe2"
      "e";  // the second diacritic pairs with the letter
  AnselToAnsi(s);
  EXPECT_EQ(s, "\xe2\xe9");
  s = "\xe2"
      "eRen\xe2"
      "e";
  AnselToAnsi(s);
  EXPECT_EQ(s, "\xe9Ren\xe9");
}

TEST(Utf8, DecodesIntoWindows1252AndReferences) {
  std::string s = "\xc3\xa9l\xc3\xa8ve \xe2\x82\xac Micha\xc5\x82 \xf0\x9f\x98\x80";
  Utf8ToAnsi(s);
  EXPECT_EQ(s, "\xe9l\xe8ve \x80 Micha&#322; &#128512;");
  s = "caf\xe9";  // not UTF-8: the byte stays
  Utf8ToAnsi(s);
  EXPECT_EQ(s, "caf\xe9");
}

TEST(Utf16, LittleAndBigEndianInPiecesOfAnySize) {
  // "Zoë Ō😀" in UTF-16 LE, fed one byte at a time.
  std::string le = bytes({'Z', 0, 'o', 0, 0xeb, 0, ' ', 0, 0x4c, 0x01, 0x3d, 0xd8, 0x00, 0xde});
  Utf16Decoder d(false);
  std::string out;
  for (char c : le) d.feed(&c, 1, out);
  d.finish(out);
  EXPECT_EQ(out, "Zo\xeb &#332;&#128512;");

  std::string be = bytes({0, 'A', 0x20, 0xac, 0, 'b'});
  Utf16Decoder d2(true);
  out.clear();
  d2.feed(be.data(), be.size(), out);
  d2.finish(out);
  EXPECT_EQ(out,
            "A\x80"
            "b");
}

TEST(Utf16, BrokenInputGivesReplacementCharacters) {
  Utf16Decoder d(false);
  std::string out;
  std::string s =
      bytes({0x00, 0xdc, 'a', 0, 0x3d, 0xd8, 'b', 0, 'c'});  // lone low, lone high, odd byte
  d.feed(s.data(), s.size(), out);
  d.finish(out);
  EXPECT_EQ(out, "&#65533;a&#65533;b&#65533;");
}

TEST(CharsetNames, HeaderValues) {
  Charset c = Charset::None;
  struct Case {
    const char* name;
    Charset cs;
  } known[] = {{"ANSEL", Charset::Ansel},    {"ansel", Charset::Ansel}, {"IBMPC", Charset::IbmPc},
               {" IBM PC ", Charset::IbmPc}, {"ANSI", Charset::None},   {"ASCII", Charset::None},
               {"WINDOWS", Charset::None},   {"UTF-8", Charset::Utf8},  {"utf8", Charset::Utf8},
               {"UNICODE", Charset::Utf16LE}};
  for (const Case& k : known) {
    ASSERT_TRUE(CharsetFromName(k.name, &c)) << k.name;
    EXPECT_EQ(c, k.cs) << k.name;
  }
  EXPECT_FALSE(CharsetFromName("MACINTOSH", &c));
  EXPECT_FALSE(CharsetFromName("", &c));
  EXPECT_EQ(CharsetFromMode(0), Charset::IbmPc);
  EXPECT_EQ(CharsetFromMode(2), Charset::Ansel);
  EXPECT_EQ(CharsetFromMode(1), Charset::None);
  EXPECT_EQ(CharsetFromMode(7), Charset::None);
}

TEST(NameCase, SurnameUpperCase) {
  EXPECT_EQ(UpperCaseAnsi("Lef\xe8vre-d'\xc9tienne"), "LEF\xc8VRE-D'\xc9TIENNE");
  EXPECT_EQ(UpperCaseAnsi("\xe7\xe0\xfe\xf7\xdf\xff\x9c"), "\xc7\xc0\xde\xf7\xdf\x9f\x8c");
  EXPECT_EQ(UpperCaseAnsi("wa&#322;&#281;sa"), "WA&#321;&#280;SA");
  EXPECT_EQ(UpperCaseAnsi("a&#322b&#;"), "A&#322B&#;");  // not references
  // References below 256 are text the file wrote, not letters the import encoded: kept as written.
  EXPECT_EQ(UpperCaseAnsi("a&#60;b&#233;c&#0;"), "A&#60;B&#233;C&#0;");
}

TEST(NameCase, GivenNamesCapitalised) {
  EXPECT_EQ(CapitaliseAnsi("jean-PIERRE marie"), "Jean-Pierre Marie");
  EXPECT_EQ(CapitaliseAnsi("\xe9LODIE,anne;paule"), "\xc9lodie,Anne;Paule");
  EXPECT_EQ(CapitaliseAnsi("marie \"MIMI\" louise"), "Marie \"Mimi\" Louise");
  EXPECT_EQ(CapitaliseAnsi("\xc0NGELE"), "\xc0ngele");
  // Sharp s and the multiplication sign have no other case; y diaeresis rises to 0x9F.
  EXPECT_EQ(CapitaliseAnsi("\xffVES STRA\xdf"
                           "E \xd7"),
            "\x9fves Stra\xdf"
            "e \xd7");
  EXPECT_EQ(CapitaliseAnsi("&#322;UCJA micha&#321;"), "&#321;ucja Micha&#322;");
  EXPECT_EQ(CapitaliseAnsi("ANNE&#60;b&#62;"), "Anne&#60;B&#62;");
  EXPECT_EQ(CapitaliseAnsi(""), "");
}

}  // namespace
}  // namespace lignado
