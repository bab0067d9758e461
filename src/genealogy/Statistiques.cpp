#include "genealogy/Statistiques.h"

#include <algorithm>
#include <tuple>
#include <unordered_map>

#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "genealogy/EnClair.h"
#include "genealogy/Vivants.h"

namespace lignado {
namespace {

using Counts = std::unordered_map<std::string, int32_t>;

std::vector<Statistiques::Effectif> byCount(const Counts& counts) {
  std::vector<Statistiques::Effectif> out;
  out.reserve(counts.size());
  for (const auto& [name, n] : counts) out.push_back({name, n});
  std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
    return a.count != b.count ? a.count > b.count : a.name < b.name;
  });
  return out;
}

// The first date of the two that has a year.
std::string dated(const std::string& first, const std::string& second) {
  return AnneeDate(first) > 0 ? first : second;
}

void countDecade(std::map<int32_t, int32_t>& m, const std::string& date) {
  const int32_t year = AnneeDate(date);
  if (year > 0) ++m[year - year % 10];
}

void countPlace(const TBD& db, Counts& places, const std::string& place) {
  if (place.empty()) return;
  const std::string shown = NomDeLieu(db, place);
  if (!shown.empty()) ++places[shown];
}

void countAge(std::map<int32_t, Statistiques::Ages>& m, const std::string& birth,
              const std::string& at) {
  const int32_t year = AnneeDate(at);
  if (AnneeDate(birth) <= 0 || year <= 0) return;
  const int32_t age = AgeEntre(birth, at);
  if (age > kMaxCountedAge) return;
  Statistiques::Ages& a = m[year / 100 + 1];
  a.min = a.count == 0 ? age : std::min(a.min, age);
  a.max = a.count == 0 ? age : std::max(a.max, age);
  ++a.count;
  a.sum += age;
}

}  // namespace

std::string NomDeLieu(const TBD& db, const std::string& place) {
  std::string commune = SousChampsLieu(place, db.PlaceForm)[kCommune];
  return commune.empty() ? LieuEnClair(place) : commune;
}

int32_t Statistiques::Ages::Mean() const {
  return count == 0 ? 0 : static_cast<int32_t>((sum + count / 2) / count);
}

Statistiques ComputeStatistiques(const TBD& db, const TVivants* vivants) {
  Statistiques st;
  Counts surnames, places;
  auto hidden = [vivants](int32_t p) { return vivants && vivants->Masque(p); };
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    if (!db.IsPersonUsed(p)) continue;
    ++st.persons;
    const int sex = db.GetSex(p);
    ++(sex == 0 ? st.men : sex == 1 ? st.women : st.unknownSex);
    if (std::string name = db.GetSurname(p); !name.empty()) ++surnames[name];
    if (hidden(p)) continue;
    const std::string birth = dated(db.GetPersonEvent(p, kNaissance, EventCode::Date),
                                    db.GetPersonEvent(p, kBapteme, EventCode::Date));
    const std::string death = dated(db.GetPersonEvent(p, kDeces, EventCode::Date),
                                    db.GetPersonEvent(p, kSepulture, EventCode::Date));
    countDecade(st.births, birth);
    countDecade(st.deaths, death);
    countAge(st.ageAtDeath, birth, death);
    for (const std::string* kind : {&kNaissance, &kBapteme, &kDeces, &kSepulture})
      countPlace(db, places, db.GetPersonEvent(p, *kind, EventCode::Place));
  }
  // Each spouse's earliest dated marriage, by year, month and day.
  struct First {
    DateComponents when;
    std::string date;
  };
  std::unordered_map<int32_t, First> first;
  auto earlier = [](const DateComponents& a, const DateComponents& b) {
    return std::tie(a.year, a.month, a.day) < std::tie(b.year, b.month, b.day);
  };
  for (int32_t u = 1; u <= db.UnionCount; ++u) {
    if (!db.IsUnionValid(u)) continue;
    ++st.unions;
    if (vivants && vivants->MasqueUnion(u)) continue;
    const std::string date = db.GetUnionEvent(u, kMariage, EventCode::Date);
    countDecade(st.marriages, date);
    countPlace(db, places, db.GetUnionEvent(u, kMariage, EventCode::Place));
    const DateComponents when = LitDate(date);
    if (when.year <= 0) continue;
    for (int32_t p : {db.GetHusband(u), db.GetWife(u)}) {
      if (p <= 0) continue;
      auto [it, added] = first.try_emplace(p, First{when, date});
      if (!added && earlier(when, it->second.when)) it->second = First{when, date};
    }
  }
  for (const auto& [p, f] : first) {
    if (hidden(p)) continue;
    countAge(st.ageAtFirstMarriage,
             dated(db.GetPersonEvent(p, kNaissance, EventCode::Date),
                   db.GetPersonEvent(p, kBapteme, EventCode::Date)),
             f.date);
  }
  st.surnames = byCount(surnames);
  st.places = byCount(places);
  return st;
}

}  // namespace lignado
