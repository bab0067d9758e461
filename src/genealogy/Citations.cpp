#include "genealogy/Citations.h"

#include <algorithm>

#include "data/Base.h"
#include "genealogy/Evenements.h"
#include "genealogy/Rech.h"
#include "genealogy/Vivants.h"

namespace lignado {
namespace {

const std::string kNomFait = "Nom";
const std::string kNoteFait = "Note";
const std::string kUnionFait = "Union";

void addAll(std::vector<CitationPage>& out, const std::vector<TCitation>& list,
            const std::string& fait, int32_t u, const TEvePlus* plus) {
  for (const TCitation& c : list) out.push_back({&c, fait, u, plus});
}

size_t eventCitations(const TBD& db, const NumList& events) {
  size_t n = 0;
  for (int32_t e : events) {
    const TEve* ev = db.EventRecord(e);
    const TEvePlus* plus = ev && ev->InUse ? db.Plus.Event(e) : nullptr;
    if (plus) n += plus->citations.size();
  }
  return n;
}

size_t unionCitations(const TBD& db, int32_t u) {
  const TUnion* un = db.Union(u);
  if (!un || !un->InUse) return 0;
  const TUnionPlus* plus = db.Plus.Union(u);
  return (plus ? plus->citations.size() : 0) + eventCitations(db, un->EventList);
}

void addUnique(std::vector<std::vector<int32_t>>& table, int32_t s, int32_t owner) {
  if (s < 1) return;
  if (table.size() <= static_cast<size_t>(s)) table.resize(static_cast<size_t>(s) + 1);
  std::vector<int32_t>& list = table[static_cast<size_t>(s)];
  if (list.empty() || list.back() != owner) list.push_back(owner);
}

}  // namespace

const TEvePlus* ComplementEvenement(const TBD& db, const EvenementListe& e) {
  if (e.plus) return e.plus;
  for (const TFait& fact : db.Plus.PersonFacts(e.personne))
    if (&fact.eve == e.eve) return &fact.plus;
  return nullptr;
}

std::vector<CitationPage> CitationsPage(const TBD& db, int32_t p) {
  std::vector<CitationPage> out;
  const TFiche* f = db.Person(p);
  if (!f || !f->InUse) return out;
  const TPersonPlus* own = db.Plus.Person(p);
  if (own) addAll(out, own->nameCitations, kNomFait, 0, nullptr);
  for (const EvenementListe& e : EvenementsPersonne(db, p)) {
    const TEvePlus* plus = ComplementEvenement(db, e);
    if (plus && !plus->citations.empty()) addAll(out, plus->citations, NomEvenement(e), 0, plus);
  }
  if (own) addAll(out, own->noteCitations, kNoteFait, 0, nullptr);
  const TR unions = UnionNum(db, p);
  for (int i = 1; i <= unions.Nb; ++i) {
    const int32_t u = unions.Lit(i);
    if (const TUnionPlus* plus = db.Plus.Union(u))
      addAll(out, plus->citations, kUnionFait, u, nullptr);
    for (const EvenementListe& e : EvenementsUnion(db, u))
      if (e.plus && !e.plus->citations.empty())
        addAll(out, e.plus->citations, NomEvenement(e), u, e.plus);
  }
  return out;
}

TIndexCitations::TIndexCitations(const TBD& db) {
  const int32_t n = std::max(db.PersonCount, 0);
  first_.assign(static_cast<size_t>(n) + 2, 0);
  // Citers: persons first, in number order, so each list stays sorted as it grows.
  for (int32_t p = 1; p <= n; ++p) {
    const TFiche* f = db.Person(p);
    if (f && f->InUse) {
      for (int32_t s : f->SourceList) addUnique(persons_, s, p);
      auto cite = [&](const std::vector<TCitation>& list, const TEvePlus* plus) {
        if (TVivants::MasqueFait(plus)) return;
        for (const TCitation& c : list) addUnique(persons_, c.source, p);
      };
      if (const TPersonPlus* own = db.Plus.Person(p)) {
        cite(own->nameCitations, nullptr);
        cite(own->noteCitations, nullptr);
      }
      for (int32_t e : f->EventList) {
        const TEve* ev = db.EventRecord(e);
        if (const TEvePlus* plus = ev && ev->InUse ? db.Plus.Event(e) : nullptr)
          cite(plus->citations, plus);
      }
      for (const TFait& fact : db.Plus.PersonFacts(p)) cite(fact.plus.citations, &fact.plus);
    }
    first_[static_cast<size_t>(p) + 1] = first_[static_cast<size_t>(p)] + Compte(db, p);
  }
  for (int32_t u = 1; u <= db.UnionCount; ++u) {
    const TUnion* un = db.Union(u);
    if (!un || !un->InUse) continue;
    if (const TUnionPlus* plus = db.Plus.Union(u))
      for (const TCitation& c : plus->citations) addUnique(unions_, c.source, u);
    for (int32_t e : un->EventList) {
      const TEve* ev = db.EventRecord(e);
      const TEvePlus* plus = ev && ev->InUse ? db.Plus.Event(e) : nullptr;
      if (!plus || TVivants::MasqueFait(plus)) continue;
      for (const TCitation& c : plus->citations) addUnique(unions_, c.source, u);
    }
  }
}

int32_t TIndexCitations::Compte(const TBD& db, int32_t p) {
  const TFiche* f = db.Person(p);
  if (!f || !f->InUse) return 0;
  size_t count = eventCitations(db, f->EventList);
  if (const TPersonPlus* own = db.Plus.Person(p))
    count += own->nameCitations.size() + own->noteCitations.size();
  for (const TFait& fact : db.Plus.PersonFacts(p)) count += fact.plus.citations.size();
  const TR unions = UnionNum(db, p);
  for (int i = 1; i <= unions.Nb; ++i) count += unionCitations(db, unions.Lit(i));
  return static_cast<int32_t>(count);
}

int32_t TIndexCitations::Premier(int32_t p) const {
  return p >= 1 && static_cast<size_t>(p) + 1 < first_.size() ? first_[static_cast<size_t>(p)] : 0;
}

int32_t TIndexCitations::Nombre(int32_t p) const {
  return p >= 1 && static_cast<size_t>(p) + 1 < first_.size()
             ? first_[static_cast<size_t>(p) + 1] - first_[static_cast<size_t>(p)]
             : 0;
}

std::pair<int32_t, int32_t> TIndexCitations::Situe(int32_t number) const {
  if (number < 1 || first_.empty() || number > first_.back()) return {0, 0};
  // The last person whose first number lies below this one.
  auto it = std::lower_bound(first_.begin() + 1, first_.end(), number);
  const int32_t p = static_cast<int32_t>(it - first_.begin()) - 1;
  return {p, number - first_[static_cast<size_t>(p)]};
}

std::span<const int32_t> TIndexCitations::Personnes(int32_t s) const {
  if (s < 1 || static_cast<size_t>(s) >= persons_.size()) return {};
  return persons_[static_cast<size_t>(s)];
}

std::span<const int32_t> TIndexCitations::Unions(int32_t s) const {
  if (s < 1 || static_cast<size_t>(s) >= unions_.size()) return {};
  return unions_[static_cast<size_t>(s)];
}

}  // namespace lignado
