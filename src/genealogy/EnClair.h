#pragma once

#include <string>

namespace lignado {

// Dates and places as a reader writes them. Windows-1252 in and out.

// A date text in French words: "4 septembre 1806", "1er mars 1650", "vers 1700",
// "avant mars 1650", "entre 1809 et 1810" (the stored range "après 1809 avant 1810"). A word
// that is not a well-formed date stays as it is; the empty text stays empty. The blanks within
// a date and after its qualifier are no-break spaces ("\xA0"), all but the one before "et".
std::string DateEnClair(const std::string& date);

// The French name of month 1 to 12 ("janvier"); empty for another number.
const char* MoisEnClair(int month);

// The year of the first date of a date text in decimal; empty when there is none.
std::string AnneeEnClair(const std::string& date);

// The parts of a place text as the file writes them, in its order, blanks trimmed, empty
// parts left out: "Brookline , , MA" gives "Brookline, MA".
std::string LieuEnClair(const std::string& place);

}  // namespace lignado
