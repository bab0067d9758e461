#include "genealogy/EnClair.h"

#include <optional>
#include <string_view>
#include <vector>

#include "genealogy/DateLieu.h"
#include "util/Text.h"

namespace lignado {
namespace {

const char* const kMois[12] = {"janvier",
                               "f\xE9vrier",
                               "mars",
                               "avril",
                               "mai",
                               "juin",
                               "juillet",
                               "ao\xFBt",
                               "septembre",
                               "octobre",
                               "novembre",
                               "d\xE9"
                               "cembre"};

const std::string kApres = "apr\xE8s";
// A date in words never breaks across lines, nor leaves its qualifier behind: its blanks are
// no-break spaces, but for the one before the "et" of a range.
const std::string kInsecable = "\xA0";

std::vector<std::string> words(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t blank = text.find(' ', start);
    if (blank == std::string::npos) blank = text.size();
    if (blank > start) out.push_back(text.substr(start, blank - start));
    start = blank + 1;
  }
  return out;
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// "D/M/Y", "M/Y" or "Y" in words; anything else unchanged.
std::string dateWord(const std::string& word) {
  int parts[3] = {0, 0, 0};
  int count = 0;
  std::size_t start = 0;
  for (;;) {
    std::size_t slash = word.find('/', start);
    std::string_view piece = std::string_view(word).substr(start, slash - start);
    std::optional<int32_t> v = ParseInt32(piece);
    bool digits = !piece.empty() && piece.size() <= 4;
    for (char c : piece) digits = digits && isDigit(c);
    if (!digits || !v || count == 3) return word;
    parts[count++] = *v;
    if (slash == std::string::npos) break;
    start = slash + 1;
  }
  int day = count == 3 ? parts[0] : 0;
  int month = count >= 2 ? parts[count - 2] : 0;
  int year = parts[count - 1];
  if (year < 1 || (count >= 2 && (month < 1 || month > 12)) ||
      (count == 3 && (day < 1 || day > 31)))
    return word;
  std::string out;
  if (day == 1) out = "1er" + kInsecable;
  if (day > 1) out = std::to_string(day) + kInsecable;
  if (month != 0) out += kMois[month - 1] + kInsecable;
  return out + std::to_string(year);
}

}  // namespace

const char* MoisEnClair(int month) {
  return month >= 1 && month <= 12 ? kMois[month - 1] : "";
}

std::string DateEnClair(const std::string& date) {
  std::vector<std::string> w = words(date);
  // The stored range: "après D1 avant D2".
  if (w.size() == 4 && w[0] == kApres && w[2] == "avant" && isDigit(w[1][0]) && isDigit(w[3][0]))
    return "entre" + kInsecable + dateWord(w[1]) + " et" + kInsecable + dateWord(w[3]);
  std::string out;
  for (const std::string& word : w) {
    const bool number = isDigit(word[0]);
    if (!out.empty()) out += number ? kInsecable : " ";
    out += number ? dateWord(word) : word;
  }
  return out;
}

std::string AnneeEnClair(const std::string& date) {
  int year = LitDate(date).year;
  return year > 0 ? std::to_string(year) : std::string();
}

std::string LieuEnClair(const std::string& place) {
  std::string out;
  for (const std::string& part : PartiesLieu(place)) {
    if (part.empty()) continue;
    if (!out.empty()) out += ", ";
    out += part;
  }
  return out;
}

}  // namespace lignado
