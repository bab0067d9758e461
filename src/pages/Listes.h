#pragma once

#include <cstdint>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "genealogy/Rech.h"
#include "util/Clock.h"

namespace lignado {

class TBD;
class Host;
class TVivants;

// The texts that templates give persons, shared by the pages of one generation: the database
// does not change while they run, so each template is expanded once per person, and prefix
// searches read an index of those texts built once. Several threads may use one object.
class TTextesPersonnes {
 public:
  TTextesPersonnes(const TBD& db, const Clock& clock, const TVivants* vivants = nullptr);
  ~TTextesPersonnes();
  TTextesPersonnes(const TTextesPersonnes&) = delete;
  TTextesPersonnes& operator=(const TTextesPersonnes&) = delete;

  // Whether its texts are those of this database as vivants lets it show.
  bool Serves(const TBD& db, const TVivants* vivants) const {
    return &db == &db_ && vivants == vivants_;
  }
  // The tag expansion of tpl for each person.
  PersonText Texte(const std::string& tpl);
  const TIndexTexte& Index(const std::string& tpl);

 private:
  struct Modele;
  Modele& modele(const std::string& tpl);
  std::optional<std::string> texte(Modele& m, int32_t person);

  const TBD& db_;
  const Clock& clock_;
  const TVivants* vivants_;
  std::mutex mutex_;
  std::unordered_map<std::string, std::unique_ptr<Modele>> modeles_;
};

// The template language's "liste_" KIND (a, b), with evaluated argument texts, as a list text;
// an unknown KIND gives the empty text. Sorts and searches compare the tag expansion of a
// template (as vivants lets it show; through textes when given, so a generation expands each
// once), and the host's stop request cuts a sort short: the text is then empty and `stopped`,
// when given, is set. A person for whom the template asks a value that vivants hides sorts
// last, in list order, and no search finds them.
std::string ListeMotCle(const TBD& db, const std::string& kind, const std::string& a,
                        const std::string& b, Host* host = nullptr,
                        const Clock& clock = SystemClock(), const TVivants* vivants = nullptr,
                        TTextesPersonnes* textes = nullptr, bool* stopped = nullptr);

// The KINDs of "liste_" that ListeMotCle knows, as the engine's tag table declares them.
std::vector<std::string_view> ListKeywords();

// "nombre_" KIND: "individu", "union", "patronyme"; anything else gives the empty text.
std::string NombreMotCle(const TBD& db, const std::string& kind);

}  // namespace lignado
