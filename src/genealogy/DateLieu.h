#pragma once

#include <array>
#include <string>
#include <vector>

#include "util/Clock.h"

namespace lignado {

// Date texts: "12/5/1900", "5/1900", "1900", "vers 1900", "après 1900 avant 1910", "".
// All texts are Windows-1252.

struct DateParts {
  std::string q1, d1, q2, d2;  // first qualifier, first date, second qualifier, second date
};
struct DateComponents {
  std::string qualifier;
  int day = 0, month = 0, year = 0;  // 0 = unknown
};

DateParts DecoupeDate(const std::string& text);
DateComponents LitDate(const std::string& text);
int JourDate(const std::string& text);
int MoisDate(const std::string& text);
int AnneeDate(const std::string& text);
std::string JourTexte(const std::string& text);
std::string MoisTexte(const std::string& text);
std::string AnneeTexte(const std::string& text);
std::string FormeDate(int day, int month, int year);
std::string NormaliseDate(const std::string& text);
std::string DateGedcom(const std::string& gedcomValue);
int CompareDate(const std::string& a, const std::string& b);  // 0 equal, 1 a later, 2 a earlier
std::string DateDuJour(const Clock& clock = SystemClock());
int AgeActuel(const std::string& birth, const Clock& clock = SystemClock());
int AgeEntre(const std::string& first, const std::string& second);
std::string Zodiaque(const std::string& text);
std::string Fete(const std::string& text);

// Place text cut at commas: positions 1..6 in [0..5].
std::array<std::string, 6> DecoupeLieu(const std::string& place);

// Every part of a place text cut at commas, blanks trimmed, empty parts kept.
std::vector<std::string> PartiesLieu(const std::string& place);

// The sub-fields of a place, in the order of SousChampsLieu's array.
enum SousLieu : int { kPays, kRegion, kDepartement, kCommune, kLieuDit, kCodePostal };

// The sub-fields of a place text. With form, the order of the parts that the file declares
// ("Lieudit, Commune, Code_INSEE, Departement, Region, Pays"), each sub-field takes
// the part the form names, as written (none: empty). Without it the parts read country first,
// a three-digit number before the commune joins the departement, and the postal code comes
// from the departement.
std::array<std::string, 6> SousChampsLieu(const std::string& place, const std::string& form);

}  // namespace lignado
