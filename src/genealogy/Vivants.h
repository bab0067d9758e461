#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "util/Clock.h"

namespace lignado {

class TBD;

// What a published site shows of living persons.
enum class LivingMode {
  Hide,       // "masquer": the name stays; dates, places, notes, sources, attributes go
  Anonymous,  // "anonyme": the same, and the given names become "Personne vivante"
  Publish,    // "publier": everything
};

// The settings names "masquer", "anonyme", "publier", and the command line's "hide",
// "anonymous", "publish"; none for anything else.
std::optional<LivingMode> LivingModeNamed(std::string_view name);
const char* LivingModeName(LivingMode mode);  // the settings name

inline const std::string kPersonneVivante = "Personne vivante";

// The own-birth limit of the living rule in years; the other limits follow it.
inline constexpr int kLivingYears = 100;

// Who counts as living, worked out once for the whole base at the clock's date, and what the
// mode hides of them. With N the own-birth limit (kLivingYears by default), a person counts as
// living unless the base shows a death or a burial of theirs (a cremation is stored as one),
// dated or not, or their birth or baptism more than N years ago, or a marriage of theirs or a
// child's birth or baptism more than N - 20 years ago. Failing those facts and a dated birth or
// baptism of their own, a parent born more than N + 50 years ago, a grandparent more than N + 90, a
// sibling more than N + 20 or a spouse more than N + 30 (births and baptisms alike) make them count
// as dead. A date proves its age only by its latest possible day: "1924" is the end of 1924, "avant
// 1930" 1930, a range its second bound, and "apr\xE8s 1900" proves nothing.
class TVivants {
 public:
  TVivants(const TBD& db, LivingMode mode, const Clock& clock = SystemClock(),
           int years = kLivingYears);

  LivingMode Mode() const { return mode_; }
  bool EstVivant(int32_t p) const;
  // The person's dates, places, notes, sources and attributes are hidden.
  bool Masque(int32_t p) const { return mode_ != LivingMode::Publish && EstVivant(p); }
  // Also the given names.
  bool Anonyme(int32_t p) const { return mode_ == LivingMode::Anonymous && EstVivant(p); }
  // The union's events are hidden: one of its spouses is.
  bool MasqueUnion(int32_t u) const;

 private:
  const TBD& db_;
  LivingMode mode_;
  std::vector<bool> living_;  // by person number
};

}  // namespace lignado
