#include "data/Complements.h"

#include "data/Base.h"

namespace lignado {

namespace {

template <class Map>
const typename Map::mapped_type* found(const Map& map, int32_t key) {
  auto it = map.find(key);
  return it == map.end() ? nullptr : &it->second;
}

}  // namespace

const TEvePlus* TComplements::Event(int32_t e) const {
  return found(events_, e);
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
  if (!persons_.empty()) persons_.erase(p);
}

const TPersonPlus* TComplements::Person(int32_t p) const {
  return found(persons_, p);
}

TPersonPlus& TComplements::PersonFor(int32_t p) {
  return persons_[p];
}

const TUnionPlus* TComplements::Union(int32_t u) const {
  return found(unions_, u);
}

TUnionPlus& TComplements::UnionFor(int32_t u) {
  return unions_[u];
}

const TSourcePlus* TComplements::Source(int32_t s) const {
  return found(sources_, s);
}

TSourcePlus& TComplements::SourceFor(int32_t s) {
  return sources_[s];
}

void TComplements::Clear() {
  hasResn_ = false;
  events_.clear();
  personFacts_.clear();
  persons_.clear();
  unions_.clear();
  sources_.clear();
}

}  // namespace lignado
