#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <utility>
#include <vector>

#include "data/Complements.h"

namespace lignado {

class TBD;
struct EvenementListe;

// One citation as the page of a person shows it.
struct CitationPage {
  const TCitation* citation = nullptr;
  std::string fait;                // "Nom", "Note", "Union", or the event's name in French
  int32_t uni = 0;                 // the union whose fact it supports; 0: the person's own
  const TEvePlus* plus = nullptr;  // the complement of the event it supports, if any
};

// The complement of a listed event of a person: its record's, or that of the kept fact it is.
const TEvePlus* ComplementEvenement(const TBD& db, const EvenementListe& e);

// The citations of p's page in page order: the name's, those of p's events in date order, the
// note's, then for each union of p (marriage order) its own and those of its events.
std::vector<CitationPage> CitationsPage(const TBD& db, int32_t p);

// Numbers for the citations of every page, and who cites each source, read once from the base.
// Citation k (from 1) of p's page has the number Premier(p) + k; numbers run on from person to
// person. A citation of a fact that its RESN hides makes no citer.
class TIndexCitations {
 public:
  explicit TIndexCitations(const TBD& db);
  int32_t Premier(int32_t p) const;
  int32_t Nombre(int32_t p) const;  // citations on p's page
  // The same, read from the base without an index.
  static int32_t Compte(const TBD& db, int32_t p);
  // The page and rank of a number; {0, 0} for none.
  std::pair<int32_t, int32_t> Situe(int32_t number) const;
  // The persons (by a citation or a level-1 SOUR) and the unions that cite source s, each
  // once, by number.
  std::span<const int32_t> Personnes(int32_t s) const;
  std::span<const int32_t> Unions(int32_t s) const;

 private:
  std::vector<int32_t> first_;                          // by person, and one beyond the last
  std::vector<std::vector<int32_t>> persons_, unions_;  // by source
};

}  // namespace lignado
