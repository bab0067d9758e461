#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lignado {

// Windows-1252 text to UTF-8 (for terminals and Qt). Numeric references "&#N;" stay as text.
std::string Cp1252ToUtf8(const std::string& text);

// UTF-8 to Windows-1252; a character Windows-1252 cannot hold becomes "&#N;", a byte that is
// not valid UTF-8 is kept as it is (so Windows-1252 input passes through unchanged).
std::string Utf8ToCp1252(const std::string& text);

// Appends code point cp in Windows-1252, or as "&#N;" when it has no Windows-1252 byte.
void AppendCodePointCp1252(std::string& out, unsigned cp);

// A file name (UTF-8, or bytes that are not) for a Windows-1252 line that is shown with
// Cp1252ToUtf8Shown: what Windows-1252 cannot hold, and a "&" of the name, become numeric
// references, so that the name shows exactly as it is.
std::string NameToCp1252(const std::string& name);

// Windows-1252 text to UTF-8 for display, numeric references ("&#937;", "&#x3A9;") shown as
// the characters they stand for.
std::string Cp1252ToUtf8Shown(const std::string& text);

// UTF-8 text made safe for a terminal: control characters (C0 but tab and line ends, DEL, C1)
// and bytes that are not UTF-8 become "?", so that no text can send an escape sequence.
std::string TerminalText(const std::string& utf8);

// The reference "&#N;" at pos as AppendCodePointCp1252 writes it (N decimal without a leading
// zero, a character Windows-1252 cannot hold): its length, its code point in cp; else 0.
std::size_t ImportReferenceAt(std::string_view text, std::size_t pos, unsigned& cp);

// The character set a page declares in a "charset=" before its body.
enum class PageCharset { None, Utf8, Other };
PageCharset DeclaredCharset(std::string_view page);

// A Windows-1252 page in UTF-8: bytes as their characters, references the import makes
// ("&#321;") as the characters; every other reference stays as written.
std::string PageToUtf8(std::string_view page);

// A page's bytes as its charset asks: UTF-8 when it declares UTF-8, as they are when it
// declares another; one that declares none (a script) follows site, which the first page
// given (the home page) sets: its own charset, Windows-1252 when it declares none.
std::string PageBytes(std::string text, PageCharset& site);

}  // namespace lignado
