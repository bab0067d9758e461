#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "util/Clock.h"

namespace lignado {

class TBD;
class Host;

// Header summary: 0 producing program ("SOUR"), 1 its "VERS", 2 its "NAME", 3 its "CORP",
// 4 "DATE", 5 GEDCOM "VERS", 6 "CHAR", 7 "LANG", 8 header note then submitter name and address.
using THead = std::array<std::string, 9>;

// Character modes of the import call; any other value reads bytes as they are.
inline constexpr uint8_t kModeIbmPc = 0;
inline constexpr uint8_t kModeAnsel = 2;
inline constexpr uint8_t kModeNone = 1;

// Why a file that does not start with a GEDCOM header is refused.
inline constexpr char kNotGedcom[] = "Ce fichier n'est pas un fichier GEDCOM";

struct ImportResult {
  bool failed = false;   // "Erreur à l'import" was shown (but for notGedcom); what was read stays
  bool aborted = false;  // stopped through the host's stop request
  bool notGedcom = false;  // no GEDCOM header first: nothing read; the reason names the file
  std::string reason;      // why it failed, in French, for callers that can show more
  // Records a full pool kept out of the database.
  int personsDropped = 0;
  int unionsDropped = 0;
  int eventsDropped = 0;
  bool incomplete() const { return personsDropped + unionsDropped + eventsDropped > 0; }
};

// Reads a GEDCOM file into db, which the caller has emptied. The records may come in any order:
// the result is that of the file with its individuals first, then its families (their HUSB and
// WIFE lines first), then its sources; a NOTE or SNOTE pointer takes the text of its note
// record, wherever that is. The log "kestrane.log" goes into the file's folder (the current
// folder when the name has none), dated by the clock.
ImportResult ImportGedcom(TBD& db, const std::string& fileName, THead& head, uint8_t charMode,
                          bool headerOnly, bool writeLog, bool nameCase, Host* host,
                          const Clock& clock = SystemClock());

// What a full pool kept out, as one French sentence; empty when nothing was.
std::string DroppedSummary(const ImportResult& r, int capacity);

// A cross-reference pointer such as "@I12@" cut into letter part "I" and number 12; a number
// too large for 32 bits is given as INT32_MAX.
struct GedPointer {
  std::string letters;
  int64_t number = 0;
};
GedPointer SplitPointer(const std::string& pointer);

// The date text of a "DATE" value, exactly as DateGedcom gives it; the plain forms most files
// use ("12 MAY 1900", "MAY 1900", "1900") are read without the general parser.
std::string GedcomDateText(const std::string& value);

// Whether a "DATE" value says more than its date text can: another calendar, a dual year, a
// phrase, or CAL, EST, INT, FROM, TO. Such values are kept as written for the event lists.
bool KeepsGedcomDate(const std::string& value);

// Whether a "_SOSA" or "_SOSADABOVILLE" value numbers its person 1: it starts with the number
// 1 ("1", "01", "1 de cujus"), which is no d'Aboville number of a descendant ("1.2").
bool NumbersSosaOne(const std::string& value);

// The value of a "NAME" line cut into surname and given names.
void SplitName(const std::string& value, bool nameCase, std::string& surname,
               std::string& givenNames);

}  // namespace lignado
