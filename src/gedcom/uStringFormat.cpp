#include "gedcom/uStringFormat.h"

#include <array>

#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

constexpr unsigned char kIbmFrom[] = {
    0xa0, 0xb5, 0x82, 0x90, 0xa1, 0xd6, 0xa2, 0xe0, 0xa3, 0xe9, 0xec, 0xed, 0x85, 0xb7, 0x8a,
    0xd4, 0x8d, 0xde, 0x95, 0xe3, 0x97, 0xeb, 0x83, 0xb6, 0x88, 0xd2, 0x8c, 0xd7, 0x93, 0xe2,
    0x96, 0xea, 0x84, 0x8e, 0x89, 0xd3, 0x8b, 0xd8, 0x94, 0x99, 0x81, 0x9a, 0x98, 0x87, 0x80};
constexpr unsigned char kIbmTo[] = {
    0xe1, 0xc1, 0xe9, 0xc9, 0xed, 0xcd, 0xf3, 0xd3, 0xfa, 0xda, 0xfd, 0xdd, 0xe0, 0xc0, 0xe8,
    0xc8, 0xec, 0xcc, 0xf2, 0xd2, 0xf9, 0xd9, 0xe2, 0xc2, 0xea, 0xca, 0xee, 0xce, 0xf4, 0xd4,
    0xfb, 0xdb, 0xe4, 0xc4, 0xeb, 0xcb, 0xef, 0xcf, 0xf6, 0xd6, 0xfc, 0xdc, 0xff, 0xe7, 0xc7};
static_assert(sizeof kIbmFrom == 45 && sizeof kIbmTo == 45);

struct AnselRow {
  unsigned char diacritic;
  const char* letters;
  const char* result;
};
// Diacritic byte, the letters it may precede, and the precomposed letters they give.
constexpr AnselRow kAnsel[] = {
    {0xe2, "aAeEiIoOuUyY", "\xe1\xc1\xe9\xc9\xed\xcd\xf3\xd3\xfa\xda\xfd\xdd"},  // acute
    {0xe1, "aAeEiIoOuU", "\xe0\xc0\xe8\xc8\xec\xcc\xf2\xd2\xf9\xd9"},            // grave
    {0xe3, "aAeEiIoOuU", "\xe2\xc2\xea\xca\xee\xce\xf4\xd4\xfb\xdb"},            // circumflex
    {0xe8, "aAeEiIoOuUyY", "\xe4\xc4\xeb\xcb\xef\xcf\xf6\xd6\xfc\xdc\xff\x9f"},  // umlaut
    {0xf0, "cC", "\xe7\xc7"},                                                    // cedilla
};

struct Tables {
  std::array<unsigned char, 256> ibm{};
  // ansel[d][letter]: the precomposed byte, 0 when the pair is not in the table.
  std::array<std::array<unsigned char, 128>, 256> ansel{};
  std::array<bool, 256> isDiacritic{};

  Tables() {
    for (int i = 0; i < 256; ++i) ibm[i] = static_cast<unsigned char>(i);
    for (size_t i = 0; i < sizeof kIbmFrom; ++i) ibm[kIbmFrom[i]] = kIbmTo[i];
    for (const AnselRow& row : kAnsel) {
      isDiacritic[row.diacritic] = true;
      for (int k = 0; row.letters[k]; ++k)
        ansel[row.diacritic][static_cast<unsigned char>(row.letters[k])] =
            static_cast<unsigned char>(row.result[k]);
    }
  }
};

const Tables& tables() {
  static const Tables t;
  return t;
}

bool hasHighByte(const std::string& s) {
  unsigned char any = 0;
  for (unsigned char c : s) any |= c;
  return any >= 0x80;
}

// Latin Extended-A letters (U+0100..U+017F) come in case pairs; these map one way.
unsigned upperExtA(unsigned cp) {
  if ((cp >= 0x101 && cp <= 0x12F && cp % 2 == 1) || (cp >= 0x133 && cp <= 0x137 && cp % 2 == 1) ||
      (cp >= 0x13A && cp <= 0x148 && cp % 2 == 0) || (cp >= 0x14B && cp <= 0x177 && cp % 2 == 1) ||
      (cp >= 0x17A && cp <= 0x17E && cp % 2 == 0))
    return cp - 1;
  return cp;
}

unsigned lowerExtA(unsigned cp) {
  if ((cp >= 0x100 && cp <= 0x12E && cp % 2 == 0) || (cp >= 0x132 && cp <= 0x136 && cp % 2 == 0) ||
      (cp >= 0x139 && cp <= 0x147 && cp % 2 == 1) || (cp >= 0x14A && cp <= 0x176 && cp % 2 == 0) ||
      (cp >= 0x179 && cp <= 0x17D && cp % 2 == 1))
    return cp + 1;
  return cp;
}

// A "&#N;" reference with N of 256 or more at text[i]: its length and code point, or 0. Smaller
// numbers are text the file wrote that way; decoding them would turn it into markup.
size_t reference(const std::string& text, size_t i, unsigned* cp) {
  if (i + 3 >= text.size() || text[i] != '&' || text[i + 1] != '#') return 0;
  size_t semicolon = text.find_first_not_of("0123456789", i + 2);
  if (semicolon == std::string::npos || text[semicolon] != ';') return 0;
  int v = DigitsValue(std::string_view(text).substr(i + 2, semicolon - i - 2), 8);
  if (v < 0x100 || v > 0x10FFFF) return 0;
  *cp = static_cast<unsigned>(v);
  return semicolon + 1 - i;
}

