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
  const TEvePlus* plus = nullptr;    // null when the file said nothing more
  int32_t numero = 0;                // its number, as TBD::EventOwner reads it
  int32_t personne = 0, union_ = 0;  // its owner
};

// Every event of a person (its records, then its facts kept for the list), but the lines that
// only keep the record's numbers and links (REFN, RIN, _UID, ALIA, ASSO...), in date order: by
// the Gregorian day, whatever the file's calendar; events without a date last; equal days in
// that order.
std::vector<EvenementListe> EvenementsPersonne(const TBD& db, int32_t p);
std::vector<EvenementListe> EvenementsUnion(const TBD& db, int32_t u);

// The event of number n (a record, or a fact after them), with its owner; none (eve null)
// for a number that names no event.
EvenementListe EvenementNumero(const TBD& db, int32_t n);

// The first event of a kind of person p (or of union u), as the date tags read it.
EvenementListe PremierEvenementPersonne(const TBD& db, int32_t p, const std::string& kind);
EvenementListe PremierEvenementUnion(const TBD& db, int32_t u, const std::string& kind);

// The kind in French words: "R\xE9sidence", "\xC9tudes", "Profession", "Annulation" (an ANUL
// stored as a divorce), "Sacre" (an EVEN of that type), "Recensement (type)" for a tag with
// a TYPE.
std::string NomEvenement(const EvenementListe& e);

// The date in French words; a date kept as the file wrote it (another calendar...) as it says.
std::string DateEvenementEnClair(const EvenementListe& e);

// The Julian day number the event sorts by; 0 without a date.
long JourEvenement(const EvenementListe& e);

// The date as a date text of the Gregorian calendar: the stored text, or for a date kept as
// the file wrote it, its Gregorian day (DateGregorienne); for ages and years.
std::string DateGregorienneEvenement(const EvenementListe& e);

// The owner's age at the event in completed years, from the Gregorian days of the person's
// first birth and of the event; empty for a union's event or when a date is not known.
std::string AgeEvenement(const TBD& db, const EvenementListe& e);

// The note without what the import put there besides the text (a citation's pointer, the
// raw lines of sub-records it does not read: "2 AGE 45"), line breaks made blanks.
std::string NoteEvenement(const EvenementListe& e);

}  // namespace lignado
