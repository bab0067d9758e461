#include "pages/Listes.h"

#include "data/Base.h"
#include "genealogy/Rech.h"
#include "pages/ListesSite.h"
#include "pages/Remplace.h"
#include "util/Text.h"

namespace lignado {

std::string ListeMotCle(const TBD& db, const std::string& kind, const std::string& a,
                        const std::string& b, Host* host, const Clock& clock,
                        const TVivants* vivants) {
  if (std::optional<std::string> site = ListeSite(db, kind, a, b, vivants)) return *site;
  auto number = [](const std::string& text) { return Int32AfterBlanks(text); };
  if (kind == "parent") return ListeVersTexte(ParentNum(db, number(a)));
  if (kind == "enfant") return ListeVersTexte(EnfantNum(db, number(a)));
  if (kind == "fatrie") return ListeVersTexte(FratrieNum(db, number(a)));
  if (kind == "conjoint") return ListeVersTexte(ConjointNum(db, number(a)));
  if (kind == "tous") return ListeVersTexte(TousNum(db));
  if (kind == "asc") return ListeVersTexte(AscendantNum(db, number(a), number(b)));
  if (kind == "des") return ListeVersTexte(DescendantNum(db, number(a), number(b)));
  // Sorts and searches compare the expansion of template a.
  PersonText expansion = [&](int32_t person) { return ExpandTags(db, person, a, clock, vivants); };
  if (kind == "commencepar") return ListeVersTexte(CommencePar(db, expansion, b));
  if (kind == "trie") {
    TR list = TexteVersListe(b, db.Capacity());
    TrieParTexte(list, expansion, host);
    return ListeVersTexte(list);
  }
  return "";
}

std::string NombreMotCle(const TBD& db, const std::string& kind) {
  if (kind == "individu") return std::to_string(db.UsedPersonCount());
  if (kind == "union") return std::to_string(db.ValidUnionCount());
  if (kind == "patronyme") return std::to_string(ValeursDistinctes(db, PersonCode::Nom).Nb);
  return "";
}

}  // namespace lignado
