#include "util/Text.h"

#include <array>

namespace lignado {
namespace {

// The digits of text from i on, into a 32-bit value with the sign; none for anything else.
std::optional<int32_t> signedDigits(std::string_view text, std::size_t i) {
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i >= text.size()) return std::nullopt;
  int64_t value = 0;
  for (; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return std::nullopt;
    value = value * 10 + (text[i] - '0');
    if (value > int64_t{INT32_MAX} + 1) return std::nullopt;
  }
  if (negative) value = -value;
  if (value > INT32_MAX) return std::nullopt;
  return static_cast<int32_t>(value);
}

constexpr unsigned char lowerOf(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;  // S caron, OE, Z caron
  if (c == 0x9F) return 0xFF;                                // Y diaeresis
  return c;
}

constexpr unsigned char upperOf(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c;
}

template <unsigned char (*f)(unsigned char)>
constexpr std::array<unsigned char, 256> table() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = f(static_cast<unsigned char>(c));
  return t;
}

constexpr auto kLower = table<lowerOf>();
constexpr auto kUpper = table<upperOf>();

}  // namespace

std::optional<int32_t> ParseInt32(std::string_view text) {
  return signedDigits(text, 0);
}

int32_t Int32AfterBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return signedDigits(text, i).value_or(0);
}

int32_t Int32AfterSpaces(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  return signedDigits(text, i).value_or(0);
}

int DigitsValue(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits || text.size() > 9) return -1;
  int value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return -1;
    value = value * 10 + (c - '0');
  }
  return value;
}

std::string_view TrimLeftBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text.substr(i);
}

std::string_view TrimRightBlanks(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  return text.substr(0, n);
}

std::string_view TrimBlanks(std::string_view text) {
  return TrimRightBlanks(TrimLeftBlanks(text));
}

std::string_view TrimSpaces(std::string_view text) {
  std::size_t b = text.find_first_not_of(' ');
  if (b == std::string_view::npos) return {};
  return text.substr(b, text.find_last_not_of(' ') + 1 - b);
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiUpper(c);
  return out;
}

bool HasUpperAscii(std::string_view text) {
  for (char c : text)
    if (c >= 'A' && c <= 'Z') return true;
  return false;
}

unsigned char LowerCp1252(unsigned char c) {
  return kLower[c];
}

unsigned char UpperCp1252(unsigned char c) {
  return kUpper[c];
}

std::string FoldCase(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(kLower[static_cast<unsigned char>(c)]);
  return out;
}

}  // namespace lignado
