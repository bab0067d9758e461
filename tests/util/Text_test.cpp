#include "util/Text.h"

#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

namespace lignado {
namespace {

// One row per text, one column per rule: the rules differ only in what they let stand before
// the number.
TEST(Text, WholeNumberRules) {
  const std::optional<int32_t> none;
  struct Case {
    std::string text;
    std::optional<int32_t> strict;
    int32_t afterBlanks, afterSpaces;
  };
  const std::vector<Case> cases = {
      {"12", 12, 12, 12},
      {"  12", none, 12, 12},
      {"\t12", none, 12, 0},
      {"\r\n-4", none, -4, 0},
      {"12 ", none, 0, 0},
      {"x", none, 0, 0},
      {"", none, 0, 0},
      {" ", none, 0, 0},
      {"-3", -3, -3, -3},
      {"+7", 7, 7, 7},
      {" +7", none, 7, 7},
      {"-", none, 0, 0},
      {"+", none, 0, 0},
      {"+-5", none, 0, 0},
      {"--5", none, 0, 0},
      {"- 5", none, 0, 0},
      {"1x", none, 0, 0},
      {"007", 7, 7, 7},
      {"-0", 0, 0, 0},
      {"2147483647", 2147483647, 2147483647, 2147483647},
      {"2147483648", none, 0, 0},
      {"-2147483648", INT32_MIN, INT32_MIN, INT32_MIN},
      {"-2147483649", none, 0, 0},
      {"99999999999999999999", none, 0, 0},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(ParseInt32(c.text), c.strict) << '"' << c.text << '"';
    EXPECT_EQ(Int32AfterBlanks(c.text), c.afterBlanks) << '"' << c.text << '"';
    EXPECT_EQ(Int32AfterSpaces(c.text), c.afterSpaces) << '"' << c.text << '"';
  }
}

TEST(Text, DigitsOnly) {
  struct Case {
    std::string text;
    std::size_t maxDigits;
    int value;
  };
  const std::vector<Case> cases = {
      {"1900", 4, 1900},
      {"0", 2, 0},
      {"12345", 4, -1},
      {"", 4, -1},
      {"+1", 4, -1},
      {"-1", 4, -1},
      {"1 2", 4, -1},
      {"12a", 4, -1},
      {"031", 3, 31},
      {" 1", 2, -1},
      {"999999999", 9, 999999999},
      {"1234567890", 9, -1},
  };
  for (const Case& c : cases)
    EXPECT_EQ(DigitsValue(c.text, c.maxDigits), c.value) << c.text << " / " << c.maxDigits;
}

TEST(Text, Trimming) {
  struct Case {
    std::string text, blanks, left, right, spaces;
  };
  const std::vector<Case> cases = {
      {" \ta b\r\n ", "a b", "a b\r\n ", " \ta b", "\ta b\r\n"},
      {"  x  ", "x", "x  ", "  x", "x"},
      {"\x01x\x7F", "x\x7F", "x\x7F", "\x01x\x7F", "\x01x\x7F"},
      {"\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0", "\xA0x\xA0"},  // no-break space stays
      {" \t ", "", "", "", "\t"},
      {"", "", "", "", ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(TrimBlanks(c.text), c.blanks) << c.text;
    EXPECT_EQ(TrimLeftBlanks(c.text), c.left) << c.text;
    EXPECT_EQ(TrimRightBlanks(c.text), c.right) << c.text;
    EXPECT_EQ(TrimSpaces(c.text), c.spaces) << c.text;
  }
}

TEST(Text, LetterCase) {
  struct Case {
    std::string text, folded, lowerAscii, upperAscii;
  };
  const std::vector<Case> cases = {
      {"Personne|ID=12", "personne|id=12", "personne|id=12", "PERSONNE|ID=12"},
      {"\xC9T\xC9 \xC0 \xD6\xDE", "\xE9t\xE9 \xE0 \xF6\xFE", "\xC9t\xC9 \xC0 \xD6\xDE",
       "\xC9T\xC9 \xC0 \xD6\xDE"},
      {"\x8A\x8C\x8E\x9F", "\x9A\x9C\x9E\xFF", "\x8A\x8C\x8E\x9F", "\x8A\x8C\x8E\x9F"},
      // Multiplication sign, sharp s, division sign: no case pair.
      {"\xD7\xDF\xF7", "\xD7\xDF\xF7", "\xD7\xDF\xF7", "\xD7\xDF\xF7"},
      {"[Z`a{", "[z`a{", "[z`a{", "[Z`A{"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(FoldCase(c.text), c.folded) << c.text;
    EXPECT_EQ(LowerAscii(c.text), c.lowerAscii) << c.text;
    EXPECT_EQ(UpperAscii(c.text), c.upperAscii) << c.text;
    EXPECT_EQ(HasUpperAscii(c.text), c.text != c.lowerAscii) << c.text;
  }
  // Capitals and small letters are pairs, each way undoing the other: A to Z, the 30 accented
  // capitals, S caron, OE, Z caron and Y diaeresis.
  int pairs = 0;
  for (int b = 0; b < 256; ++b) {
    auto c = static_cast<unsigned char>(b);
    if (LowerCp1252(c) == c) continue;
    ++pairs;
    EXPECT_EQ(UpperCp1252(LowerCp1252(c)), c) << b;
  }
  EXPECT_EQ(pairs, 26 + 30 + 4);
}

}  // namespace
}  // namespace lignado
