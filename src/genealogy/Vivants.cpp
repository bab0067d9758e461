#include "genealogy/Vivants.h"

#include "data/Base.h"
#include "genealogy/DateLieu.h"

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

TVivants::TVivants(const TBD& db, LivingMode mode, const Clock& clock) : db_(db), mode_(mode) {
  if (mode_ == LivingMode::Publish) return;  // nothing to hide: the rule is not needed
  const LocalTime today = clock.now();
  living_.assign(static_cast<std::size_t>(db.PersonCount) + 1, true);
  auto dies = [this](int32_t p) {
    if (p >= 1 && p < static_cast<int32_t>(living_.size())) living_[p] = false;
  };
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    const TFiche* f = db.Person(p);
    bool born80 = false;
    for (int32_t e : f->EventList) {
      const TEve* ev = db.EventRecord(e);
      if (!ev || !ev->InUse) continue;
      if (ev->Kind == kDeces || ev->Kind == kSepulture) dies(p);
      if (ev->Kind == kNaissance || ev->Kind == kBapteme) {
        if (olderThan(ev->Date, 100, today)) dies(p);
        born80 = born80 || olderThan(ev->Date, 80, today);
      }
    }
    // A child born more than 80 years ago.
    if (born80) {
      dies(f->NumP);
      dies(f->NumM);
    }
  }
  for (int32_t u = 1; u <= db.UnionCount; ++u) {
    const TUnion* un = db.Union(u);
    if (!un->InUse) continue;
    for (int32_t e : un->EventList) {
      const TEve* ev = db.EventRecord(e);
      if (ev && ev->InUse && ev->Kind == kMariage && olderThan(ev->Date, 80, today)) {
        dies(un->NumH);
        dies(un->NumF);
      }
    }
  }
}

bool TVivants::EstVivant(int32_t p) const {
  if (mode_ == LivingMode::Publish) return false;
  return p >= 1 && p < static_cast<int32_t>(living_.size()) && living_[p];
}

bool TVivants::MasqueUnion(int32_t u) const {
  const TUnion* un = db_.Union(u);
  return un && (Masque(un->NumH) || Masque(un->NumF));
}

}  // namespace lignado
