#include "ui/QtText.h"

#include <QList>

#include "util/Utf8.h"

namespace lignado::ui {

namespace {

// True when a code point has a byte of its own in Windows-1252.
bool HasCp1252Byte(char32_t cp) {
  std::string b;
  AppendCodePointCp1252(b, static_cast<unsigned>(cp));
  return b.size() == 1;
}

// The code point of a decimal reference "&#N;" starting at text[i], with its length; 0 when
// there is none there or it names no character.
char32_t ReferenceAt(const std::string& text, size_t i, size_t& length) {
  if (text.compare(i, 2, "&#") != 0) return 0;
  size_t j = i + 2;
  char32_t cp = 0;
  while (j < text.size() && j - i < 10 && text[j] >= '0' && text[j] <= '9')
    cp = cp * 10 + static_cast<char32_t>(text[j++] - '0');
  if (j == i + 2 || j >= text.size() || text[j] != ';') return 0;
  if (cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  length = j + 1 - i;
  return cp;
}

}  // namespace

QString FromCp1252(const std::string& text, bool decodeReferences) {
  if (!decodeReferences || text.find("&#") == std::string::npos)
    return QString::fromStdString(Cp1252ToUtf8(text));
  QString out;
  size_t start = 0;
  for (size_t i = text.find("&#"); i != std::string::npos; i = text.find("&#", i + 1)) {
    size_t length = 0;
    char32_t cp = ReferenceAt(text, i, length);
    if (cp == 0 || HasCp1252Byte(cp)) continue;
    out += QString::fromStdString(Cp1252ToUtf8(text.substr(start, i - start)));
    out += QString::fromUcs4(&cp, 1);
    start = i + length;
    i = start - 1;
  }
  out += QString::fromStdString(Cp1252ToUtf8(text.substr(start)));
  return out;
}

std::string ToCp1252(const QString& text) {
  std::string out;
  out.reserve(static_cast<size_t>(text.size()));
  for (uint cp : text.toUcs4()) {
    if (cp == 0x81 || cp == 0x8D || cp == 0x8F || cp == 0x90 || cp == 0x9D)
      out += static_cast<char>(cp);  // the five undefined bytes, read as C1 controls
    else
      AppendCodePointCp1252(out, static_cast<unsigned>(cp));
  }
  return out;
}

}  // namespace lignado::ui
