#pragma once

#include <string>

namespace lignado {

// Windows-1252 text to UTF-8 (for terminals and Qt). Numeric references "&#N;" stay as text.
std::string Cp1252ToUtf8(const std::string& text);

// UTF-8 to Windows-1252; a character Windows-1252 cannot hold becomes "&#N;", a byte that is
// not valid UTF-8 is kept as it is (so Windows-1252 input passes through unchanged).
std::string Utf8ToCp1252(const std::string& text);

// Appends code point cp in Windows-1252, or as "&#N;" when it has no Windows-1252 byte.
void AppendCodePointCp1252(std::string& out, unsigned cp);

}  // namespace lignado
