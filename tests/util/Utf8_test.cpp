#include "util/Utf8.h"

#include <gtest/gtest.h>

namespace lignado {
namespace {

TEST(Utf8, RoundTripsEveryWindows1252Letter) {
  std::string all;
  for (int c = 0x20; c < 0x100; ++c)
    if (c != 0x81 && c != 0x8D && c != 0x8F && c != 0x90 && c != 0x9D && c != 0x7F)
      all += static_cast<char>(c);
  EXPECT_EQ(Utf8ToCp1252(Cp1252ToUtf8(all)), all);
}

TEST(Utf8, KnownCharacters) {
  EXPECT_EQ(Cp1252ToUtf8("Fr\xE9mont \x80"), "Fr\xC3\xA9mont \xE2\x82\xAC");
  EXPECT_EQ(Utf8ToCp1252("\xC5\x93uvre \xE2\x80\x99"), "\x9Cuvre \x92");
  // Characters outside Windows-1252 become numeric references.
  EXPECT_EQ(Utf8ToCp1252("\xC5\x81\xC3\xB3"
                         "d\xC5\xBA"),
            "&#321;\xF3"
            "d&#378;");
  EXPECT_EQ(Utf8ToCp1252("\xF0\x9F\x98\x80"), "&#128512;");
}

TEST(Utf8, InvalidBytesPassThrough) {
  // Windows-1252 text given where UTF-8 was expected keeps its bytes.
  EXPECT_EQ(Utf8ToCp1252("Fr\xE9mont"), "Fr\xE9mont");
  EXPECT_EQ(Utf8ToCp1252("\xC3"), "\xC3");
  EXPECT_EQ(Utf8ToCp1252("\xC0\xAF"), "\xC0\xAF");          // overlong
  EXPECT_EQ(Utf8ToCp1252("\xED\xA0\x80"), "\xED\xA0\x80");  // surrogate
  EXPECT_EQ(Utf8ToCp1252(""), "");
}

TEST(Utf8, NamesShowAsThemselves) {
  // A file name, put into a Windows-1252 line and shown again, is the name itself.
  const std::pair<std::string, std::string> cases[] = {
      {"\xCE\xA9mega.html", "&#937;mega.html"},  // outside Windows-1252
      {"\xC3\xA9t\xC3\xA9.html", "\xE9t\xE9.html"}, {"a&b.html", "a&#38;b.html"},
      {"&#937;.html", "&#38;#937;.html"},    // a name that looks like a reference
      {"\xE9t\xE9.html", "\xE9t\xE9.html"},  // not UTF-8: its bytes
  };
  for (const auto& [name, line] : cases) {
    EXPECT_EQ(NameToCp1252(name), line);
    if (name[0] != '\xE9') {
      EXPECT_EQ(Cp1252ToUtf8Shown(NameToCp1252(name)), name);
    }
  }
  const std::pair<std::string, std::string> shown[] = {
      {"&#x3A9; &#X3a9; &#937;", "\xCE\xA9 \xCE\xA9 \xCE\xA9"},
      {"\xE9 &#128512;", "\xC3\xA9 \xF0\x9F\x98\x80"},
      {"&#; &#x; &#12a; &#55296; &#1114112; &# &", "&#; &#x; &#12a; &#55296; &#1114112; &# &"},
  };
  for (const auto& [text, utf8] : shown) EXPECT_EQ(Cp1252ToUtf8Shown(text), utf8) << text;
}

TEST(Utf8, TerminalTextCarriesNoControlCharacter) {
  const std::pair<std::string, std::string> cases[] = {
      {"Jean\x1B[31m /Nom/\x1B]0;titre\x07", "Jean?[31m /Nom/?]0;titre?"},
      {"\x01\x08\x7F\x1F", "????"},
      {"ligne\tun\nligne deux\r\n", "ligne\tun\nligne deux\r\n"},  // kept: tab, line ends
      {"efface\rfaux", "efface?faux"},                             // a lone CR rewrites the line
      {"\xC2\x9D"
       "8;;x\xC2\x9C \xC2\x9B"
       "2J",
       "?8;;x? ?2J"},  // C1 controls
      {"\x9B"
       "2J \xC3",
       "?2J ?"},  // bytes that are not UTF-8
      {"\xC2\xA0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80",
       "\xC2\xA0\xC3\xA9\xE2\x82\xAC\xF0\x9F\x98\x80"},
      {"", ""},
  };
  for (const auto& [text, shown] : cases) EXPECT_EQ(TerminalText(text), shown) << text;
}

TEST(Utf8, PagesInUtf8) {
  // Bytes become their characters; only the references the import makes become characters.
  const std::pair<std::string, std::string> cases[] = {
      {"Th\xE9r\xE8se \x80 \x9C", "Th\xC3\xA9r\xC3\xA8se \xE2\x82\xAC \xC5\x93"},
      {"&#321;\xF3"
       "d&#378;",
       "\xC5\x81\xC3\xB3"
       "d\xC5\xBA"},
      {"&#128512;", "\xF0\x9F\x98\x80"},
      {"&#60;&#233;&#8364;&#x141;&#0321;&#321 &amp;&",
       "&#60;&#233;&#8364;&#x141;&#0321;&#321 &amp;&"},
      {"&#55296;&#1114112;", "&#55296;&#1114112;"},
      {"", ""},
  };
  for (const auto& [page, utf8] : cases) EXPECT_EQ(PageToUtf8(page), utf8) << page;
}

TEST(Utf8, DeclaredCharsets) {
  const std::pair<std::string, PageCharset> cases[] = {
      {"<head><meta charset=\"utf-8\"></head><body>", PageCharset::Utf8},
      {"<meta charset='UTF8'>", PageCharset::Utf8},
      {"<meta http-equiv=\"Content-Type\" content=\"text/html; Charset=utf-8\">",
       PageCharset::Utf8},
      {"<meta charset=\"windows-1252\">", PageCharset::Other},
      {"<meta charset = iso-8859-1>", PageCharset::Other},
      {"<body><p>charset=utf-8</p>", PageCharset::None},  // in the body: text
      {"personne(1)(\"x\");", PageCharset::None},
      {"<meta charset=\"\"><meta charset=\"utf-8\">", PageCharset::Utf8},
      // a comment declares nothing, before or after the real declaration
      {"<!-- was charset=utf-8 --><meta charset=\"windows-1252\">", PageCharset::Other},
      {"<!-- charset=utf-8 -->\n<title>x</title>", PageCharset::None},
      {"<!-- a --><meta charset=utf-8><!-- charset=latin1 -->", PageCharset::Utf8},
      {"<!-- never closed charset=utf-8", PageCharset::None},
  };
  for (const auto& [page, charset] : cases) EXPECT_EQ(DeclaredCharset(page), charset) << page;
}

}  // namespace
}  // namespace lignado
