#include "util/Utf8.h"

#include <cctype>

namespace lignado {
namespace {

// Code points of bytes 0x80..0x9F in Windows-1252 (0 where the byte is undefined).
const unsigned kHigh[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

void appendUtf8(std::string& out, unsigned cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// The code point of the UTF-8 sequence at text[i] and its length; 0 when the bytes there are
// not UTF-8 (overlong forms, surrogates and values past U+10FFFF are not).
size_t decodeUtf8(const std::string& text, size_t i, unsigned& cp) {
  unsigned char c = static_cast<unsigned char>(text[i]);
  if (c < 0x80) {
    cp = c;
    return 1;
  }
  size_t len = c >= 0xF0 && c <= 0xF4  ? 4
               : c >= 0xE0 && c < 0xF0 ? 3
               : c >= 0xC2 && c < 0xE0 ? 2
                                       : 0;
  cp = len == 2 ? c & 0x1F : len == 3 ? c & 0x0F : c & 0x07;
  if (len == 0 || i + len > text.size()) return 0;
  for (size_t k = 1; k < len; ++k) {
    unsigned char cc = static_cast<unsigned char>(text[i + k]);
    if ((cc & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (cc & 0x3F);
  }
  if ((len == 3 && (cp < 0x800 || (cp >= 0xD800 && cp <= 0xDFFF))) ||
      (len == 4 && (cp < 0x10000 || cp > 0x10FFFF)))
    return 0;
  return len;
}

bool heldByCp1252(unsigned cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) return true;
  for (unsigned high : kHigh)
    if (high == cp) return true;
  return false;
}

}  // namespace

std::string Cp1252ToUtf8(const std::string& text) {
  std::string out;
  out.reserve(text.size() + text.size() / 8);
  for (unsigned char c : text) {
    if (c < 0x80)
      out += static_cast<char>(c);
    else if (c < 0xA0)
      appendUtf8(out, kHigh[c - 0x80] ? kHigh[c - 0x80] : c);  // undefined bytes as C1 controls
    else
      appendUtf8(out, c);
  }
  return out;
}

void AppendCodePointCp1252(std::string& out, unsigned cp) {
  if (cp < 0x80 || (cp >= 0xA0 && cp <= 0xFF)) {
    out += static_cast<char>(cp);
    return;
  }
  for (unsigned i = 0; i < 32; ++i) {
    if (kHigh[i] == cp && cp != 0) {
      out += static_cast<char>(0x80 + i);
      return;
    }
  }
  out += "&#" + std::to_string(cp) + ";";
}

std::string Utf8ToCp1252(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    unsigned cp = 0;
    size_t len = decodeUtf8(text, i, cp);
    if (len == 0) {
      out += text[i++];
      continue;
    }
    AppendCodePointCp1252(out, cp);
    i += len;
  }
  return out;
}

std::string TerminalText(const std::string& utf8) {
  std::string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    unsigned cp = 0;
    size_t len = decodeUtf8(utf8, i, cp);
    bool lineEnd =
        cp == '\n' || cp == '\t' || (cp == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n');
    if (len == 0 || ((cp < 0x20 || (cp >= 0x7F && cp < 0xA0)) && !lineEnd)) {
      out += '?';
      i += len ? len : 1;
      continue;
    }
    out.append(utf8, i, len);
    i += len;
  }
  return out;
}

std::string NameToCp1252(const std::string& name) {
  // Piece by piece between the name's own "&", which become "&#38;": showing the line then
  // decodes only the references the conversion wrote.
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t amp = name.find('&', start);
    out += Utf8ToCp1252(name.substr(start, amp - start));
    if (amp == std::string::npos) return out;
    out += "&#38;";
    start = amp + 1;
  }
}

std::string Cp1252ToUtf8Shown(const std::string& text) {
  std::string out;
  out.reserve(text.size());
  size_t i = 0;
  while (i < text.size()) {
    size_t amp = text.find("&#", i);
    if (amp == std::string::npos) amp = text.size();
    out += Cp1252ToUtf8(text.substr(i, amp - i));
    if (amp == text.size()) break;
    // "&#N;" or "&#xH;" with a code point Unicode allows.
    size_t j = amp + 2;
    bool hex = j < text.size() && (text[j] == 'x' || text[j] == 'X');
    if (hex) ++j;
    unsigned long cp = 0;
    size_t digits = 0;
    for (; j < text.size() && digits < 8; ++j, ++digits) {
      char c = text[j];
      int v = c >= '0' && c <= '9'          ? c - '0'
              : hex && c >= 'a' && c <= 'f' ? c - 'a' + 10
              : hex && c >= 'A' && c <= 'F' ? c - 'A' + 10
                                            : -1;
      if (v < 0) break;
      cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(v);
    }
    if (digits > 0 && j < text.size() && text[j] == ';' && cp > 0 && cp <= 0x10FFFF &&
        !(cp >= 0xD800 && cp <= 0xDFFF)) {
      appendUtf8(out, static_cast<unsigned>(cp));
      i = j + 1;
    } else {
      out += "&#";
      i = amp + 2;
    }
  }
  return out;
}

std::size_t ImportReferenceAt(std::string_view text, std::size_t pos, unsigned& cp) {
  if (text.compare(pos, 2, "&#") != 0) return 0;
  std::size_t j = pos + 2;
  if (j >= text.size() || text[j] < '1' || text[j] > '9') return 0;
  unsigned long v = 0;
  for (; j < text.size() && text[j] >= '0' && text[j] <= '9' && j - pos < 9; ++j)
    v = v * 10 + static_cast<unsigned long>(text[j] - '0');
  if (j >= text.size() || text[j] != ';' || v > 0x10FFFF || (v >= 0xD800 && v <= 0xDFFF) ||
      heldByCp1252(static_cast<unsigned>(v)))
    return 0;
  cp = static_cast<unsigned>(v);
  return j + 1 - pos;
}

namespace {

PageCharset charsetIn(std::string_view head) {
  for (std::size_t at = 0; (at = head.find("harset", at)) != std::string_view::npos; at += 6) {
    if (at == 0 || (head[at - 1] != 'c' && head[at - 1] != 'C')) continue;
    std::size_t v = at + 6;
    while (v < head.size() && head[v] == ' ') ++v;
    if (v >= head.size() || head[v] != '=') continue;
    ++v;
    while (v < head.size() && (head[v] == ' ' || head[v] == '"' || head[v] == '\'')) ++v;
    std::string name;
    while (v < head.size() && name.size() < 16 &&
           (std::isalnum(static_cast<unsigned char>(head[v])) || head[v] == '-' || head[v] == '_'))
      name += static_cast<char>(std::tolower(static_cast<unsigned char>(head[v++])));
    if (name.empty()) continue;
    return name == "utf-8" || name == "utf8" ? PageCharset::Utf8 : PageCharset::Other;
  }
  return PageCharset::None;
}

}  // namespace

PageCharset DeclaredCharset(std::string_view page) {
  // The head ends at the body; a page without one is searched whole. A "charset=" inside an
  // HTML comment declares nothing, as for a browser.
  std::string_view head = page.substr(0, page.find("<body"));
  for (std::size_t from = 0; from < head.size();) {
    const std::size_t open = head.find("<!--", from);
    const PageCharset found = charsetIn(head.substr(from, open - from));
    if (found != PageCharset::None || open == std::string_view::npos) return found;
    const std::size_t close = head.find("-->", open + 4);
    if (close == std::string_view::npos) break;
    from = close + 3;
  }
  return PageCharset::None;
}

std::string PageToUtf8(std::string_view page) {
  std::string out;
  out.reserve(page.size() + page.size() / 16);
  std::size_t run = 0;  // start of the bytes copied as they are
  for (std::size_t i = 0; i < page.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(page[i]);
    if (c < 0x80 && c != '&') continue;
    out.append(page, run, i - run);
    unsigned cp = c;
    std::size_t len = 1;
    if (c == '&') {
      len = ImportReferenceAt(page, i, cp);
      if (len == 0) {
        out += '&';
        run = i + 1;
        continue;
      }
    } else if (c < 0xA0 && kHigh[c - 0x80]) {
      cp = kHigh[c - 0x80];
    }
    appendUtf8(out, cp);
    i += len - 1;
    run = i + 1;
  }
  out.append(page, run, std::string_view::npos);
  return out;
}

std::string PageBytes(std::string text, PageCharset& site) {
  PageCharset declared = DeclaredCharset(text);
  if (site == PageCharset::None)
    site = declared == PageCharset::None ? PageCharset::Other : declared;
  if (declared == PageCharset::None) declared = site;
  return declared == PageCharset::Utf8 ? PageToUtf8(text) : text;
}

}  // namespace lignado
