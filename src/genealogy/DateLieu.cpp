#include "genealogy/DateLieu.h"

#include <algorithm>
#include <utility>

#include "util/Text.h"

namespace lignado {
namespace {

const std::string kAvant = "avant";
const std::string kApres = "apr\xE8s";
const std::string kVers = "vers";
const std::string kEntre = "entre";

const char* const kGedcomMonths[12] = {"JAN", "FEB", "MAR", "APR", "MAY", "JUN",
                                       "JUL", "AUG", "SEP", "OCT", "NOV", "DEC"};

struct GedcomKeyword {
  const char* prefix;
  const std::string* qualifier;
};
const GedcomKeyword kGedcomKeywords[] = {
    {"BEF", &kAvant}, {"AFT", &kApres}, {"ABT", &kVers}, {"BET", &kEntre}, {"INT", &kApres},
    {"FRO", &kEntre}, {"CAL", &kVers},  {"EST", &kVers}, {"AND", &kAvant},
};

struct ZodiacRow {
  const char* before;
  int threshold;
  const char* from;
};
const ZodiacRow kZodiac[12] = {
    {"Capricorne", 21, "Verseau"}, {"Verseau", 20, "Poisson"},     {"Poisson", 21, "B\xE9lier"},
    {"B\xE9lier", 21, "Taureau"},  {"Taureau", 21, "G\xE9meaux"},  {"G\xE9meaux", 22, "Cancer"},
    {"Cancer", 24, "Lion"},        {"Lion", 24, "Vierge"},         {"Vierge", 24, "Balance"},
    {"Balance", 24, "Scorpion"},   {"Scorpion", 23, "Sagittaire"}, {"Sagittaire", 21, "Capricorne"},
};

// Name days by month and day; nothing fills it, so every look-up is empty.
const std::string kFetes[12][31] = {};

const int kAgeMax = 120;

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

// Takes the words of `rest` from the front until one begins with a digit: non-digit words
// (the empty one included) become the qualifier, the digit word the date.
void readHalf(std::string& rest, std::string& qualifier, std::string& date, bool& found) {
  found = false;
  while (!rest.empty()) {
    size_t blank = rest.find(' ');
    std::string word = rest.substr(0, blank);
    rest = blank == std::string::npos ? std::string() : rest.substr(blank + 1);
    if (!word.empty() && isDigit(word[0])) {
      date = word;
      found = true;
      return;
    }
    qualifier = word;
  }
}

// Sort key of a plain date; fills an unknown month (13) or day (32) of b as CompareDate does.
int compareParts(const DateComponents& a, DateComponents b, bool fillB) {
  if (fillB) {
    if (b.month == 0 && a.month != 0)
      b.month = 13;
    else if (b.day == 0 && a.day != 0)
      b.day = 32;
  }
  long long ka = a.year * 10000LL + a.month * 100LL + a.day;
  long long kb = b.year * 10000LL + b.month * 100LL + b.day;
  return ka < kb ? 2 : (ka > kb ? 1 : 0);
}

void shiftByQualifier(DateComponents& d) {
  int step = d.qualifier == kAvant ? -1 : (d.qualifier == kApres ? 1 : 0);
  if (step == 0) return;
  if (d.day != 0)
    d.day += step;
  else if (d.month != 0)
    d.month += step;
  else if (d.year != 0)
    d.year += step;
}

// One GEDCOM date part, "12 MAY 1900", "MAY 1900" or "1900", to a date text.
std::string gedcomPart(const std::string& value) {
  std::string text(TrimBlanks(value));
  std::string dayText = "0", monthText = "0", yearText = "0";
  size_t blank = text.find(' ');
  if (blank == std::string::npos) {
    yearText = text;
  } else {
    monthText = text.substr(0, blank);
    std::string rest(TrimLeftBlanks(std::string_view(text).substr(blank + 1)));
    size_t next = rest.find(' ');
    if (next == std::string::npos) {
      yearText = rest;
    } else {
      dayText = monthText;
      monthText = rest.substr(0, next);
      yearText = rest.substr(next + 1);
    }
  }
  int day = Int32AfterBlanks(dayText), year = Int32AfterBlanks(yearText), month = 0;
  for (int i = 0; i < 12; ++i)
    if (monthText == kGedcomMonths[i]) month = i + 1;
  if (day < 1 || day > 31) day = 0;
  if (year < 0 || year > 9999) year = 0;
  return NormaliseDate(std::to_string(day) + "/" + std::to_string(month) + "/" +
                       std::to_string(year));
}

bool isWholeNumber(const std::string& s) {
  if (s.empty()) return false;
  for (char c : s)
    if (!isDigit(c)) return false;
  return true;
}

// Completed years from `from` to `to`, lowered when `to` falls before the anniversary.
int yearsBetween(const DateComponents& from, int toDay, int toMonth, int toYear) {
  int age = toYear - from.year;
  if (toMonth < from.month || (toMonth == from.month && toDay < from.day)) --age;
  return age;
}

// The date whose age is asked for: the later bound of a range.
DateComponents birthDate(const std::string& text) {
  DateParts parts = DecoupeDate(text);
  return LitDate(parts.d2.empty() ? text : parts.d2);
}

}  // namespace

DateParts DecoupeDate(const std::string& text) {
  DateParts r;
  r.d1 = text;
  if (text.find(' ') == std::string::npos) return r;
  std::string rest = LowerAscii(text) + " ";
  if (rest[0] == ' ') return r;
  bool found = false;
  std::string date;
  readHalf(rest, r.q1, date, found);
  if (!found) return r;
  r.d1 = date;
  readHalf(rest, r.q2, r.d2, found);
  return r;
}

DateComponents LitDate(const std::string& text) {
  DateParts parts = DecoupeDate(text);
  DateComponents c;
  c.qualifier = parts.q1;
  const std::string_view d = parts.d1;
  size_t s1 = d.find('/');
  if (s1 == std::string_view::npos) {
    c.year = Int32AfterBlanks(d);
  } else {
    size_t s2 = d.find('/', s1 + 1);
    if (s2 == std::string_view::npos) {
      c.month = Int32AfterBlanks(d.substr(0, s1));
      c.year = Int32AfterBlanks(d.substr(s1 + 1));
    } else {
      c.day = Int32AfterBlanks(d.substr(0, s1));
      c.month = Int32AfterBlanks(d.substr(s1 + 1, s2 - s1 - 1));
      c.year = Int32AfterBlanks(d.substr(s2 + 1));
    }
  }
  if (c.day < 1 || c.day > 31) c.day = 0;
  if (c.month < 1 || c.month > 12) c.month = 0;
  if (c.year < 0 || c.year > 9999) c.year = 0;
  return c;
}

int JourDate(const std::string& text) {
  return LitDate(text).day;
}
int MoisDate(const std::string& text) {
  return LitDate(text).month;
}
int AnneeDate(const std::string& text) {
  return LitDate(text).year;
}
std::string JourTexte(const std::string& text) {
  return std::to_string(JourDate(text));
}
std::string MoisTexte(const std::string& text) {
  return std::to_string(MoisDate(text));
}
std::string AnneeTexte(const std::string& text) {
  return std::to_string(AnneeDate(text));
}

std::string FormeDate(int day, int month, int year) {
  if (day < 1 || day > 31) day = 0;
  if (month < 1 || month > 12) month = 0;
  if (year <= 0) return "";
  std::string r = std::to_string(year);
  if (month != 0) {
    r = std::to_string(month) + "/" + r;
    if (day != 0) r = std::to_string(day) + "/" + r;
  }
  return r;
}

std::string NormaliseDate(const std::string& text) {
  DateParts p = DecoupeDate(std::string(TrimBlanks(text)));
  DateComponents c1 = LitDate(p.d1), c2 = LitDate(p.d2);
  if (!p.d2.empty()) {
    // Bounds ordered by their plain dates: their qualifiers would shift them apart.
    if (c1.year != 0 && c2.year != 0 && compareParts(c1, c2, true) == 1) std::swap(c1, c2);
    p.q1 = kApres;
    p.q2 = kAvant;
  }
  std::string first = FormeDate(c1.day, c1.month, c1.year);
  std::string second = FormeDate(c2.day, c2.month, c2.year);
  // An unknown year leaves no date, and an unknown bound leaves no dangling qualifier.
  if (first.empty()) return "";
  if (p.q1.empty()) return first;
  std::string r = p.q1 + " " + first;
  if (!p.q2.empty() && !second.empty()) r += " " + p.q2 + " " + second;
  return r;
}

std::string DateGedcom(const std::string& gedcomValue) {
  std::string text = UpperAscii(gedcomValue);
  if (text.empty()) return "";
  text = std::string(TrimBlanks(text)) + " ";
  size_t blank = text.find(' ');
  std::string firstWord = text.substr(0, blank);
  std::string q, datePart = text;
  if (!isWholeNumber(firstWord)) {
    std::string prefix = firstWord.substr(0, 3);
    for (const GedcomKeyword& k : kGedcomKeywords)
      if (prefix == k.prefix) {
        q = *k.qualifier;
        datePart = TrimLeftBlanks(std::string_view(text).substr(blank + 1));
        break;
      }
  }
  std::string first, q2, second;
  if (q == kEntre) {
    q = kApres;
    size_t pAnd = datePart.find("AND"), pTo = datePart.find("TO ");
    size_t pos = std::min(pAnd, pTo);
    if (pos != std::string::npos) {
      q2 = kAvant;
      second = gedcomPart(datePart.substr(pos + 3));
      // The blank before the separator goes with the trim; "1900AND1910" keeps its 1900.
      first = gedcomPart(datePart.substr(0, pos));
      if (second.empty()) q2.clear();
    } else {
      first = gedcomPart(datePart);
    }
  } else {
    first = gedcomPart(datePart);
  }
  if (first.empty()) return "";
  return NormaliseDate(q + " " + first + " " + q2 + " " + second);
}

int CompareDate(const std::string& a, const std::string& b) {
  if (a.empty() && b.empty()) return 0;
  if (a.empty()) return 2;
  if (b.empty()) return 1;
  DateComponents ca = LitDate(a), cb = LitDate(b);
  bool qualified = !ca.qualifier.empty() || !cb.qualifier.empty();
  if (qualified) {
    shiftByQualifier(ca);
    shiftByQualifier(cb);
  }
  return compareParts(ca, cb, !qualified);
}

std::string DateDuJour(const Clock& clock) {
  LocalTime t = clock.now();
  return FormeDate(t.day, t.month, t.year);
}

int AgeActuel(const std::string& birth, const Clock& clock) {
  DateComponents b = birthDate(birth);
  if (b.year <= 0) return 0;
  LocalTime t = clock.now();
  int age = t.year - b.year;
  if (age > 0) age = yearsBetween(b, t.day, t.month, t.year);
  return age < 0 || age > kAgeMax ? 0 : age;
}

int AgeEntre(const std::string& first, const std::string& second) {
  DateComponents a = birthDate(first);
  DateComponents b = LitDate(second);
  if (b.year < a.year) {
    // A range whose first bound lies before the birth: its later bound is the date.
    DateParts parts = DecoupeDate(second);
    if (parts.d2.empty()) return 0;
    b = LitDate(parts.d2);
  }
  if (a.year <= 0 || b.year <= 0) return 0;
  int age = yearsBetween(a, b.day, b.month, b.year);
  return age < 0 ? 0 : age;
}

std::string Zodiaque(const std::string& text) {
  DateComponents c = LitDate(text);
  if (c.day < 1 || c.day > 31 || c.month < 1 || c.month > 12) return "";
  const ZodiacRow& row = kZodiac[c.month - 1];
  return c.day < row.threshold ? row.before : row.from;
}

std::string Fete(const std::string& text) {
  DateComponents c = LitDate(text);
  if (!c.qualifier.empty() || c.day < 1 || c.day > 31 || c.month < 1 || c.month > 12) return "";
  return kFetes[c.month - 1][c.day - 1];
}

std::array<std::string, 6> DecoupeLieu(const std::string& place) {
  std::array<std::string, 6> parts;
  std::string text = place + ",";
  for (std::string& part : parts) {
    size_t comma = text.find(',');
    if (comma == std::string::npos) continue;
    part = TrimBlanks(std::string_view(text).substr(0, comma));
    text.erase(0, comma + 1);
  }
  return parts;
}

std::vector<std::string> PartiesLieu(const std::string& place) {
  std::vector<std::string> parts;
  size_t start = 0;
  for (;;) {
    size_t comma = place.find(',', start);
    parts.emplace_back(TrimBlanks(std::string_view(place).substr(start, comma - start)));
    if (comma == std::string::npos) return parts;
    start = comma + 1;
  }
}

namespace {

// A part name of a declared form without accents, case, blanks and "_": "Code_INSEE" gives
// "codeinsee", "D\xE9partement" gives "departement".
std::string formName(const std::string& name) {
  static const char kBase[] = "aaaaaaaceeeeiiiidnooooo/ouuuuyty";  // 0xE0..0xFF
  std::string out;
  for (char ch : name) {
    unsigned char c = LowerCp1252(static_cast<unsigned char>(ch));
    if (IsBlank(static_cast<char>(c)) || c == '_') continue;
    if (c >= 0xE0) c = static_cast<unsigned char>(kBase[c - 0xE0]);
    out += static_cast<char>(c);
  }
  return out;
}

// The sub-field a part name of a form fills; -1 for a name it does not know.
int formField(const std::string& name) {
  static const std::pair<const char*, int> kNames[] = {
      {"lieudit", kLieuDit},       {"lieu-dit", kLieuDit}, {"hameau", kLieuDit},
      {"place", kLieuDit},         {"commune", kCommune},  {"ville", kCommune},
      {"city", kCommune},          {"town", kCommune},     {"codepostal", kCodePostal},
      {"postalcode", kCodePostal}, {"zip", kCodePostal},   {"departement", kDepartement},
      {"county", kDepartement},    {"region", kRegion},    {"state", kRegion},
      {"province", kRegion},       {"pays", kPays},        {"country", kPays},
  };
  const std::string key = formName(name);
  for (const auto& [n, field] : kNames)
    if (key == n) return field;
  return -1;
}

}  // namespace

std::array<std::string, 6> SousChampsLieu(const std::string& place, const std::string& form) {
  std::array<std::string, 6> out;
  if (!TrimBlanks(form).empty()) {
    const std::vector<std::string> names = PartiesLieu(form);
    const std::vector<std::string> parts = PartiesLieu(place);
    std::array<bool, 6> named{};
    for (size_t i = 0; i < names.size() && i < parts.size(); ++i) {
      const int field = formField(names[i]);
      if (field < 0 || named[field]) continue;  // the first of a name repeated counts
      named[field] = true;
      out[field] = parts[i];
    }
    return out;
  }
  std::array<std::string, 6> parts = DecoupeLieu(place);
  // "29, 200 Brest": the end of a postal code written before the commune.
  std::string head = parts[3].substr(0, 3);
  if (ParseInt32(head).value_or(-1) >= 0) {
    parts[2] += head;
    parts[3] = parts[3].size() > 4 ? parts[3].substr(4) : std::string();
  }
  // Characters 1 to 5 of the departement; below 100 it is a departement number alone.
  int32_t code = ParseInt32(std::string_view(parts[2]).substr(0, 5)).value_or(0);
  if (code < 100) code *= 1000;
  out = {parts[0], parts[1], parts[2], parts[3], parts[4]};
  out[kCodePostal] = code > 0 ? std::to_string(code) : std::string();
  return out;
}

}  // namespace lignado
