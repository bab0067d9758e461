#include "pages/PageStatistiques.h"

#include <algorithm>
#include <map>
#include <vector>

#include "genealogy/Statistiques.h"
#include "pages/Balises.h"

namespace lignado {
namespace {

using std::string;
using std::string_view;

constexpr int kMaxLimit = 200;
constexpr size_t kMaxLabel = 28;  // characters of a bar's label

string html(string_view text) {
  string out;
  AppendHtmlText(out, text);
  return out;
}

// "12&nbsp;345": digits in groups of three, as French writes numbers.
string number(int64_t n) {
  const string digits = std::to_string(n < 0 ? -n : n);
  string out = n < 0 ? "-" : "";
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += "&nbsp;";
    out += digits[i];
  }
  return out;
}

// A long label cut with "\x85" (an ellipsis), never inside a "&#...;" that the import kept.
string shortLabel(const string& label) {
  if (label.size() <= kMaxLabel) return html(label);
  size_t cut = kMaxLabel - 1;
  const size_t amp = label.rfind('&', cut);
  if (amp != string::npos && label.find(';', amp) >= cut) cut = amp;
  return html(label.substr(0, cut)) + "\x85";
}

string roman(int n) {
  static const std::pair<int, const char*> kParts[] = {
      {1000, "M"}, {900, "CM"}, {500, "D"}, {400, "CD"}, {100, "C"}, {90, "XC"}, {50, "L"},
      {40, "XL"},  {10, "X"},   {9, "IX"},  {5, "V"},    {4, "IV"},  {1, "I"}};
  string out;
  for (const auto& [v, s] : kParts)
    for (; n >= v; n -= v) out += s;
  return out;
}

string centuryName(int32_t century) {
  if (century <= 0) return std::to_string(century);
  return roman(century) + (century == 1 ? "er" : "e") +
         " si\xE8"
         "cle";
}

string nothingText() {
  return "<p class=\"stat-vide\">Aucune donn\xE9"
         "e publi\xE9"
         "e.</p>";
}

string svgOpen(int width, int height, const string& label) {
  return "<svg class=\"graphique\" role=\"img\" aria-label=\"" + html(label) + "\" viewBox=\"0 0 " +
         std::to_string(width) + " " + std::to_string(height) + "\" width=\"" +
         std::to_string(width) + "\" style=\"max-width:100%;height:auto\" font-size=\"11\">";
}

struct Bar {
  string label;  // HTML text
  int64_t value;
  string title;  // HTML text, shown on hovering
  string shown;  // the figure written by the bar, HTML text
};

// Bars from left to right, labels on the left.
string horizontal(const std::vector<Bar>& bars, const string& label) {
  constexpr int kLabel = 190, kBars = 380, kRow = 20;
  const int64_t most = std::max_element(bars.begin(), bars.end(), [](auto& a, auto& b) {
                         return a.value < b.value;
                       })->value;
  const int height = static_cast<int>(bars.size()) * kRow + 4;
  string out = svgOpen(kLabel + kBars + 60, height, label);
  for (size_t i = 0; i < bars.size(); ++i) {
    const int y = static_cast<int>(i) * kRow + 2;
    const int w = most > 0 ? static_cast<int>(bars[i].value * kBars / most) : 0;
    out += "<g><title>" + bars[i].title + "</title><text x=\"" + std::to_string(kLabel - 6) +
           "\" y=\"" + std::to_string(y + 13) + "\" text-anchor=\"end\">" + bars[i].label +
           "</text><rect class=\"barre\" x=\"" + std::to_string(kLabel) + "\" y=\"" +
           std::to_string(y + 2) + "\" width=\"" + std::to_string(std::max(w, 1)) + "\" height=\"" +
           std::to_string(kRow - 5) + "\" fill=\"#6d8fb3\"></rect><text x=\"" +
           std::to_string(kLabel + std::max(w, 1) + 4) + "\" y=\"" + std::to_string(y + 13) +
           "\">" + bars[i].shown + "</text></g>";
  }
  return out + "</svg>";
}

// Columns from left to right, labels below.
string vertical(const std::vector<Bar>& bars, const string& label, int column) {
  constexpr int kHigh = 160, kTop = 16, kFoot = 34, kLeft = 8;
  const int64_t most = std::max_element(bars.begin(), bars.end(), [](auto& a, auto& b) {
                         return a.value < b.value;
                       })->value;
  const int width = kLeft * 2 + static_cast<int>(bars.size()) * column;
  string out = svgOpen(std::max(width, 200), kTop + kHigh + kFoot, label);
  out += "<line x1=\"" + std::to_string(kLeft) + "\" x2=\"" + std::to_string(width - kLeft) +
         "\" y1=\"" + std::to_string(kTop + kHigh) + "\" y2=\"" + std::to_string(kTop + kHigh) +
         "\" stroke=\"#888\"></line>";
  for (size_t i = 0; i < bars.size(); ++i) {
    const int x = kLeft + static_cast<int>(i) * column;
    const int h = most > 0 ? static_cast<int>(bars[i].value * kHigh / most) : 0;
    const string mid = std::to_string(x + column / 2);
    out += "<g><title>" + bars[i].title + "</title>";
    if (h > 0)
      out += "<rect class=\"barre\" x=\"" + std::to_string(x + 2) + "\" y=\"" +
             std::to_string(kTop + kHigh - h) + "\" width=\"" + std::to_string(column - 4) +
             "\" height=\"" + std::to_string(h) + "\" fill=\"#6d8fb3\"></rect><text x=\"" + mid +
             "\" y=\"" + std::to_string(kTop + kHigh - h - 3) + "\" text-anchor=\"middle\">" +
             bars[i].shown + "</text>";
    out += "<text x=\"" + mid + "\" y=\"" + std::to_string(kTop + kHigh + 13) +
           "\" text-anchor=\"middle\" font-size=\"10\">" + bars[i].label + "</text></g>";
  }
  return out + "</svg>";
}

string frequent(const std::vector<Statistiques::Effectif>& list, int limit, const string& label) {
  if (list.empty()) return nothingText();
  std::vector<Bar> bars;
  for (size_t i = 0; i < list.size() && i < static_cast<size_t>(limit); ++i) {
    const string n = number(list[i].count);
    bars.push_back(
        {shortLabel(list[i].name), list[i].count, html(list[i].name) + "&nbsp;: " + n, n});
  }
  return horizontal(bars, label);
}

// Every decade from the first to the last, those without an event included.
// what: the word for one event, then for several.
string decades(const std::map<int32_t, int32_t>& m, const string& label, const string& one,
               const string& several) {
  if (m.empty()) return nothingText();
  std::vector<Bar> bars;
  for (int32_t d = m.begin()->first; d <= m.rbegin()->first; d += 10) {
    auto it = m.find(d);
    const int32_t n = it == m.end() ? 0 : it->second;
    const string years = std::to_string(d) + "-" + std::to_string(d + 9);
    bars.push_back({std::to_string(d), n,
                    years + "&nbsp;: " + number(n) + " " + (n > 1 ? several : one),
                    n > 0 ? number(n) : string()});
  }
  return vertical(bars, label, 30);
}

string ages(const std::map<int32_t, Statistiques::Ages>& m, const string& label) {
  if (m.empty()) return nothingText();
  std::vector<Bar> bars;
  for (const auto& [century, a] : m) {
    const string name = century > 0 ? roman(century) + (century == 1 ? "er" : "e") : "?";
    bars.push_back({name, a.Mean(),
                    centuryName(century) + "&nbsp;: " + std::to_string(a.Mean()) +
                        " ans en moyenne (de " + std::to_string(a.min) + " \xE0 " +
                        std::to_string(a.max) + " ans), " + number(a.count) +
                        (a.count > 1 ? " personnes" : " personne"),
                    std::to_string(a.Mean()) + " ans"});
  }
  return vertical(bars, label, 56);
}

string counts(const Statistiques& st) {
  const std::pair<const char*, int64_t> rows[] = {
      {"Personnes", st.persons},
      {"Hommes", st.men},
      {"Femmes", st.women},
      {"Sexe inconnu", st.unknownSex},
      {"Unions", st.unions},
      {"Patronymes", static_cast<int64_t>(st.surnames.size())},
      {"Lieux", static_cast<int64_t>(st.places.size())}};
  string out = "<table class=\"stat-effectifs\">";
  for (const auto& [name, n] : rows)
    out += string("<tr><th scope=\"row\">") + name + "</th><td>" + number(n) + "</td></tr>";
  return out + "</table>";
}

}  // namespace

