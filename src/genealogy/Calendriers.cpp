#include "genealogy/Calendriers.h"

#include <cstring>
#include <vector>

#include "genealogy/DateLieu.h"
#include "genealogy/EnClair.h"
#include "util/Text.h"

namespace lignado {
namespace {

const char* const kGregorianMonths[] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                        "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};
const char* const kRepublicanMonths[] = {"VEND", "BRUM", "FRIM", "NIVO", "PLUV", "VENT", "GERM",
                                         "FLOR", "PRAI", "MESS", "THER", "FRUC", "COMP"};
// In the file's order, from the first month of the year.
const char* const kHebrewMonths[] = {"TSH", "CSH", "KSL", "TVT", "SHV", "ADR", "ADS",
                                     "NSN", "IYR", "SVN", "TMZ", "AAV", "ELL"};

const char* const kMoisRepublicains[] = {"vend\xE9miaire",
                                         "brumaire",
                                         "frimaire",
                                         "niv\xF4se",
                                         "pluvi\xF4se",
                                         "vent\xF4se",
                                         "germinal",
                                         "flor\xE9"
                                         "al",
                                         "prairial",
                                         "messidor",
                                         "thermidor",
                                         "fructidor",
                                         "jour compl\xE9mentaire"};
const char* const kMoisHebreux[] = {"tichri", "hechvan", "kislev", "t\xE9vet", "chevat",
                                    "adar",   "adar II", "nissan", "iyar",     "sivan",
                                    "tamouz", "av",      "eloul"};

const std::string kInsecable = "\xA0";

// The Republican calendar's first day, 1 vendémiaire an I (22 September 1792).
constexpr long kRepublicanEpoch = 2375840;
// Julian day number = fixed day (1 January of year 1, Gregorian, is day 1) + this.
constexpr long kFixedToJulian = 1721425;

long floorDiv(long a, long b) {
  long q = a / b;
  return (a % b != 0 && ((a < 0) != (b < 0))) ? q - 1 : q;
}

long gregorianDay(long y, int m, int d) {
  long a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + floorDiv(yy, 4) - floorDiv(yy, 100) +
         floorDiv(yy, 400) - 32045;
}

long julianDay(long y, int m, int d) {
  long a = (14 - m) / 12, yy = y + 4800 - a, mm = m + 12 * a - 3;
  return d + (153 * mm + 2) / 5 + 365 * yy + floorDiv(yy, 4) - 32083;
}

bool gregorianLeap(long y) {
  return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int monthLength(Calendrier c, long y, int m) {
  static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
  if (m == 2 && (c == Calendrier::Julien ? y % 4 == 0 : gregorianLeap(y))) return 29;
  return days[m - 1];
}

// The Republican leap ("sextile") years were III, VII and XI while the calendar was in use;
// the same four-year pattern carries on after it.
bool republicanLeap(long y) {
  return y % 4 == 3;
}

// Hebrew calendar arithmetic, months numbered from Nisan (1) to Adar II (13), Tishri 7.
bool hebrewLeap(long y) {
  return (7 * y + 1) % 19 < 7;
}

long hebrewElapsedDays(long y) {
  long monthsElapsed = 235 * ((y - 1) / 19) + 12 * ((y - 1) % 19) + (7 * ((y - 1) % 19) + 1) / 19;
  long partsElapsed = 204 + 793 * (monthsElapsed % 1080);
  long hoursElapsed = 5 + 12 * monthsElapsed + 793 * (monthsElapsed / 1080) + partsElapsed / 1080;
  long day = 1 + 29 * monthsElapsed + hoursElapsed / 24;
  long parts = 1080 * (hoursElapsed % 24) + partsElapsed % 1080;
  if (parts >= 19440 || (day % 7 == 2 && parts >= 9924 && !hebrewLeap(y)) ||
      (day % 7 == 1 && parts >= 16789 && hebrewLeap(y - 1)))
    ++day;
  if (day % 7 == 0 || day % 7 == 3 || day % 7 == 5) ++day;
  return day;
}

int hebrewMonthLength(long y, int m) {
  long yearDays = hebrewElapsedDays(y + 1) - hebrewElapsedDays(y);
  if (m == 2 || m == 4 || m == 6 || m == 10 || m == 13) return 29;
  if (m == 12 && !hebrewLeap(y)) return 29;
  if (m == 8 && yearDays % 10 != 5) return 29;
  if (m == 9 && yearDays % 10 == 3) return 29;
  return 30;
}

// The file's month order (Tishri first) to the arithmetic's (Nisan first). Adar II outside a
// leap year is read as Adar.
int hebrewArithmeticMonth(long y, int fileMonth) {
  if (fileMonth == 7 && !hebrewLeap(y)) return 12;
  return fileMonth <= 7 ? fileMonth + 6 : fileMonth - 7;
}

long hebrewDay(long y, int fileMonth, int d) {
  const int m = hebrewArithmeticMonth(y, fileMonth);
  const int last = hebrewLeap(y) ? 13 : 12;
  long days = d;
  if (m < 7) {
    for (int mm = 7; mm <= last; ++mm) days += hebrewMonthLength(y, mm);
    for (int mm = 1; mm < m; ++mm) days += hebrewMonthLength(y, mm);
  } else {
    for (int mm = 7; mm < m; ++mm) days += hebrewMonthLength(y, mm);
  }
  return days + hebrewElapsedDays(y) - 1373429 + kFixedToJulian;
}

int monthIndex(const char* const* names, int count, const std::string& word) {
  for (int i = 0; i < count; ++i)
    if (word == names[i]) return i + 1;
  return 0;
}

bool allDigits(const std::string& s) {
  if (s.empty() || s.size() > 5) return false;
  for (char c : s)
    if (c < '0' || c > '9') return false;
  return true;
}

bool isQualifier(const std::string& w) {
  for (const char* q : {"ABT", "CAL", "EST", "BEF", "AFT", "BET", "FROM", "TO", "INT", "AND"})
    if (w == q) return true;
  return false;
}

// Reads one point from words[i..]: an optional calendar, then [day] [month] year, up to the
// next keyword. False when what is there is not such a point.
bool readPoint(const std::vector<std::string>& words, size_t& i, PointDate& p) {
  if (i < words.size()) {
    const std::string& w = words[i];
    if (w == "@#DGREGORIAN@" || w == "GREGORIAN") {
      ++i;
    } else if (w == "@#DJULIAN@" || w == "JULIAN") {
      p.calendar = Calendrier::Julien;
      ++i;
    } else if (w == "FRENCH_R" ||
               (w == "@#DFRENCH" && i + 1 < words.size() && words[i + 1] == "R@")) {
      p.calendar = Calendrier::Republicain;
      i += w == "FRENCH_R" ? 1 : 2;
    } else if (w == "@#DHEBREW@" || w == "HEBREW") {
      p.calendar = Calendrier::Hebreu;
      ++i;
    } else if (w.rfind("@#", 0) == 0) {
      return false;  // a calendar we cannot place in time
    }
  }
  std::vector<std::string> parts;
  while (i < words.size() && !isQualifier(words[i])) parts.push_back(words[i++]);
  if (!parts.empty() && (parts.back() == "B.C." || parts.back() == "BC" || parts.back() == "BCE")) {
    p.beforeChrist = true;
    parts.pop_back();
  }
  if (parts.empty() || parts.size() > 3) return false;
  std::string year = parts.back();
  const size_t slash = year.find('/');
  if (slash != std::string::npos) {
    p.dual = year.substr(slash + 1);
    year.resize(slash);
    if (!allDigits(p.dual) || p.dual.size() > 2 || p.calendar == Calendrier::Republicain ||
        p.calendar == Calendrier::Hebreu)
      return false;
  }
  if (!allDigits(year)) return false;
  p.year = *ParseInt32(year);
  if (p.year < 1) return false;
  if (parts.size() >= 2) {
    const std::string& m = parts[parts.size() - 2];
    switch (p.calendar) {
      case Calendrier::Gregorien:
      case Calendrier::Julien:
        p.month = monthIndex(kGregorianMonths, 12, m);
        break;
      case Calendrier::Republicain:
        p.month = monthIndex(kRepublicanMonths, 13, m);
        break;
      case Calendrier::Hebreu:
        p.month = monthIndex(kHebrewMonths, 13, m);
        break;
    }
    if (p.month == 0) return false;
  }
  if (parts.size() == 3) {
    if (!allDigits(parts[0])) return false;
    p.day = *ParseInt32(parts[0]);
    const long y = p.beforeChrist ? 1 - p.year : p.year;
    int last = 0;
    switch (p.calendar) {
      case Calendrier::Gregorien:
      case Calendrier::Julien:
        last = monthLength(p.calendar, y, p.month);
        break;
      case Calendrier::Republicain:
        last = p.month < 13 ? 30 : republicanLeap(y) ? 6 : 5;
        break;
      case Calendrier::Hebreu:
        last = hebrewMonthLength(y, hebrewArithmeticMonth(y, p.month));
        break;
    }
    if (p.day < 1 || p.day > last) return false;
  }
  return !(p.beforeChrist && p.calendar != Calendrier::Gregorien &&
           p.calendar != Calendrier::Julien);
}

std::string roman(int n) {
  static const struct {
    int value;
    const char* text;
  } kDigits[] = {{1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"},
                 {90, "XC"},  {50, "L"},   {40, "XL"}, {10, "X"},   {9, "IX"},
                 {5, "V"},    {4, "IV"},   {1, "I"}};
  if (n >= 4000) return std::to_string(n);
  std::string out;
  for (const auto& d : kDigits)
    for (; n >= d.value; n -= d.value) out += d.text;
  return out;
}

std::string pointWords(const PointDate& p) {
  std::string out;
  if (p.calendar == Calendrier::Republicain) {
    if (p.month == 13) {
      if (p.day > 0) out = std::to_string(p.day) + (p.day == 1 ? "er" : "e") + kInsecable;
      out += p.day > 0 ? "jour\xA0"
                         "compl\xE9mentaire"
                       : "jours\xA0"
                         "compl\xE9mentaires";
      return out + kInsecable + "an" + kInsecable + roman(p.year);
    }
    if (p.day > 0) out = (p.day == 1 ? "1er" : std::to_string(p.day)) + kInsecable;
    if (p.month > 0) out += std::string(kMoisRepublicains[p.month - 1]) + kInsecable;
    return out + "an" + kInsecable + roman(p.year);
  }
  if (p.day > 0) out = (p.day == 1 ? "1er" : std::to_string(p.day)) + kInsecable;
  if (p.month > 0) {
    const char* name =
        p.calendar == Calendrier::Hebreu ? kMoisHebreux[p.month - 1] : MoisEnClair(p.month);
    for (const char* c = name; *c; ++c) out += *c == ' ' ? kInsecable : std::string(1, *c);
    out += kInsecable;
  }
  out += std::to_string(p.year);
  if (!p.dual.empty()) out += "/" + p.dual;
  if (p.beforeChrist) out += kInsecable + "av." + kInsecable + "J.-C.";
  if (p.calendar == Calendrier::Julien) out += kInsecable + "(julien)";
  return out;
}

bool startsWithVowel(const std::string& s) {
  return !s.empty() && std::strchr("aeiouyAEIOUY", s[0]) != nullptr;
}

}  // namespace

DateOrigine LitDateOrigine(const std::string& gedcomValue) {
  DateOrigine d;
  std::string text = gedcomValue;
  const size_t open = text.find('('), close = text.rfind(')');
  if (open != std::string::npos && close != std::string::npos && close > open) {
    d.phrase = std::string(TrimBlanks(std::string_view(text).substr(open + 1, close - open - 1)));
    text = text.substr(0, open) + " " + text.substr(close + 1);
  }
  std::vector<std::string> words;
  const std::string upper = UpperAscii(text);
  for (size_t i = 0; i < upper.size();) {
    while (i < upper.size() && IsBlank(upper[i])) ++i;
    size_t j = i;
    while (j < upper.size() && !IsBlank(upper[j])) ++j;
    if (j > i) words.push_back(upper.substr(i, j - i));
    i = j;
  }
  if (words.empty()) {
    d.valid = !d.phrase.empty();
    return d;
  }
  size_t i = 0;
  if (isQualifier(words[0]) && words[0] != "AND") d.qualifier = words[i++];
  if (!readPoint(words, i, d.first)) return d;
  if (i < words.size()) {
    const std::string& joint = words[i];
    if (!((d.qualifier == "BET" && joint == "AND") || (d.qualifier == "FROM" && joint == "TO")))
      return d;
    ++i;
    if (!readPoint(words, i, d.second) || i != words.size()) return d;
    d.hasSecond = true;
  } else if (d.qualifier == "BET") {
    return d;
  }
  if (!d.phrase.empty() && d.qualifier != "INT") return d;
  d.valid = true;
  return d;
}

long JourJulien(const PointDate& p) {
  if (p.year < 1) return 0;
  long y = p.beforeChrist ? 1 - p.year : p.year;
  if (!p.dual.empty()) {
    // 1700/01: the later year, written with as many digits as the file gives.
    long mod = p.dual.size() == 1 ? 10 : 100;
    long later = y - y % mod + *ParseInt32(p.dual);
    if (later < y) later += mod;
    y = later;
  }
  const int month = p.month > 0 ? p.month : 1, day = p.day > 0 ? p.day : 1;
  switch (p.calendar) {
    case Calendrier::Gregorien:
      return gregorianDay(y, month, day);
    case Calendrier::Julien:
      return julianDay(y, month, day);
    case Calendrier::Republicain:
      return kRepublicanEpoch + 365 * (y - 1) + y / 4 + 30 * (month - 1) + day - 1;
    case Calendrier::Hebreu:
      return hebrewDay(y, month, day);
  }
  return 0;
}

long JourDeTri(const DateOrigine& date) {
  return date.valid ? JourJulien(date.first) : 0;
}

std::string DateGregorienne(const DateOrigine& date) {
  // The Gregorian day, month and year of a point (Fliegel and Van Flandern's inverse).
  auto text = [](const PointDate& p) -> std::string {
    const long jd = JourJulien(p);
    if (jd <= 0) return "";
    const long a = jd + 32044, b = (4 * a + 3) / 146097, c = a - 146097 * b / 4;
    const long d = (4 * c + 3) / 1461, e = c - 1461 * d / 4, m = (5 * e + 2) / 153;
    const int day = static_cast<int>(e - (153 * m + 2) / 5 + 1);
    const int month = static_cast<int>(m + 3 - 12 * (m / 10));
    const long year = 100 * b + d - 4800 + m / 10;
    if (year < 1 || year > 9999) return "";
    const bool sameMonths = p.calendar == Calendrier::Gregorien || p.calendar == Calendrier::Julien;
    return FormeDate(p.day > 0 ? day : 0, p.day > 0 || (p.month > 0 && sameMonths) ? month : 0,
                     static_cast<int>(year));
  };
  if (!date.valid || date.first.year == 0) return "";
  const std::string a = text(date.first);
  if (a.empty()) return "";
  const std::string& q = date.qualifier;
  if (date.hasSecond) {
    const std::string b = text(date.second);
    return b.empty() ? "apr\xE8s " + a : "apr\xE8s " + a + " avant " + b;
  }
  if (q == "ABT" || q == "CAL" || q == "EST") return "vers " + a;
  if (q == "BEF" || q == "TO") return "avant " + a;
  if (q == "AFT" || q == "FROM") return "apr\xE8s " + a;
  return a;
}

std::string DateOrigineEnClair(const DateOrigine& date) {
  if (!date.valid) return "";
  if (date.first.year == 0) return date.phrase;
  const std::string a = pointWords(date.first);
  const std::string& q = date.qualifier;
  std::string out;
  if (q.empty())
    out = a;
  else if (q == "ABT")
    out = "vers" + kInsecable + a;
  else if (q == "CAL")
    out = "calcul\xE9" + kInsecable + a;
  else if (q == "EST")
    out = "estim\xE9" + kInsecable + a;
  else if (q == "BEF")
    out = "avant" + kInsecable + a;
  else if (q == "AFT")
    out = "apr\xE8s" + kInsecable + a;
  else if (q == "INT")
    out = a;
  else if (q == "BET")
    out = "entre" + kInsecable + a + " et" + kInsecable + pointWords(date.second);
  else if (q == "TO")
    out = (date.first.day > 0 ? "jusqu'au" : "jusqu'en") + kInsecable + a;
  else if (q == "FROM" && !date.hasSecond)
    out = "depuis" + kInsecable + (date.first.day > 0 ? "le" + kInsecable : "") + a;
  else if (q == "FROM") {
    const std::string b = pointWords(date.second);
    out = date.first.day > 0   ? "du" + kInsecable + a
          : startsWithVowel(a) ? "d'" + a
                               : "de" + kInsecable + a;
    out += date.second.day > 0 ? " au" + kInsecable + b : " \xE0" + kInsecable + b;
  }
  if (!date.phrase.empty()) out += " (" + date.phrase + ")";
  return out;
}

}  // namespace lignado
