#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lignado {

// Text routines that many units share. Texts are Windows-1252 bytes.

// Blanks and trimming. The import reads every line through these: they are inline.

/// The space and every control byte below it (tab, CR, LF ...).
inline bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}
// The views are made from pointers: no bounds check on the hot path of the import.
inline std::string_view TrimLeftBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return {text.data() + i, text.size() - i};
}
inline std::string_view TrimRightBlanks(std::string_view text) {
  std::size_t n = text.size();
  while (n > 0 && IsBlank(text[n - 1])) --n;
  return {text.data(), n};
}
inline std::string_view TrimBlanks(std::string_view text) {
  return TrimRightBlanks(TrimLeftBlanks(text));
}
/// Spaces only: a tab or a CR stays.
inline std::string_view TrimSpaces(std::string_view text) {
  std::size_t b = 0, e = text.size();
  while (b < e && text[b] == ' ') ++b;
  while (e > b && text[e - 1] == ' ') --e;
  return {text.data() + b, e - b};
}

// Whole numbers. Each reader is one rule that its callers rely on exactly; the rules differ in
// what may stand before the number and in what a text that is not one gives.

namespace text_detail {
// "[+|-]digits" from position i to the end, fitting 32 bits.
inline std::optional<int32_t> SignedDigits(std::string_view text, std::size_t i) {
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
}  // namespace text_detail

/// "[+|-]digits" whose value fits 32 bits, with nothing before or after; none otherwise.
inline std::optional<int32_t> ParseInt32(std::string_view text) {
  return text_detail::SignedDigits(text, 0);
}
/// ParseInt32 after any leading blanks (see IsBlank); 0 when the rest is not a number. Date
/// texts, list texts and the template language read their numbers so.
inline int32_t Int32AfterBlanks(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && IsBlank(text[i])) ++i;
  return text_detail::SignedDigits(text, i).value_or(0);
}
/// ParseInt32 after leading spaces (no other blank); 0 otherwise. The database's number fields.
inline int32_t Int32AfterSpaces(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ') ++i;
  return text_detail::SignedDigits(text, i).value_or(0);
}
/// The value of 1 to maxDigits decimal digits and nothing else; -1 otherwise. maxDigits is at
/// most 9, so that the value fits.
inline int DigitsValue(std::string_view text, std::size_t maxDigits) {
  if (text.empty() || text.size() > maxDigits) return -1;
  int value = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] < '0' || text[i] > '9') return -1;
    value = value * 10 + (text[i] - '0');
  }
  return value;
}

// Letter case.

inline char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}
inline char AsciiUpper(char c) {
  return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c;
}
/// A to Z lowered (or a to z raised); every other byte, accented letters included, as it is.
std::string LowerAscii(std::string_view text);
std::string UpperAscii(std::string_view text);
/// UpperAscii in place; a byte already upper case is not written (tags mostly are).
inline void RaiseAscii(std::string& text) {
  for (char& c : text)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
}
/// Two upper-case hexadecimal digits of a byte, appended.
inline void AppendHex(std::string& out, unsigned char byte) {
  static constexpr char kHex[] = "0123456789ABCDEF";
  out += kHex[byte >> 4];
  out += kHex[byte & 15];
}
/// Whether any of A to Z is there; variable names are looked up through it on every use.
inline bool HasUpperAscii(std::string_view text) {
  for (char c : text)
    if (c >= 'A' && c <= 'Z') return true;
  return false;
}

namespace text_detail {
constexpr unsigned char LowerOf(unsigned char c) {
  if ((c >= 'A' && c <= 'Z') || (c >= 0xC0 && c <= 0xDE && c != 0xD7)) return c + 0x20;
  if (c == 0x8A || c == 0x8C || c == 0x8E) return c + 0x10;  // S caron, OE, Z caron
  if (c == 0x9F) return 0xFF;                                // Y diaeresis
  return c;
}
constexpr unsigned char UpperOf(unsigned char c) {
  if ((c >= 'a' && c <= 'z') || (c >= 0xE0 && c <= 0xFE && c != 0xF7)) return c - 0x20;
  if (c == 0x9A || c == 0x9C || c == 0x9E) return c - 0x10;
  if (c == 0xFF) return 0x9F;
  return c;
}
template <unsigned char (*f)(unsigned char)>
constexpr std::array<unsigned char, 256> ByteTable() {
  std::array<unsigned char, 256> t{};
  for (int c = 0; c < 256; ++c) t[c] = f(static_cast<unsigned char>(c));
  return t;
}
// Names and keys are folded byte by byte on every page: a table beats the tests.
inline constexpr std::array<unsigned char, 256> kLower = ByteTable<LowerOf>();
inline constexpr std::array<unsigned char, 256> kUpper = ByteTable<UpperOf>();
}  // namespace text_detail

/// The Windows-1252 small letter of a capital (accented ones and S caron, OE, Z caron,
/// Y diaeresis included); any other byte as it is. The multiplication sign and sharp s have
/// no pair.
inline unsigned char LowerCp1252(unsigned char c) {
  return text_detail::kLower[c];
}
/// The capital of a Windows-1252 small letter; any other byte as it is.
inline unsigned char UpperCp1252(unsigned char c) {
  return text_detail::kUpper[c];
}
/// Every letter lowered by LowerCp1252, for names and keys compared without regard to case.
/// Taken by value: a text made for the purpose is folded where it stands.
std::string FoldCase(std::string text);

}  // namespace lignado
