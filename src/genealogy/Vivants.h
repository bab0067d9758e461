#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "data/Complements.h"
#include "util/Clock.h"

namespace lignado {

class TBD;
class TIndexCitations;
struct CitationPage;

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
// Whatever the mode, a person, a union or a fact whose RESN says "confidential" or "privacy" is
// hidden as a living person's data is in "masquer" (the names stay); "locked" hides nothing.
class TVivants {
 public:
  TVivants(const TBD& db, LivingMode mode, const Clock& clock = SystemClock(),
           int years = kLivingYears);
  ~TVivants();
  TVivants(const TVivants&) = delete;
  TVivants& operator=(const TVivants&) = delete;

  LivingMode Mode() const { return mode_; }
  bool EstVivant(int32_t p) const;
  // The person's dates, places, notes, sources and attributes are hidden.
  bool Masque(int32_t p) const {
    return (mode_ != LivingMode::Publish && EstVivant(p)) || Restreint(p);
  }
  // Hidden by its own RESN line, whatever the mode.
  bool Restreint(int32_t p) const {
    return p >= 1 && static_cast<size_t>(p) < restricted_.size() && restricted_[p];
  }
  // A fact (an event's complement, null for none) hidden by its RESN line.
  static bool MasqueFait(const TEvePlus* plus) { return plus && Confidentiel(plus->resn); }
  // Event e of the base is so hidden.
  bool MasqueEvenement(int32_t e) const;
  // Whether some fact of the base may be hidden so: readers skip the look-up when none.
  bool FaitsRestreints() const { return resn_; }
  // A RESN value that hides: "confidential" or "privacy" among its comma-separated words, in
  // any case.
  static bool Confidentiel(std::string_view resn);
  // Hidden by its own RESN line only, not as a living person: a page must not call them living.
  bool MasqueAuteur(int32_t p) const {
    return Restreint(p) && !(mode_ != LivingMode::Publish && EstVivant(p));
  }
  // The value of attribute `name` of p that a page may show ("Profession", "Titre"): the first
  // whose OCCU or TITL line no RESN hides; *masque tells whether one was left out.
  std::string Attribut(int32_t p, const std::string& name, bool* masque = nullptr) const;
  // Also the given names.
  bool Anonyme(int32_t p) const { return mode_ == LivingMode::Anonymous && EstVivant(p); }
  // The union's events are hidden: one of its spouses is, or its own RESN.
  bool MasqueUnion(int32_t u) const;

  // The citations of the base, numbered and by source, read on the first question (threads
  // may ask at once).
  const TIndexCitations& Citations() const;
  // A citation of p's page that p's page does not show.
  bool MasqueCitation(int32_t p, const CitationPage& c) const;
  // A source record is published when a person or a union that is shown cites it.
  bool SourcePubliee(int32_t s) const;

 private:
  const TBD& db_;
  LivingMode mode_;
  bool resn_ = false;             // the base holds some RESN line
  std::vector<bool> living_;      // by person number
  std::vector<bool> restricted_;  // by person number; empty when the base has no RESN
  mutable std::once_flag citationsMade_;
  mutable std::unique_ptr<const TIndexCitations> citations_;
};

}  // namespace lignado