string StatistiqueHtml(const Statistiques& st, string_view kind, int limit) {
  limit = std::clamp(limit <= 0 ? 20 : limit, 1, kMaxLimit);
  if (kind == "effectifs") return counts(st);
  if (kind == "patronymes")
    return frequent(st.surnames, limit, "Les patronymes les plus fr\xE9quents");
  if (kind == "lieux") return frequent(st.places, limit, "Les lieux les plus fr\xE9quents");
  if (kind == "naissances")
    return decades(st.births,
                   "Naissances par d\xE9"
                   "cennie",
                   "naissance", "naissances");
  if (kind == "mariages")
    return decades(st.marriages,
                   "Mariages par d\xE9"
                   "cennie",
                   "mariage", "mariages");
  if (kind == "deces" || kind ==
                             "d\xE9"
                             "c\xE8s")
    return decades(st.deaths,
                   "D\xE9"
                   "c\xE8s par d\xE9"
                   "cennie",
                   "d\xE9"
                   "c\xE8s",
                   "d\xE9"
                   "c\xE8s");
  if (kind == "age_deces")
    return ages(st.ageAtDeath,
                "\xC2ge moyen au d\xE9"
                "c\xE8s par si\xE8"
                "cle");
  if (kind == "age_mariage")
    return ages(st.ageAtFirstMarriage,
                "\xC2ge moyen au premier mariage par si\xE8"
                "cle");
  return {};
}

}  // namespace lignado
