#include "genealogy/Vivants.h"

#include <algorithm>

#include "data/Base.h"
#include "data/Liens.h"
#include "genealogy/Citations.h"
#include "genealogy/DateLieu.h"
#include "util/Text.h"

namespace lignado {
namespace {

const std::string kApres = "apr\xE8s";

struct Day {
  int year = 0, month = 0, day = 0;
  bool operator<(const Day& o) const {
    if (year != o.year) return year < o.year;
    if (month != o.month) return month < o.month;
    return day < o.day;
  }
};

// The latest day a date text can mean; none when it has no year or no upper bound.
std::optional<Day> latestDay(const std::string& date) {
  DateParts parts = DecoupeDate(date);
  std::string bound = parts.d2.empty() ? parts.d1 : parts.d2;
  std::string qualifier = parts.d2.empty() ? parts.q1 : parts.q2;
  if (qualifier == kApres) return std::nullopt;
  DateComponents c = LitDate(bound);
  if (c.year <= 0) return std::nullopt;
  return Day{c.year, c.month == 0 ? 12 : c.month, c.day == 0 ? 31 : c.day};
}

// The date lies more than `years` years before today.
bool olderThan(const std::string& date, int years, const LocalTime& today) {
  std::optional<Day> d = latestDay(date);
  return d && *d < Day{today.year - years, today.month, today.day};
}

}  // namespace

std::optional<LivingMode> LivingModeNamed(std::string_view name) {
  if (name == "masquer" || name == "hide") return LivingMode::Hide;
  if (name == "anonyme" || name == "anonymous") return LivingMode::Anonymous;
  if (name == "publier" || name == "publish") return LivingMode::Publish;
  return std::nullopt;
}

const char* LivingModeName(LivingMode mode) {
  switch (mode) {
    case LivingMode::Hide:
      return "masquer";
    case LivingMode::Anonymous:
      return "anonyme";
    case LivingMode::Publish:
      break;
  }
  return "publier";
}

bool TVivants::Confidentiel(std::string_view resn) {
  while (!resn.empty()) {
    const size_t comma = resn.find(',');
    const std::string word = LowerAscii(TrimBlanks(resn.substr(0, comma)));
    if (word == "confidential" || word == "privacy") return true;
    if (comma == std::string_view::npos) break;
    resn.remove_prefix(comma + 1);
  }
  return false;
}

bool TVivants::MasqueEvenement(int32_t e) const {
  return resn_ && MasqueFait(db_.Plus.Event(e));
}

TVivants::TVivants(const TBD& db, LivingMode mode, const Clock& clock, int years)
    : db_(db), mode_(mode), resn_(db.Plus.HasResn()) {
  if (resn_) {
    restricted_.assign(static_cast<std::size_t>(std::max(db.PersonCount, 0)) + 1, false);
    for (int32_t p = 1; p <= db.PersonCount; ++p)
      if (const TPersonPlus* plus = db.Plus.Person(p)) restricted_[p] = Confidentiel(plus->resn);
  }
  if (mode_ == LivingMode::Publish) return;  // nothing else to hide: the rule is not needed
  const LocalTime today = clock.now();
  const std::size_t n = static_cast<std::size_t>(std::max(db.PersonCount, 0)) + 1;
  living_.assign(n, true);
  auto valid = [n](int32_t p) { return p >= 1 && static_cast<std::size_t>(p) < n; };
  auto dies = [&](int32_t p) {
    if (valid(p)) living_[p] = false;
  };
  auto limit = [&](int age) { return Day{today.year - age, today.month, today.day}; };
  // The earliest latest-day of each person's births and baptisms: the best proof of an age.
  std::vector<std::optional<Day>> born(n);
  for (int32_t p = 1; p < static_cast<int32_t>(n); ++p) {
    const TFiche* f = db.Person(p);
    if (!f) continue;
    for (int32_t e : f->EventList) {
      const TEve* ev = db.EventRecord(e);
      if (!ev || !ev->InUse) continue;
      if (ev->Kind == kDeces || ev->Kind == kSepulture) dies(p);
      if (ev->Kind == kNaissance || ev->Kind == kBapteme) {
        std::optional<Day> d = latestDay(ev->Date);
        if (d && (!born[p] || *d < *born[p])) born[p] = d;
      }
    }
  }
  auto bornBefore = [&](int32_t p, int age) {
    return valid(p) && born[p] && *born[p] < limit(age);
  };
  for (int32_t p = 1; p < static_cast<int32_t>(n); ++p) {
    const TFiche* f = db.Person(p);
    if (!f) continue;
    if (bornBefore(p, years)) dies(p);
    // A child born more than N - 20 years ago.
    if (bornBefore(p, years - 20)) {
      dies(f->NumP);
      dies(f->NumM);
    }
  }
  std::vector<std::pair<int32_t, int32_t>> couples;
  for (int32_t u = 1; u <= db.UnionCount; ++u) {
    const TUnion* un = db.Union(u);
    if (!un || !un->InUse) continue;
    couples.emplace_back(un->NumH, un->NumF);
    for (int32_t e : un->EventList) {
      const TEve* ev = db.EventRecord(e);
      if (ev && ev->InUse && ev->Kind == kMariage && olderThan(ev->Date, years - 20, today)) {
        dies(un->NumH);
        dies(un->NumF);
      }
    }
  }

  // Relatives speak for those whose own facts do not, nor a dated birth of theirs. The own rule
  // is settled above, so the order in which persons are looked at does not matter.
  const std::vector<bool> own = living_;
  const TLiens& liens = db.Liens();
  auto siblingBornBefore = [&](int32_t p, int32_t parent, int age) {
    if (!valid(parent)) return false;
    for (int32_t s : liens.Enfants(parent))
      if (s != p && bornBefore(s, age)) return true;
    return false;
  };
  for (int32_t p = 1; p < static_cast<int32_t>(n); ++p) {
    if (!own[p] || born[p]) continue;
    const TFiche* f = db.Person(p);
    if (!f) continue;
    bool dead = false;
    for (int32_t parent : {f->NumP, f->NumM}) {
      if (!valid(parent)) continue;
      const TFiche* pf = db.Person(parent);
      dead = dead || bornBefore(parent, years + 50) ||
             (pf && (bornBefore(pf->NumP, years + 90) || bornBefore(pf->NumM, years + 90))) ||
             siblingBornBefore(p, parent, years + 20);
    }
    if (dead) dies(p);
  }
  for (const auto& [h, w] : couples) {
    if (valid(h) && own[h] && !born[h] && bornBefore(w, years + 30)) dies(h);
    if (valid(w) && own[w] && !born[w] && bornBefore(h, years + 30)) dies(w);
  }
}

TVivants::~TVivants() = default;

std::string TVivants::Attribut(int32_t p, const std::string& name, bool* masque) const {
  if (masque) *masque = false;
  const char* tag = name == "Profession" ? "OCCU" : name == "Titre" ? "TITL" : nullptr;
  if (!resn_ || !tag) return db_.GetAttribute(p, name);
  // The values of the hidden lines: the import keeps each as the first line of its fact's note.
  std::vector<std::string> hidden;
  for (const TFait& fact : db_.Plus.PersonFacts(p)) {
    if (fact.eve.Kind != tag || !MasqueFait(&fact.plus)) continue;
    const std::string& note = fact.eve.Note;
    hidden.push_back(note.substr(0, note.find("\r\n")));
  }
  if (hidden.empty()) return db_.GetAttribute(p, name);
  // A hidden line takes out one value equal to its own, in file order.
  for (std::string& value : db_.GetAttributeValues(p, name)) {
    auto h = std::find(hidden.begin(), hidden.end(), value);
    if (h == hidden.end()) return std::move(value);
    hidden.erase(h);
    if (masque) *masque = true;
  }
  return {};
}

const TIndexCitations& TVivants::Citations() const {
  std::call_once(citationsMade_, [this] { citations_ = std::make_unique<TIndexCitations>(db_); });
  return *citations_;
}

bool TVivants::MasqueCitation(int32_t p, const CitationPage& c) const {
  return Masque(p) || MasqueFait(c.plus) || (c.uni != 0 && MasqueUnion(c.uni));
}

bool TVivants::SourcePubliee(int32_t s) const {
  const TSrc* src = db_.SourceRecord(s);
  if (!src || !src->InUse) return false;
  const TIndexCitations& index = Citations();
  for (int32_t p : index.Personnes(s))
    if (!Masque(p)) return true;
  for (int32_t u : index.Unions(s))
    if (!MasqueUnion(u)) return true;
  return false;
}

bool TVivants::EstVivant(int32_t p) const {
  if (mode_ == LivingMode::Publish) return false;
  return p >= 1 && p < static_cast<int32_t>(living_.size()) && living_[p];
}

bool TVivants::MasqueUnion(int32_t u) const {
  const TUnion* un = db_.Union(u);
  if (!un) return false;
  if (Masque(un->NumH) || Masque(un->NumF)) return true;
  const TUnionPlus* plus = resn_ ? db_.Plus.Union(u) : nullptr;
  return plus && Confidentiel(plus->resn);
}

}  // namespace lignado
