#pragma once

#include <string>

namespace lignado {

// One event of a person or a union.
struct TEve {
  bool InUse = false;
  std::string Kind, Date, Time, Place, Note, Spare;
  std::string Quality = "0";
};

// A file linked to a person, an event, a union or a source: its path as the GEDCOM file
// writes it, and its title.
struct TMedia {
  std::string File, Title;
  bool operator==(const TMedia&) const = default;
};

}  // namespace lignado
