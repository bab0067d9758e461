#pragma once

#include <string>

namespace lignado {

// One event of a person or a union.
struct TEve {
  bool InUse = false;
  std::string Kind, Date, Time, Place, Note, Spare;
  std::string Quality = "0";
};

}  // namespace lignado
