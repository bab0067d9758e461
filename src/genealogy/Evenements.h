#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "data/Complements.h"
#include "data/Eve.h"

namespace lignado {

class TBD;

// One entry of the event list of a person or a union: a record, or a fact the import kept for
// the list only (an occupation's date and place).
struct EvenementListe {
  const TEve* eve = nullptr;
  const TEvePlus* plus = nullptr;  // null when the file said nothing more
};

// Every event of a person (its records, then its facts kept for the list), in date order: by
// the Gregorian day, whatever the file's calendar; events without a date last; equal days in
// that order.
std::vector<EvenementListe> EvenementsPersonne(const TBD& db, int32_t p);
std::vector<EvenementListe> EvenementsUnion(const TBD& db, int32_t u);

// The kind in French words: "R\xE9sidence", "\xC9tudes", "Profession", "Annulation" (an ANUL
// stored as a divorce), "Sacre" (an EVEN of that type), "Recensement (type)" for a tag with
// a TYPE.
std::string NomEvenement(const EvenementListe& e);

// The date in French words; a date kept as the file wrote it (another calendar...) as it says.
std::string DateEvenementEnClair(const EvenementListe& e);

// The Julian day number the event sorts by; 0 without a date.
long JourEvenement(const EvenementListe& e);

}  // namespace lignado
