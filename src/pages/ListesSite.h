#pragma once

#include <optional>
#include <string>

namespace lignado {

class TBD;
class TVivants;

// List functions for the pages of a large site, beside those of the kinship lists:
//   liste_tranches(L)   the numbers of the pages of list L, kTranche items a page: "1|2|3"
//   liste_tranche(N,L)  page N of list L
//   liste_initiales(L)  the initials of the surnames of the persons of L, in order: letters
//                       A to Z, accents and case folded, then "autres" for any other start
//   liste_initiale(X,L) the persons of L whose surname has the initial X, in the order of L
//   liste_source(P)     the numbers of the sources of person P, none when P is hidden; the
//                       tags <source:titre> and <source:texte> read a source by its number
//   liste_photo(P,N)    the site paths of the media of person P from the N-th on (N empty:
//                       all), none when P is hidden
//   liste_sosa(G)       the ancestors of the reference person (Sosa numbers, TBD::Numbering)
//                       of generation G (the reference person is 1), by ascending Sosa number,
//                       each once at its smallest; G empty or 0: every generation
//   liste_generations() the generations of that ascendance: "1|2|3"
// Arguments are evaluated texts. None when kind is none of these.
std::optional<std::string> ListeSite(const TBD& db, const std::string& kind, const std::string& a,
                                     const std::string& b, const TVivants* vivants);

inline constexpr int kTranche = 2000;
inline const std::string kAutres = "autres";

// The initial a surname is listed under: "A" to "Z", or "autres".
std::string InitialeDe(const std::string& surname);

}  // namespace lignado
