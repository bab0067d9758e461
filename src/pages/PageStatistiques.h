#pragma once

#include <string>
#include <string_view>

namespace lignado {

struct Statistiques;

// One part of a statistics page as HTML (Windows-1252), for the function "statistique(":
//   "effectifs"                  a table of the counts
//   "patronymes", "lieux"        the `limit` most frequent, as horizontal bars
//   "naissances", "mariages", "deces" (or "d\xE9c\xE8s")  events by decade, as columns
//   "age_deces", "age_mariage"   the mean age by century, as columns (range and count in
//                                each column's title)
// Charts are inline SVG drawn here (no request leaves the page); a chart without any figure
// is a sentence that says so. Empty for any other kind.
std::string StatistiqueHtml(const Statistiques& st, std::string_view kind, int limit = 20);

}  // namespace lignado
