#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace lignado {

class TBD;
class TVivants;

// The figures of a statistics page, from what the site publishes only: the names of every
// person in use, the facts of those whose data the living rule does not hide.
struct Statistiques {
  struct Effectif {
    std::string name;  // Windows-1252, as the base holds it
    int32_t count = 0;
    bool operator==(const Effectif&) const = default;
  };
  struct Ages {
    int32_t count = 0;
    int64_t sum = 0;
    int32_t min = 0, max = 0;
    int32_t Mean() const;  // rounded to the nearest year; 0 without any
  };

  int32_t persons = 0, men = 0, women = 0, unknownSex = 0, unions = 0;
  std::vector<Effectif> surnames;  // by count, then name (empty surnames left out)
  // Places (NomDeLieu) of the births, baptisms, marriages, deaths and burials shown.
  std::vector<Effectif> places;
  // Events by decade (its first year: 1850 for 1850-1859): a birth counts its baptism when it
  // has no date, a death its burial.
  std::map<int32_t, int32_t> births, marriages, deaths;
  // Ages in whole years by century of the death or of the first dated marriage (18 for the
  // years 1700 to 1799), from a birth (or baptism) and that date both known; over 120: left out.
  std::map<int32_t, Ages> ageAtDeath, ageAtFirstMarriage;
};

inline constexpr int32_t kMaxCountedAge = 120;

// How a page names a place: its commune when the place has one, else the whole place in words.
std::string NomDeLieu(const TBD& db, const std::string& place);

// One pass over the base; vivants (none: everything published) says whose facts are hidden.
Statistiques ComputeStatistiques(const TBD& db, const TVivants* vivants);

}  // namespace lignado