// The given-name rule raises the small letters of the Windows-1252 case pairs (y diaeresis
// to 0x9F, not to sharp s) but leaves s caron, oe and z caron small.
unsigned char raiseByte(unsigned char c) {
  return c == 0x9A || c == 0x9C || c == 0x9E ? c : UpperCp1252(c);
}

// And it lowers A to Z and the accented capitals only: S caron, OE, Z caron and Y diaeresis
// stay capitals.
unsigned char lowerByte(unsigned char c) {
  return c == 0x8A || c == 0x8C || c == 0x8E || c == 0x9F ? c : LowerCp1252(c);
}

}  // namespace

Charset CharsetFromMode(uint8_t mode) {
  return mode == 0 ? Charset::IbmPc : mode == 2 ? Charset::Ansel : Charset::None;
}

bool CharsetFromName(const std::string& value, Charset* out) {
  std::string v = UpperAscii(TrimSpaces(value));
  static const struct {
    const char* name;
    Charset cs;
  } names[] = {
      {"ANSEL", Charset::Ansel},      {"IBMPC", Charset::IbmPc},    {"IBM PC", Charset::IbmPc},
      {"IBM-PC", Charset::IbmPc},     {"IBM DOS", Charset::IbmPc},  {"CP850", Charset::IbmPc},
      {"ANSI", Charset::None},        {"ASCII", Charset::None},     {"WINDOWS", Charset::None},
      {"IBM WINDOWS", Charset::None}, {"CP1252", Charset::None},    {"WINDOWS-1252", Charset::None},
      {"ISO-8859-1", Charset::None},  {"ISO8859-1", Charset::None}, {"LATIN1", Charset::None},
      {"UTF-8", Charset::Utf8},       {"UTF8", Charset::Utf8},      {"UNICODE", Charset::Utf16LE},
      {"UTF-16", Charset::Utf16LE}};
  for (const auto& n : names)
    if (v == n.name) {
      *out = n.cs;
      return true;
    }
  return false;
}

void IbmPcToAnsi(std::string& line) {
  if (!hasHighByte(line)) return;
  const auto& t = tables().ibm;
  for (char& c : line) c = static_cast<char>(t[static_cast<unsigned char>(c)]);
}

void AnselToAnsi(std::string& line) {
  if (!hasHighByte(line)) return;
  const Tables& t = tables();
  const size_t n = line.size();
  size_t w = 0;
  for (size_t r = 0; r < n;) {
    unsigned char c = static_cast<unsigned char>(line[r]);
    if (t.isDiacritic[c] && r + 1 < n) {
      unsigned char next = static_cast<unsigned char>(line[r + 1]);
      unsigned char v = next < 128 ? t.ansel[c][next] : 0;
      if (v) {
        line[w++] = static_cast<char>(v);
        r += 2;
        continue;
      }
    }
    line[w++] = static_cast<char>(c);
    ++r;
  }
  line.resize(w);
}

void Utf8ToAnsi(std::string& line) {
  if (hasHighByte(line)) line = Utf8ToCp1252(line);
}

void Utf16Decoder::feed(const char* data, size_t n, std::string& out) {
  size_t i = 0;
  if (havePending_ && n > 0) {
    unsigned char b = static_cast<unsigned char>(data[0]);
    unit(big_ ? (pending_ << 8 | b) : (b << 8 | pending_), out);
    havePending_ = 0;
    i = 1;
  }
  for (; i + 1 < n; i += 2) {
    unsigned char a = static_cast<unsigned char>(data[i]);
    unsigned char b = static_cast<unsigned char>(data[i + 1]);
    unit(big_ ? (a << 8 | b) : (b << 8 | a), out);
  }
  if (i < n) {
    pending_ = static_cast<unsigned char>(data[i]);
    havePending_ = 1;
  }
}

void Utf16Decoder::finish(std::string& out) {
  if (highSurrogate_ || havePending_) AppendCodePointCp1252(out, 0xFFFD);
  highSurrogate_ = 0;
  havePending_ = 0;
}

void Utf16Decoder::unit(unsigned u, std::string& out) {
  if (u >= 0xD800 && u <= 0xDBFF) {
    if (highSurrogate_) AppendCodePointCp1252(out, 0xFFFD);
    highSurrogate_ = u;
    return;
  }
  if (u >= 0xDC00 && u <= 0xDFFF) {
    if (highSurrogate_)
      AppendCodePointCp1252(out, 0x10000 + ((highSurrogate_ - 0xD800) << 10) + (u - 0xDC00));
    else
      AppendCodePointCp1252(out, 0xFFFD);
    highSurrogate_ = 0;
    return;
  }
  if (highSurrogate_) AppendCodePointCp1252(out, 0xFFFD);
  highSurrogate_ = 0;
  if (u < 0x80)
    out += static_cast<char>(u);
  else
    AppendCodePointCp1252(out, u);
}

std::string UpperCaseAnsi(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned cp;
    if (size_t len = reference(text, i, &cp)) {
      AppendCodePointCp1252(out, upperExtA(cp));
      i += len;
      continue;
    }
    out += static_cast<char>(UpperCp1252(static_cast<unsigned char>(text[i++])));
  }
  return out;
}

std::string CapitaliseAnsi(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  bool start = true;
  for (size_t i = 0; i < text.size();) {
    unsigned cp;
    if (size_t len = reference(text, i, &cp)) {
      AppendCodePointCp1252(out, start ? upperExtA(cp) : lowerExtA(cp));
      i += len;
      start = false;
      continue;
    }
    unsigned char c = static_cast<unsigned char>(text[i++]);
    out += static_cast<char>(start ? raiseByte(c) : lowerByte(c));
    start = c == '"' || c == ',' || c == ';' || c == '-' || c == ' ';
  }
  return out;
}

}  // namespace lignado
