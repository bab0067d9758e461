#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace lignado {

// Text routines that many units share. Texts are Windows-1252 bytes.

// Whole numbers. Each reader is one rule that its callers rely on exactly; the rules differ in
// what may stand before the number and in what a text that is not one gives.

/// "[+|-]digits" whose value fits 32 bits, with nothing before or after; none otherwise.
std::optional<int32_t> ParseInt32(std::string_view text);
/// ParseInt32 after any leading blanks (see IsBlank); 0 when the rest is not a number. Date
/// texts, list texts and the template language read their numbers so.
int32_t Int32AfterBlanks(std::string_view text);
/// ParseInt32 after leading spaces (no other blank); 0 otherwise. The database's number fields.
int32_t Int32AfterSpaces(std::string_view text);
/// The value of 1 to maxDigits (at most 9) decimal digits and nothing else; -1 otherwise.
int DigitsValue(std::string_view text, std::size_t maxDigits);

// Blanks and trimming.

/// The space and every control byte below it (tab, CR, LF ...).
inline bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}
std::string_view TrimBlanks(std::string_view text);
std::string_view TrimLeftBlanks(std::string_view text);
std::string_view TrimRightBlanks(std::string_view text);
/// Spaces only: a tab or a CR stays.
std::string_view TrimSpaces(std::string_view text);

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
bool HasUpperAscii(std::string_view text);

/// The Windows-1252 small letter of a capital (accented ones and S caron, OE, Z caron,
/// Y diaeresis included); any other byte as it is. The multiplication sign and sharp s have
/// no pair.
unsigned char LowerCp1252(unsigned char c);
/// The capital of a Windows-1252 small letter; any other byte as it is.
unsigned char UpperCp1252(unsigned char c);
/// Every letter lowered by LowerCp1252, for names and keys compared without regard to case.
std::string FoldCase(std::string_view text);

}  // namespace lignado
