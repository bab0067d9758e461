#include "pages/PageStatistiques.h"

#include <gtest/gtest.h>

#include "genealogy/Statistiques.h"

namespace lignado {
namespace {

size_t count(const std::string& text, const std::string& what) {
  size_t n = 0;
  for (size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST(PageStatistiques, WhatEachKindDraws) {
  Statistiques st;
  st.persons = 12345;
  st.surnames = {{"DE LA TOUR D'AUVERGNE-LAURAGUAIS", 3}, {"MARTIN", 1}};
  st.births = {{1850, 2}, {1870, 1}};
  st.ageAtDeath[19] = {1, 37, 37, 37};
  st.ageAtDeath[1] = {2, 121, 60, 61};
  const std::string nothing =
      "<p class=\"stat-vide\">Aucune donn\xE9"
      "e publi\xE9"
      "e.</p>";
  struct Case {
    const char* kind;
    int limit;
    std::vector<std::string> holds;  // each once
    size_t groups;                   // bars or columns
  } cases[] = {
      {"effectifs", 0, {"<th scope=\"row\">Personnes</th><td>12&nbsp;345</td>"}, 0},
      {"patronymes",
       1,
       {"<title>DE LA TOUR D&#39;AUVERGNE-LAURAGUAIS&nbsp;: 3</title>",
        ">DE LA TOUR D&#39;AUVERGNE-LAURA\x85</text>"},
       1},
      {"patronymes", 0, {"<title>MARTIN&nbsp;: 1</title>"}, 2},
      {"naissances",
       0,
       {"<title>1850-1859&nbsp;: 2 naissances</title>",
        "<title>1860-1869&nbsp;: 0 naissance</title>", ">1870</text>"},
       3},
      {"age_deces",
       0,
       {"<title>XIXe si\xE8"
        "cle&nbsp;: 37 ans en moyenne (de 37 \xE0 37 ans), 1 personne</title>",
        "<title>Ier si\xE8"
        "cle&nbsp;: 61 ans en moyenne (de 60 \xE0 61 ans), 2 personnes</title>"},
       2},
      {"lieux", 0, {nothing}, 0},
      {"age_mariage", 0, {nothing}, 0},
      {"inconnu", 0, {}, 0},
  };
  for (const Case& c : cases) {
    const std::string html = StatistiqueHtml(st, c.kind, c.limit);
    for (const std::string& h : c.holds) EXPECT_EQ(count(html, h), 1u) << c.kind << ": " << h;
    EXPECT_EQ(count(html, "<g>"), c.groups) << c.kind;
    // Inline drawing only: nothing a browser would fetch, nothing the generator would rewrite.
    EXPECT_EQ(html.find("href"), std::string::npos);
    EXPECT_EQ(html.find("src="), std::string::npos);
    if (c.holds.empty()) {
      EXPECT_EQ(html, "");
    }
  }
}

}  // namespace
}  // namespace lignado
