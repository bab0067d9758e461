#pragma once

#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

#include "data/Eve.h"

namespace lignado {

// What the file says of an event beyond its stored fields, for the few events that need it.
struct TEvePlus {
  std::string gedcomDate;  // the DATE value when the date text cannot say it (another calendar...)
  std::string tag;         // the GEDCOM tag when the stored kind is another's ("ENGA": "Mariage")
};

// A fact kept for the event lists only, outside the records.
struct TFait {
  TEve eve;
  TEvePlus plus;
};

// What the import keeps beyond the records, for the event lists: kept apart so that the records,
// their counts and every template reading them stay as they are.
class TComplements {
 public:
  const TEvePlus* Event(int32_t e) const;  // nullptr when the event has nothing more
  TEvePlus& EventFor(int32_t e);
  void DropEvent(int32_t e);

  // Facts kept for the event lists only (an occupation or a title with a date or a place), by
  // owner, in file order.
  const std::vector<TFait>& PersonFacts(int32_t p) const;
  std::vector<TFait>& PersonFactsFor(int32_t p);
  void DropPerson(int32_t p);

  void Clear();

 private:
  std::unordered_map<int32_t, TEvePlus> events_;
  std::unordered_map<int32_t, std::vector<TFait>> personFacts_;
};

}  // namespace lignado
