#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace lignado {

// How the bytes of a GEDCOM file become Windows-1252 text.
enum class Charset : uint8_t {
  IbmPc,    // code page 850 letters, by the 45-pair table
  Ansel,    // ANSEL diacritic + letter, by the 46-pair table
  None,     // Windows-1252 (ANSI, ASCII, WINDOWS) as it is
  Utf8,     // decoded per line
  Utf16LE,  // decoded before lines are cut
  Utf16BE,
};

// Character mode of the import call: 0 IBM PC, 2 ANSEL, anything else none.
Charset CharsetFromMode(uint8_t mode);

// The header's "CHAR" value; false when it names no decoding we know.
bool CharsetFromName(const std::string& value, Charset* out);

// In-place conversions of one line (each byte or pair converted once).
void IbmPcToAnsi(std::string& line);
void AnselToAnsi(std::string& line);
void Utf8ToAnsi(std::string& line);  // characters outside Windows-1252 become "&#N;"

// Decodes UTF-16 fed in pieces of any size into Windows-1252 text.
class Utf16Decoder {
 public:
  explicit Utf16Decoder(bool bigEndian) : big_(bigEndian) {}
  void feed(const char* data, size_t n, std::string& out);
  void finish(std::string& out);  // a cut last unit or a lone surrogate

 private:
  void unit(unsigned u, std::string& out);
  bool big_;
  int havePending_ = 0;
  unsigned char pending_ = 0;
  unsigned highSurrogate_ = 0;
};

// Surname case: upper case by the Windows-1252 rules; "&#N;" references of Latin
// Extended-A letters are raised too.
std::string UpperCaseAnsi(const std::string& text);

// Given-name case: the first character and any after '"', ',', ';', '-' or ' ' raised, the
// others lowered (a "&#N;" reference counts as one letter).
std::string CapitaliseAnsi(const std::string& text);

}  // namespace lignado
