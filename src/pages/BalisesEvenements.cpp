#include "pages/BalisesEvenements.h"

#include "data/Base.h"
#include "genealogy/Calendriers.h"
#include "genealogy/EnClair.h"
#include "genealogy/Evenements.h"
#include "genealogy/Rech.h"
#include "genealogy/Vivants.h"
#include "util/Text.h"

namespace lignado {

bool EventItemHidden(const TagState& s) {
  if (!s.vivants) return false;
  const EvenementListe e = EvenementNumero(s.db, s.start);
  return (e.personne && s.vivants->Masque(e.personne)) ||
         (e.union_ && s.vivants->MasqueUnion(e.union_)) || TVivants::MasqueFait(e.plus);
}

std::string EventItemField(TagState& s, const TagRow& row, std::string_view) {
  const EvenementListe e = EvenementNumero(s.db, s.start);
  if (!e.eve) return {};
  switch (row.code) {
    case EventItemCode::Kind:
      return NomEvenement(e);
    case EventItemCode::Date:
      return e.eve->Date;
    case EventItemCode::DateInWords:
      return DateEvenementEnClair(e);
    case EventItemCode::DateYear:
      return AnneeEnClair(DateGregorienneEvenement(e));
    case EventItemCode::Place:
      return e.eve->Place;
    case EventItemCode::PlaceInWords:
      return LieuEnClair(e.eve->Place);
    case EventItemCode::Note:
      return NoteEvenement(e);
    case EventItemCode::Age:
      return AgeEvenement(s.db, e);
  }
  return {};
}

bool OldCalendarForm(const TagState& s, const TagRow& row, char form, std::string& value) {
  const std::string* kind = nullptr;
  bool ofUnion = false;
  switch (row.code) {
    case PersonCode::DdN:
      kind = &kNaissance;
      break;
    case PersonCode::DdB:
      kind = &kBapteme;
      break;
    case PersonCode::DdD:
      kind = &kDeces;
      break;
    case PersonCode::DdE:
      kind = &kSepulture;
      break;
    default:
      break;
  }
  // "<ddm>" and "<date de divorce>" read the latest union (their codes are union codes).
  if (row.name == "ddm" || row.name == "date de mariage") {
    kind = &kMariage;
    ofUnion = true;
  } else if (row.name == "date de divorce") {
    kind = &kDivorce;
    ofUnion = true;
  }
  if (!kind) return false;
  const EvenementListe e = ofUnion
                               ? PremierEvenementUnion(s.db, DerniereUnion(s.db, s.person), *kind)
                               : PremierEvenementPersonne(s.db, s.person, *kind);
  if (!e.plus || e.plus->gedcomDate.empty()) return false;
  // A fact its RESN hides: the tag gave nothing, and its old-calendar words give nothing.
  if (s.vivants && TVivants::MasqueFait(e.plus)) {
    value.clear();
    return true;
  }
  value = form == 'c' ? DateEvenementEnClair(e) : AnneeEnClair(DateGregorienneEvenement(e));
  return true;
}

void OldCalendarEventWords(const TagState& s, const std::string& kind, std::string& value) {
  if (s.uni == 0 && s.person == 0) return;
  if (s.vivants && (s.uni ? s.vivants->MasqueUnion(s.uni) : s.vivants->Masque(s.person))) return;
  const EvenementListe e = s.uni ? PremierEvenementUnion(s.db, s.uni, kind)
                                 : PremierEvenementPersonne(s.db, s.person, kind);
  if (e.plus && !e.plus->gedcomDate.empty() && !(s.vivants && TVivants::MasqueFait(e.plus)))
    value = DateEvenementEnClair(e);
}

void GregorianLifeDates(const TBD& db, int32_t p, std::string& birth, std::string& death) {
  auto gregorian = [&](const std::string& kind, std::string& date) {
    const EvenementListe e = PremierEvenementPersonne(db, p, kind);
    if (e.plus && !e.plus->gedcomDate.empty()) date = DateGregorienneEvenement(e);
  };
  gregorian(kNaissance, birth);
  gregorian(kDeces, death);
}

std::string EventList(const TBD& db, const std::string& person, const std::string& unionRank,
                      const TVivants* vivants) {
  const int32_t p = Int32AfterBlanks(person);
  if (vivants && vivants->Masque(p)) return {};
  std::vector<EvenementListe> list;
  if (TrimBlanks(unionRank).empty()) {
    list = EvenementsPersonne(db, p);
  } else {
    // As "<union N>": 0 the latest, 1..count, anything else none.
    const TR unions = UnionNum(db, p);
    const int32_t n = ParseInt32(TrimBlanks(unionRank)).value_or(-1);
    const int32_t u = n == 0 ? unions.Lit(unions.Nb) : n >= 1 && n <= unions.Nb ? unions.Lit(n) : 0;
    if (u == 0 || (vivants && vivants->MasqueUnion(u))) return {};
    list = EvenementsUnion(db, u);
  }
  std::string out;
  for (const EvenementListe& e : list) {
    // A fact its RESN hides is not listed, whatever the mode.
    if (vivants && TVivants::MasqueFait(e.plus)) continue;
    if (!out.empty()) out += '|';
    out += std::to_string(e.numero);
  }
  return out;
}

}  // namespace lignado
