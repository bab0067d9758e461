#include "util/Text.h"

namespace lignado {

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = AsciiLower(c);
  return out;
}

std::string UpperAscii(std::string_view text) {
  std::string out(text);
  RaiseAscii(out);
  return out;
}

std::string FoldCase(std::string text) {
  for (char& c : text) c = static_cast<char>(LowerCp1252(static_cast<unsigned char>(c)));
  return text;
}

}  // namespace lignado
