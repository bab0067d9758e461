#include "data/Complements.h"

namespace lignado {

const TEvePlus* TComplements::Event(int32_t e) const {
  auto it = events_.find(e);
  return it == events_.end() ? nullptr : &it->second;
}

TEvePlus& TComplements::EventFor(int32_t e) {
  return events_[e];
}

void TComplements::DropEvent(int32_t e) {
  if (!events_.empty()) events_.erase(e);
}

const std::vector<TFait>& TComplements::PersonFacts(int32_t p) const {
  static const std::vector<TFait> kNone;
  auto it = personFacts_.find(p);
  return it == personFacts_.end() ? kNone : it->second;
}

std::vector<TFait>& TComplements::PersonFactsFor(int32_t p) {
  return personFacts_[p];
}

void TComplements::DropPerson(int32_t p) {
  if (!personFacts_.empty()) personFacts_.erase(p);
}

void TComplements::Clear() {
  events_.clear();
  personFacts_.clear();
}

}  // namespace lignado
