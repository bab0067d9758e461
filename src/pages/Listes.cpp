#include "pages/Listes.h"

#include <atomic>

#include "data/Base.h"
#include "genealogy/Rech.h"
#include "pages/Balises.h"
#include "pages/BalisesEvenements.h"
#include "pages/BalisesSources.h"
#include "pages/ListesSite.h"
#include "pages/Remplace.h"
#include "util/Text.h"

namespace lignado {

// One template's texts by person, filled as they are asked for; a text is written once, under
// the lock, and read without it once marked ready.
struct TTextesPersonnes::Modele {
  Modele(const std::string& t, int32_t persons)
      : tpl(t),
        texts(static_cast<size_t>(persons) + 1),
        ready(std::make_unique<std::atomic<bool>[]>(static_cast<size_t>(persons) + 1)) {}
  const std::string tpl;
  std::vector<std::optional<std::string>> texts;
  std::unique_ptr<std::atomic<bool>[]> ready;
  std::mutex write;
  std::once_flag indexed;
  std::unique_ptr<TIndexTexte> index;
};

TTextesPersonnes::TTextesPersonnes(const TBD& db, const Clock& clock, const TVivants* vivants)
    : db_(db), clock_(clock), vivants_(vivants) {}
TTextesPersonnes::~TTextesPersonnes() = default;

TTextesPersonnes::Modele& TTextesPersonnes::modele(const std::string& tpl) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::unique_ptr<Modele>& m = modeles_[tpl];
  if (!m) m = std::make_unique<Modele>(tpl, std::max(db_.PersonCount, 0));
  return *m;
}

std::optional<std::string> TTextesPersonnes::texte(Modele& m, int32_t person) {
  // A text that needs a value vivants hides is no text: the person has no value to show.
  auto expand = [&]() -> std::optional<std::string> {
    bool withheld = false;
    std::string text = ExpandTags(db_, person, m.tpl, clock_, vivants_, &withheld);
    if (withheld) return std::nullopt;
    return text;
  };
  if (person < 1 || static_cast<size_t>(person) >= m.texts.size()) return expand();
  if (m.ready[person].load(std::memory_order_acquire)) return m.texts[person];
  // Two threads may work out the same text at once; the first one stored wins, and both are
  // the same anyway.
  std::optional<std::string> text = expand();
  std::lock_guard<std::mutex> lock(m.write);
  if (!m.ready[person].load(std::memory_order_relaxed)) {
    m.texts[person] = std::move(text);
    m.ready[person].store(true, std::memory_order_release);
  }
  return m.texts[person];
}

PersonText TTextesPersonnes::Texte(const std::string& tpl) {
  Modele* m = &modele(tpl);
  return [this, m](int32_t person) { return texte(*m, person); };
}

const TIndexTexte& TTextesPersonnes::Index(const std::string& tpl) {
  Modele& m = modele(tpl);
  std::call_once(m.indexed, [&] {
    m.index =
        std::make_unique<TIndexTexte>(db_, [this, &m](int32_t person) { return texte(m, person); });
  });
  return *m.index;
}

std::string ListeMotCle(const TBD& db, const std::string& kind, const std::string& a,
                        const std::string& b, Host* host, const Clock& clock,
                        const TVivants* vivants, TTextesPersonnes* textes, bool* stopped) {
  if (std::optional<std::string> site = ListeSite(db, kind, a, b, vivants)) return *site;
  if (std::optional<std::string> cited = ListeSources(db, kind, a, vivants)) return *cited;
  auto number = [](const std::string& text) { return Int32AfterBlanks(text); };
  if (kind == "parent") return ListeVersTexte(ParentNum(db, number(a)));
  if (kind == "enfant") return ListeVersTexte(EnfantNum(db, number(a)));
  if (kind == "fatrie") return ListeVersTexte(FratrieNum(db, number(a)));
  if (kind == "conjoint") return ListeVersTexte(ConjointNum(db, number(a)));
  if (kind == "tous") return ListeVersTexte(TousNum(db));
  if (kind == "evenement") return EventList(db, a, b, vivants);
  if (kind == "asc") return ListeVersTexte(AscendantNum(db, number(a), number(b)));
  if (kind == "des") return ListeVersTexte(DescendantNum(db, number(a), number(b)));
  if (kind != "commencepar" && kind != "trie") return "";
  // Sorts and searches compare the expansion of template a.
  std::unique_ptr<TTextesPersonnes> own;
  if (!textes || !textes->Serves(db, vivants)) {
    own = std::make_unique<TTextesPersonnes>(db, clock, vivants);
    textes = own.get();
  }
  if (kind == "commencepar") return ListeVersTexte(textes->Index(a).CommencePar(b, db.Capacity()));
  TR list = TexteVersListe(b, db.Capacity());
  // A list left partly sorted must never reach a page.
  if (!TrieParTexte(list, textes->Texte(a), host)) {
    if (stopped) *stopped = true;
    return {};
  }
  return ListeVersTexte(list);
}

std::vector<std::string_view> ListKeywords() {
  std::vector<std::string_view> out;
  for (const TagRow& r : TagTable())
    if (r.family == TagFamily::List) out.push_back(r.name);
  return out;
}

std::string NombreMotCle(const TBD& db, const std::string& kind) {
  if (kind == "individu") return std::to_string(db.UsedPersonCount());
  if (kind == "union") return std::to_string(db.ValidUnionCount());
  if (kind == "patronyme") return std::to_string(ValeursDistinctes(db, PersonCode::Nom).Nb);
  return "";
}

}  // namespace lignado
