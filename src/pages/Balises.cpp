#include "pages/Balises.h"

#include <algorithm>
#include <array>

#include "data/Base.h"
#include "genealogy/Calendriers.h"
#include "genealogy/DateLieu.h"
#include "genealogy/EnClair.h"
#include "genealogy/Evenements.h"
#include "genealogy/Rech.h"
#include "genealogy/Sosa.h"
#include "genealogy/Statistiques.h"
#include "genealogy/Vivants.h"
#include "pages/BalisesEvenements.h"
#include "pages/BalisesSources.h"
#include "pages/MediaKind.h"
#include "pages/Medias.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

using std::string;
using std::string_view;

// ---- what handlers share

bool hidden(TagState& s, bool h) {
  s.withheld = s.withheld || h;
  return h;
}
bool hiddenPerson(TagState& s, int32_t p) {
  return hidden(s, s.vivants && s.vivants->Masque(p));
}
// A union's events are hidden while one of its spouses is.
bool hiddenUnion(TagState& s, int32_t u) {
  return hidden(s, s.vivants && s.vivants->MasqueUnion(u));
}
// The first event of that kind of a person or a union (the one read) is hidden by its RESN.
bool hiddenFact(TagState& s, bool isUnion, int32_t owner, const string& kind) {
  if (!s.vivants || !s.vivants->FaitsRestreints()) return false;
  const TUnion* un = isUnion ? s.db.Union(owner) : nullptr;
  const TFiche* f = isUnion ? nullptr : s.db.Person(owner);
  const NumList* events = un ? &un->EventList : f ? &f->EventList : nullptr;
  if (!events) return false;
  for (int32_t e : *events)
    if (const TEve* ev = s.db.EventRecord(e); ev && ev->InUse && ev->Kind == kind)
      return hidden(s, s.vivants->MasqueEvenement(e));
  return false;
}
// The kind of event a person's field code reads, null for the others.
const string* kindOfCode(int code) {
  if (code < PersonCode::DdN || code > PersonCode::NoteE) return nullptr;
  static const string* const kinds[] = {&kNaissance, &kBapteme, &kDeces, &kSepulture};
  return kinds[(code - PersonCode::DdN) / 3];
}
string personEvent(TagState& s, int32_t p, const string& kind, int code) {
  return hiddenPerson(s, p) || hiddenFact(s, false, p, kind) ? string()
                                                             : s.db.GetPersonEvent(p, kind, code);
}
string unionEvent(TagState& s, int32_t u, const string& kind, int code) {
  return hiddenUnion(s, u) || hiddenFact(s, true, u, kind) ? string()
                                                           : s.db.GetUnionEvent(u, kind, code);
}

string crlfToBlank(string s) {
  size_t pos = 0;
  while ((pos = s.find("\r\n", pos)) != string::npos) s.replace(pos, 2, " ");
  return s;
}

// The N-th entry of a kinship list as the numbered navigation tags read it: 0 is the last,
// anything else outside 1..Nb (or not a number) is none.
int32_t pickEntry(const TR& list, string_view rest) {
  if (rest.empty()) return 0;  // the bare keyword closed at once
  int32_t v = ParseInt32(rest.substr(1)).value_or(-1);
  if (v == 0) return list.Lit(list.Nb);
  if (v < 1 || v > list.Nb) return 0;
  return list.Lit(v);
}

void appendJsUnit(string& out, unsigned unit) {
  out += "\\u";
  AppendHex(out, static_cast<unsigned char>(unit >> 8));
  AppendHex(out, static_cast<unsigned char>(unit & 0xFF));
}

// ---- navigation

string goStart(TagState& s, const TagRow&, string_view) {
  s.person = s.start;
  s.uni = 0;
  return {};
}
string goParent(TagState& s, const TagRow& row, string_view) {
  s.person = row.code == 0 ? s.db.GetFather(s.person) : s.db.GetMother(s.person);
  s.uni = 0;
  return {};
}
// code 1: the order of the records rather than of the marriages.
string goSpouse(TagState& s, const TagRow& row, string_view n) {
  s.person = pickEntry(row.code ? ConjointNumR(s.db, s.person) : ConjointNum(s.db, s.person), n);
  s.uni = 0;
  return {};
}
string goUnion(TagState& s, const TagRow& row, string_view n) {
  s.uni = pickEntry(row.code ? UnionNumR(s.db, s.person) : UnionNum(s.db, s.person), n);
  return {};
}

// ---- events: "<eve:KIND,FIELD>"

enum class Field { None, Date, Time, Place, Note };

string subField(const TBD& db, const string& sub, const string& raw) {
  auto nonZero = [](string s) { return s == "0" ? string() : s; };
  if (sub == "date" || sub == "heure" || sub == "lieu") return raw;
  if (sub == "jour") return nonZero(JourTexte(raw));
  if (sub == "mois") return nonZero(MoisTexte(raw));
  if (sub ==
      "ann\xE9"
      "e")
    return nonZero(AnneeTexte(raw));
  if (sub == "f\xEAte") return Fete(raw);
  if (sub == "zodiaque") return Zodiaque(raw);
  if (sub == "note") return crlfToBlank(raw);
  auto parts = SousChampsLieu(raw, db.PlaceForm);
  if (sub == "pays") return parts[kPays];
  if (sub == "r\xE9gion") return parts[kRegion];
  if (sub == "d\xE9partement") return parts[kDepartement];
  if (sub == "commune") return parts[kCommune];
  if (sub == "lieu-dit") return parts[kLieuDit];
  if (sub == "adresse") return parts[kLieuDit] + " " + parts[kCodePostal] + " " + parts[kCommune];
  return parts[kCodePostal];  // "code postal"
}

// An empty birth or death value hands over to the baptism or burial: the value is then a copy
// of the tag for that kind, marked " b" or " ()", to expand in turn.
string eventTag(TagState& s, const TagRow& row, string_view arg) {
  const size_t comma = arg.find(',');
  if (comma == string_view::npos || comma == 0) return {};
  const string kind(arg.substr(0, comma));
  string sub = LowerAscii(arg.substr(comma + 1));
  if (sub.rfind("code postal", 0) != 0) sub = sub.substr(0, sub.find(' '));
  // "date:clair", "lieu:clair": the value in words.
  bool inWords = false;
  if (size_t colon = sub.find(':'); colon != string::npos) {
    inWords = sub.compare(colon + 1, string::npos, "clair") == 0;
    sub.resize(colon);
    if (!inWords || (sub != "date" && sub != "lieu")) return {};
  }

  Field field = Field::None;
  if (sub == "date" || sub == "jour" || sub == "mois" ||
      sub ==
          "ann\xE9"
          "e" ||
      sub == "f\xEAte" || sub == "zodiaque")
    field = Field::Date;
  else if (sub == "heure")
    field = Field::Time;
  else if (sub == "lieu" || sub == "pays" || sub == "r\xE9gion" || sub == "d\xE9partement" ||
           sub == "commune" || sub == "lieu-dit" || sub.rfind("code postal", 0) == 0 ||
           sub == "adresse")
    field = Field::Place;
  else if (sub == "note")
    field = Field::Note;
  if (field == Field::None) return {};

  const int code = field == Field::Date    ? EventCode::Date
                   : field == Field::Time  ? EventCode::Time
                   : field == Field::Place ? EventCode::Place
                                           : EventCode::Note;
  string raw;
  if (s.uni != 0)
    raw = unionEvent(s, s.uni, kind, code);
  else if (s.person != 0)
    raw = personEvent(s, s.person, kind, code);

  string value = raw.empty() ? string() : subField(s.db, sub, raw);
  if (inWords) value = sub == "date" ? DateEnClair(value) : LieuEnClair(value);
  if (inWords && sub == "date") OldCalendarEventWords(s, kind, value);
  if (!value.empty()) return value;

  const string* other = kind == kNaissance ? &kBapteme : kind == kDeces ? &kSepulture : nullptr;
  if (other && !personEvent(s, s.person, *other, code).empty()) {
    s.retag = true;
    return "<" + string(row.name) + *other + string(arg.substr(comma)) +
           (other == &kBapteme ? " > b" : " > ()");
  }
  return {};
}

// ---- sources

string sourceField(TagState& s, const TagRow& row, string_view) {
  const TSrc* src = s.db.SourceRecord(s.start);
  if (!src || !src->InUse) return {};
  return row.code == 0 ? src->Title : crlfToBlank(src->Text);
}

// ---- the person

string surname(TagState& s, const TagRow&, string_view) {
  return s.db.GetSurname(s.person);
}
string givenNames(TagState& s, const TagRow&, string_view) {
  return s.db.GetGivenNames(s.person);
}
string personField(TagState& s, const TagRow& row, string_view) {
  const string* kind = kindOfCode(row.code);
  if (kind && hiddenFact(s, false, s.person, *kind)) return {};
  return s.db.GetPersonField(s.person, row.code);
}
string note(TagState& s, const TagRow&, string_view) {
  return crlfToBlank(s.db.GetPersonField(s.person, PersonCode::Note));
}
// An attribute whose OCCU or TITL line a RESN hides is left out, as its fact is.
string shownAttribute(TagState& s, const string& name) {
  if (!s.vivants) return s.db.GetAttribute(s.person, name);
  bool left = false;
  string value = s.vivants->Attribut(s.person, name, &left);
  hidden(s, left && value.empty());
  return value;
}
string profession(TagState& s, const TagRow&, string_view) {
  return shownAttribute(s, "Profession");
}
string attribute(TagState& s, const TagRow&, string_view name) {
  return name.empty() ? string() : shownAttribute(s, string(name));
}
string number(TagState& s, const TagRow&, string_view) {
  return std::to_string(s.person);
}
string sexWord(TagState& s, const TagRow&, string_view) {
  const int sex = s.db.GetSex(s.person);
  return sex == 0 ? "homme" : sex == 1 ? "femme" : "inconnu";
}
string age(TagState& s, const TagRow&, string_view) {
  string death = s.db.GetDeathDate(s.person);
  string birth = s.db.GetBirthDate(s.person);
  GregorianLifeDates(s.db, s.person, birth, death);
  if (hiddenFact(s, false, s.person, kDeces)) death.clear();
  if (hiddenFact(s, false, s.person, kNaissance)) birth.clear();
  return std::to_string(death.empty() ? AgeActuel(birth, s.clock) : AgeEntre(birth, death));
}
string nothing(TagState&, const TagRow&, string_view) {
  return {};
}
// So that a page can say why it shows so little; empty for anyone shown whole.
// ":auteur": hidden by the person's RESN line only, not as a living person.
string masked(TagState& s, const TagRow& row, string_view) {
  if (!s.vivants) return {};
  return (row.code ? s.vivants->MasqueAuteur(s.person) : s.vivants->Masque(s.person)) ? "oui" : "";
}

string summary(TagState& s, const TagRow&, string_view) {
  string out;
  auto item = [&out](char symbol, const string& date, const string& place) {
    DateComponents c = LitDate(date);
    bool d = c.qualifier.empty() && c.day != 0 && c.month != 0 && c.year != 0;
    bool l = !place.empty();
    if (!d && !l) return;
    if (!out.empty()) out += ' ';
    out += symbol;
    if (d != l) out += d ? 'd' : 'l';
  };
  const int32_t p = s.person;
  item('o', personEvent(s, p, kNaissance, EventCode::Date),
       personEvent(s, p, kNaissance, EventCode::Place));
  item('+', personEvent(s, p, kDeces, EventCode::Date),
       personEvent(s, p, kDeces, EventCode::Place));
  TRR unions = UnionNumR(s.db, p);
  for (int i = 1; i <= unions.Nb; ++i) {
    int32_t u = unions.Lit(i);
    item('x', unionEvent(s, u, kMariage, EventCode::Date),
         unionEvent(s, u, kMariage, EventCode::Place));
  }
  return out;
}

// "<ddn PATTERN>": the first "JJ", "MM" and "AA" of the pattern become day, month and year.
string birthPattern(TagState& s, const TagRow&, string_view patternText) {
  const bool hide =
      (s.vivants && s.vivants->Masque(s.person)) || hiddenFact(s, false, s.person, kNaissance);
  DateComponents c = LitDate(hide ? string() : s.db.GetPersonField(s.person, PersonCode::DdN));
  string pattern(patternText);
  auto put = [&pattern](const char* key, int v) {
    size_t pos = pattern.find(key);
    if (pos != string::npos) pattern.replace(pos, 2, std::to_string(v));
  };
  put("JJ", c.day);
  put("MM", c.month);
  put("AA", c.year);
  return c.qualifier + " " + pattern;
}

// The date or place of the latest union.
string latestUnionField(TagState& s, const TagRow& row, string_view) {
  const int32_t u = DerniereUnion(s.db, s.person);
  const bool divorce = row.code == UnionCode::DdS || row.code == UnionCode::LdS;
  return hiddenUnion(s, u) || hiddenFact(s, true, u, divorce ? kDivorce : kMariage)
             ? string()
             : s.db.GetUnionField(u, row.code);
}

// ---- Sosa and d'Aboville numbers, relative to the reference person of TBD::Numbering

enum SosaCode { kSosa, kSosaTous, kAboville, kGeneration, kGroupe };

string sosaNumber(TagState& s, const TagRow& row, string_view) {
  const TSosa* numbers = s.db.Numbering();
  if (!numbers) return {};
  switch (row.code) {
    case kSosa:
      return numbers->Sosa(s.person);
    case kSosaTous: {
      string out;
      for (const string& n : numbers->AllSosa(s.person)) out += (out.empty() ? "" : ", ") + n;
      if (numbers->MoreSosa(s.person)) out += ", \x85";
      return out;
    }
    case kAboville:
      return numbers->Aboville(s.person);
    case kGroupe: {
      const int32_t g = numbers->Group(s.person);
      return g > 0 ? std::to_string(g) : string();
    }
    default: {
      const int g = numbers->Generation(s.person);
      return g > 0 ? std::to_string(g) : string();
    }
  }
}

// ---- the site

// The year of a person's event for a description, with the date's qualifier in French: "en
// 1895", "vers 1895", "avant 1895", "apr\xE8s 1895", "entre 1890 et 1895", "estim\xE9 1895",
// "calcul\xE9 1895"; Gregorian years, whatever calendar the file wrote. Empty without a year.
string descriptionYear(TagState& s, int32_t p, const string& kind) {
  if (hiddenFact(s, false, p, kind)) return {};
  const EvenementListe e = PremierEvenementPersonne(s.db, p, kind);
  if (!e.eve) return {};
  string gedcom;  // the file's qualifier, when the import kept the date as the file wrote it
  if (e.plus && !e.plus->gedcomDate.empty())
    gedcom = LitDateOrigine(e.plus->gedcomDate).qualifier;
  else if (e.eve->Date.empty())
    return {};
  const DateParts parts = DecoupeDate(DateGregorienneEvenement(e));
  const int first = AnneeDate(parts.d1);
  const int second = parts.d2.empty() ? 0 : AnneeDate(parts.d2);
  if (first <= 0) return {};
  const string y = std::to_string(first);
  if (gedcom == "CAL") return "calcul\xE9 " + y;
  if (gedcom == "EST") return "estim\xE9 " + y;
  // The stored forms: "vers D", "avant D", "apr\xE8s D", "apr\xE8s D1 avant D2".
  if (second > 0 && parts.q2 == "avant")
    return second == first ? "en " + y : "entre " + y + " et " + std::to_string(second);
  if (parts.q1 == "vers") return "vers " + y;
  if (parts.q1 == "avant") return "avant " + y;
  if (parts.q1 == "apr\xE8s") return "apr\xE8s " + y;
  return "en " + y;
}

// A person page's description for a search engine's result, in French: the name, then the year
// and place of birth (else baptism) and of death (else burial) that the site shows; the name
// alone for a person whose data it hides.
string description(TagState& s, const TagRow&, string_view) {
  const int32_t p = s.person;
  const bool anonymous = s.vivants && s.vivants->Anonyme(p);
  const string given = anonymous ? kPersonneVivante : s.db.GetGivenNames(p);
  const string name = s.db.GetSurname(p);
  string out =
      "Fiche g\xE9n\xE9"
      "alogique de " +
      given + (given.empty() || name.empty() ? "" : " ") + name;
  if (hiddenPerson(s, p)) return out + ".";
  const int sex = s.db.GetSex(p);
  const char* ending = sex == 0 ? "" : sex == 1 ? "e" : "(e)";
  string facts;
  auto fact = [&](const string& kind, const string& other, const char* word,
                  const char* otherWord) {
    string year = descriptionYear(s, p, kind);
    string place = personEvent(s, p, kind, EventCode::Place);
    if (year.empty() && place.empty()) {
      year = descriptionYear(s, p, other);
      place = personEvent(s, p, other, EventCode::Place);
      word = otherWord;
    }
    if (!place.empty()) place = NomDeLieu(s.db, place);
    if (year.empty() && place.empty()) return;
    facts += (facts.empty() ? " : " : " ; ") + string(word) + ending;
    if (!year.empty()) facts += " " + year;
    if (!place.empty()) facts += " \xE0 " + place;
  };
  fact(kNaissance, kBapteme, "n\xE9", "baptis\xE9");
  fact(kDeces, kSepulture,
       "d\xE9"
       "c\xE9"
       "d\xE9",
       "inhum\xE9");
  return out + facts + ".";
}

// ---- media: "<photo N>", "<titre de photo N>" (1..count, 0 the last)

string mediaCount(TagState& s, const TagRow&, string_view) {
  return std::to_string(s.db.PersonMedia(s.person).size());
}
string media(TagState& s, const TagRow& row, string_view n) {
  const std::vector<TMedia>& list = s.db.PersonMedia(s.person);
  int32_t v = ParseInt32(n).value_or(-1);
  if (v == 0) v = static_cast<int32_t>(list.size());
  if (v < 1 || static_cast<size_t>(v) > list.size()) return {};
  const TMedia& m = list[static_cast<size_t>(v - 1)];
  return row.code ? m.Title : MediaSitePath(m.File);
}

// ---- media by number: champ(M, ...) with M from a "liste_media" list

enum MediaField {
  kMediaFichier,
  kMediaTitre,
  kMediaGenre,
  kMediaTaille,
  kMediaLien,
  kMediaImage,
  kMediaVignette,
  kMediaLargeur,
  kMediaHauteur,
  kMediaGrande
};

string mediaField(TagState& s, const TagRow& row, string_view) {
  const std::shared_ptr<const MediaSite> site = MediaSiteOf(s.db, s.vivants);
  const MediaSite::Entry* e = site->At(s.start);
  if (!e) return {};
  const MediaFacts* facts = site->Facts(e->site);
  const string ext = MediaExtension(e->site);
  const bool reduced = facts && !facts->thumbnail.empty();
  const bool picture = ShownAsPicture(*e, facts);
  const string size = facts ? FileSizeWords(facts->bytes) : string();
  auto title = [e] {
    return !e->title.empty() ? e->title : e->file.substr(e->file.find_last_of("/\\") + 1);
  };
  switch (row.code) {
    case kMediaFichier:
      return e->site;
    case kMediaTitre:
      return e->title;
    case kMediaGenre:
      return MediaKindWords(ext);
    case kMediaTaille:
      return size;
    case kMediaLien:
      return title() + " (" + MediaKindWords(ext) + (size.empty() ? "" : ", " + size) + ")";
    case kMediaImage:
      return picture ? "oui" : "";
    case kMediaVignette:
      return reduced ? facts->thumbnail : picture ? e->site : "";
    case kMediaGrande:
      return reduced ? facts->pageSize : picture ? e->site : "";
    case kMediaLargeur:
      return reduced ? std::to_string(facts->thumbnailSize.width) : "";
    case kMediaHauteur:
      return reduced ? std::to_string(facts->thumbnailSize.height) : "";
  }
  return {};
}

// The number of the person's first picture that a page can show.
string firstPicture(TagState& s, const TagRow&, string_view) {
  const std::shared_ptr<const MediaSite> site = MediaSiteOf(s.db, s.vivants);
  for (int32_t m : site->Numbers(s.db.PersonMedia(s.person))) {
    const MediaSite::Entry* e = site->At(m);
    if (ShownAsPicture(*e, site->Facts(e->site))) return std::to_string(m);
  }
  return {};
}

// ---- the table

using F = TagFamily;
using A = TagArgument;
using L = TagLiving;
constexpr uint8_t kDate = kFormClair | kFormAnnee;
constexpr uint8_t kPlace = kFormClair;

const TagRow kRows[] = {
    {"individu", F::Navigation, A::None, 0, L::Shown, goStart, 0},
    {"p\xE8re", F::Navigation, A::None, 0, L::Shown, goParent, 0},
    {"i-p\xE8re", F::Navigation, A::None, 0, L::Shown, goParent, 0},
    {"m\xE8re", F::Navigation, A::None, 0, L::Shown, goParent, 1},
    {"i-m\xE8re", F::Navigation, A::None, 0, L::Shown, goParent, 1},
    {"conjoint", F::Navigation, A::After, 0, L::Shown, goSpouse, 0},
    {"i-conjoint", F::Navigation, A::After, 0, L::Shown, goSpouse, 1},
    {"union", F::Navigation, A::After, 0, L::Shown, goUnion, 0},
    {"i-union", F::Navigation, A::After, 0, L::Shown, goUnion, 1},

    {"eve:", F::Event, A::After, 0, L::Shown, eventTag, 0},
    {"\xE9v\xE9:", F::Event, A::After, 0, L::Shown, eventTag, 0},
    {"\xE9v\xE8:", F::Event, A::After, 0, L::Shown, eventTag, 0},

    {"source:titre", F::Source, A::None, 0, L::Shown, sourceField, 0},
    {"source:texte", F::Source, A::None, 0, L::Shown, sourceField, 1},

    // ---- citations and sources: the record whose number the expansion was given
    {"source:auteur", F::Source, A::None, 0, L::Shown, SourceTag, kAuteur},
    {"source:publication", F::Source, A::None, 0, L::Shown, SourceTag, kPublication},
    {"source:d\xE9p\xF4t", F::Source, A::None, 0, L::Shown, SourceTag, kDepot},
    {"source:note", F::Source, A::None, 0, L::Shown, SourceTag, kNoteSource},
    {"source:publi\xE9"
     "e",
     F::Source, A::None, 0, L::Shown, SourceTag, kPubliee},
    {"citation:rang", F::Source, A::None, 0, L::Shown, CitationTag, kRang},
    {"citation:fait", F::Source, A::None, 0, L::Shown, CitationTag, kFait},
    {"citation:source", F::Source, A::None, 0, L::Shown, CitationTag, kSource},
    {"citation:titre", F::Source, A::None, 0, L::Shown, CitationTag, kTitre},
    {"citation:page", F::Source, A::None, 0, L::Shown, CitationTag, kPage},
    {"citation:texte", F::Source, A::None, 0, L::Shown, CitationTag, kTexte},
    {"citation:qualit\xE9", F::Source, A::None, 0, L::Shown, CitationTag, kQualite},
    {"union:mari", F::Source, A::None, 0, L::Shown, UnionTag, kMari},
    {"union:femme", F::Source, A::None, 0, L::Shown, UnionTag, kFemme},

    {"nom", F::Person, A::None, 0, L::Shown, surname, 0},
    {"pre", F::Person, A::None, 0, L::GivenName, givenNames, 0},
    {"pr\xE9nom", F::Person, A::None, 0, L::GivenName, givenNames, 0},
    {"pr\xE9noms", F::Person, A::None, 0, L::GivenName, givenNames, 0},
    {"pr\xE9nom principal", F::Person, A::None, 0, L::GivenName, personField,
     PersonCode::UsualName},
    {"sexe", F::Person, A::None, 0, L::Shown, sexWord, 0},
    {"profession", F::Person, A::None, 0, L::Withheld, profession, 0},
    {"chp:", F::Person, A::After, 0, L::Withheld, attribute, 0},
    {"note", F::Person, A::None, 0, L::Withheld, note, 0},
    {"age", F::Person, A::None, 0, L::Zero, age, 0},
    {"ks-num", F::Person, A::None, 0, L::Shown, number, 0},
    {"num\xE9ro", F::Person, A::None, 0, L::Shown, personField, PersonCode::RefNumber},
    // Sosa: not private data, shown for anyone.
    {"Sosa", F::Person, A::None, 0, L::Shown, sosaNumber, kSosa},
    {"Sosa:tous", F::Person, A::None, 0, L::Shown, sosaNumber, kSosaTous},
    {"Aboville", F::Person, A::None, 0, L::Shown, sosaNumber, kAboville},
    {"g\xE9n\xE9ration", F::Person, A::None, 0, L::Shown, sosaNumber, kGeneration},
    // the group of persons that parents, children and spouses link (its smallest number)
    {"groupe", F::Person, A::None, 0, L::Shown, sosaNumber, kGroupe},
    {"o+x", F::Person, A::None, 0, L::Withheld, summary, 0},
    {"masqu\xE9", F::Person, A::None, 0, L::Marker, masked, 0},
    {"masqu\xE9:auteur", F::Person, A::None, 0, L::Marker, masked, 1},
    // the site: a person page's description for search engines (hidden data left out)
    {"description", F::Person, A::None, 0, L::Shown, description, 0},
    {"h", F::Condition, A::None, 0, L::Shown, nothing, 0},
    {"f", F::Condition, A::None, 0, L::Shown, nothing, 0},

    {"ddn", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdN},
    {"date de naissance", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdN},
    {"ddb", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdB},
    {"date de bapt\xEAme", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdB},
    {"ddd", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdD},
    {"date de d\xE9"
     "c\xE8s",
     F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdD},
    {"dds", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdE},
    {"date de s\xE9pulture", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdE},
    {"ddm", F::Date, A::None, kDate, L::Withheld, latestUnionField, UnionCode::DdM},
    {"date de mariage", F::Date, A::None, kDate, L::Withheld, latestUnionField, UnionCode::DdM},
    {"date de divorce", F::Date, A::None, kDate, L::Withheld, latestUnionField, UnionCode::DdS},
    {"date cr\xE9\xE9", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::Dcree},
    {"date maj", F::Date, A::None, kDate, L::Withheld, personField, PersonCode::DdMAJ},
    {"ddn ", F::Date, A::After, 0, L::NoDate, birthPattern, 0},

    {"ldn", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdN},
    {"lieu de naissance", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdN},
    {"ldb", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdB},
    {"lieu de bapt\xEAme", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdB},
    {"ldd", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdD},
    {"lieu de d\xE9"
     "c\xE8s",
     F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdD},
    {"lds", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdE},
    {"lieu de s\xE9pulture", F::Place, A::None, kPlace, L::Withheld, personField, PersonCode::LdE},
    {"ldm", F::Place, A::None, kPlace, L::Withheld, latestUnionField, UnionCode::LdM},
    {"lieu de mariage", F::Place, A::None, kPlace, L::Withheld, latestUnionField, UnionCode::LdM},
    {"lieu de divorce", F::Place, A::None, kPlace, L::Withheld, latestUnionField, UnionCode::LdS},

    {"nombre de photos", F::Media, A::None, 0, L::Zero, mediaCount, 0},
    {"photo ", F::Media, A::After, 0, L::Withheld, media, 0},
    {"titre de photo ", F::Media, A::After, 0, L::Withheld, media, 1},

    // Events of the lists, by the number liste_evenement gives (BalisesEvenements).
    {"\xE9v\xE9nement:genre", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::Kind},
    {"\xE9v\xE9nement:date", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::Date},
    {"\xE9v\xE9nement:date:clair", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::DateInWords},
    {"\xE9v\xE9nement:date:ann\xE9"
     "e",
     F::EventItem, A::None, 0, L::Withheld, EventItemField, EventItemCode::DateYear},
    {"\xE9v\xE9nement:lieu", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::Place},
    {"\xE9v\xE9nement:lieu:clair", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::PlaceInWords},
    {"\xE9v\xE9nement:note", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::Note},
    {"\xE9v\xE9nement:\xE2ge", F::EventItem, A::None, 0, L::Withheld, EventItemField,
     EventItemCode::Age},

    // ---- media: the files of persons, events, unions and sources, by number
    {"premi\xE8re image", F::Media, A::None, 0, L::Withheld, firstPicture, 0},
    {"m\xE9\x64ia:fichier", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaFichier},
    {"m\xE9\x64ia:titre", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaTitre},
    {"m\xE9\x64ia:genre", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaGenre},
    {"m\xE9\x64ia:taille", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaTaille},
    {"m\xE9\x64ia:lien", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaLien},
    {"m\xE9\x64ia:image", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaImage},
    {"m\xE9\x64ia:vignette", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaVignette},
    {"m\xE9\x64ia:largeur", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaLargeur},
    {"m\xE9\x64ia:hauteur", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaHauteur},
    {"m\xE9\x64ia:grande", F::MediaFile, A::None, 0, L::Shown, mediaField, kMediaGrande},

    {"parent", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"enfant", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"fatrie", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"conjoint", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"tous", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"asc", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"des", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"commencepar", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"trie", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"tranches", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"tranche", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"initiales", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"initiale", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"source", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"citation", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"renvoi", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"citeur", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"citeurunion", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"photo", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"sosa", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"generations", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"evenement", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"media", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"media_evenement", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"media_union", F::List, A::None, 0, L::Shown, nullptr, 0},
    {"media_source", F::List, A::None, 0, L::Shown, nullptr, 0},

    {"champ", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"evalue", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"include", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"nombre", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"date", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"heure", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"nombre_individu", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"nombre_union", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"nombre_patronyme", F::Function, A::None, 0, L::Shown, nullptr, 0},

    // ---- the site: a page's address when the site has one, the figures of a statistics page
    {"adresse_page", F::Function, A::None, 0, L::Shown, nullptr, 0},
    {"statistique", F::Function, A::None, 0, L::Shown, nullptr, 0},
};

bool isTag(const TagRow& r) {
  return r.family != F::List && r.family != F::Function;
}

// Tags by name, for a look-up without a chain of tests.
struct Index {
  std::vector<const TagRow*> exact;  // sorted by name
  std::vector<const TagRow*> after;  // keywords followed by a text
  Index() {
    for (const TagRow& r : kRows) {
      if (!isTag(r)) continue;
      (r.argument == A::None ? exact : after).push_back(&r);
    }
    std::sort(exact.begin(), exact.end(),
              [](const TagRow* a, const TagRow* b) { return a->name < b->name; });
  }
  const TagRow* find(string_view name) const {
    auto it = std::lower_bound(exact.begin(), exact.end(), name,
                               [](const TagRow* r, string_view n) { return r->name < n; });
    return it != exact.end() && (*it)->name == name ? *it : nullptr;
  }
};
const Index& index() {
  static const Index i;
  return i;
}

constexpr string_view kAnneeForm =
    "ann\xE9"
    "e";

// The row of a tag's inner text, with the forms it carries (in the order to apply them).
bool resolve(string_view inner, TagRef& ref) {
  if ((ref.row = index().find(inner))) return true;
  if (size_t colon = inner.rfind(':'); colon != string_view::npos) {
    string_view form = inner.substr(colon + 1);
    const uint8_t bit = form == "clair" ? kFormClair : form == kAnneeForm ? kFormAnnee : 0;
    TagRef base;
    if (bit && resolve(inner.substr(0, colon), base) && (base.row->forms & bit)) {
      ref = std::move(base);
      ref.forms += bit == kFormClair ? 'c' : 'a';
      return true;
    }
  }
  for (const TagRow* r : index().after) {
    if (inner.substr(0, r->name.size()) == r->name) {
      ref.row = r;
      ref.argument = inner.substr(r->name.size());
      ref.forms.clear();
      return true;
    }
  }
  return false;
}

// Unknown tags of these families give nothing, and never count as a hidden value.
bool freeOfLivingRule(string_view inner) {
  return !inner.empty() && (inner[0] == 'i' || inner[0] == 'e' || inner[0] == '\xE9' ||
                            inner.starts_with("source:") || inner.starts_with("citation:") ||
                            inner.starts_with("union:"));
}

const std::array<string_view, 130> kHtmlElements = {
    "a",        "abbr",    "acronym",    "address",  "applet",   "area",     "article",
    "aside",    "audio",   "b",          "base",     "basefont", "bdi",      "bdo",
    "big",      "blink",   "blockquote", "body",     "br",       "button",   "canvas",
    "caption",  "center",  "cite",       "code",     "col",      "colgroup", "data",
    "datalist", "dd",      "del",        "details",  "dfn",      "dialog",   "dir",
    "div",      "dl",      "dt",         "em",       "embed",    "fieldset", "figcaption",
    "figure",   "font",    "footer",     "form",     "frame",    "frameset", "h1",
    "h2",       "h3",      "h4",         "h5",       "h6",       "head",     "header",
    "hgroup",   "hr",      "html",       "i",        "iframe",   "img",      "input",
    "ins",      "kbd",     "label",      "legend",   "li",       "link",     "main",
    "map",      "mark",    "marquee",    "math",     "menu",     "meta",     "meter",
    "nav",      "nobr",    "noframes",   "noscript", "object",   "ol",       "optgroup",
    "option",   "output",  "p",          "param",    "picture",  "pre",      "progress",
    "q",        "rp",      "rt",         "ruby",     "s",        "samp",     "script",
    "search",   "section", "select",     "slot",     "small",    "source",   "span",
    "strike",   "strong",  "style",      "sub",      "summary",  "sup",      "svg",
    "table",    "tbody",   "td",         "template", "textarea", "tfoot",    "th",
    "thead",    "time",    "title",      "tr",       "track",    "tt",       "u",
    "ul",       "var",     "video",      "wbr"};

}  // namespace

std::span<const TagRow> TagTable() {
  return kRows;
}

TagRef ResolveTag(string_view tag) {
  TagRef ref;
  string_view inner = tag.size() >= 2 ? tag.substr(1, tag.size() - 2) : string_view();
  // ":js", on any tag but an event tag, writes its value for a script.
  while (inner.size() > 3 && inner.ends_with(":js") && inner[0] != 'e' && inner[0] != '\xE9') {
    inner.remove_suffix(3);
    ++ref.js;
  }
  const int js = ref.js;
  if (!resolve(inner, ref)) ref = TagRef{nullptr, inner, {}, 0};
  ref.js = js;
  return ref;
}

string ExpandTag(TagState& s, const TagRef& ref) {
  string value;
  const TagRow* row = ref.row;
  const bool needsPerson = !row || (row->family != F::Navigation && row->family != F::Event &&
                                    row->family != F::Source && row->family != F::EventItem &&
                                    row->family != F::MediaFile);
  const bool eventItem = row && row->family == F::EventItem;
  if (needsPerson && s.person == 0) {
    value.clear();
  } else if (!row) {
    // For a hidden person, a tag the table does not know is a value it cannot show.
    if (s.vivants && s.vivants->Masque(s.person) && !freeOfLivingRule(ref.argument))
      s.withheld = true;
  } else if ((needsPerson && s.vivants && s.vivants->Masque(s.person)) ||
             (eventItem && EventItemHidden(s))) {
    switch (row->living) {
      case L::Shown:
      case L::Marker:
        value = row->handler(s, *row, ref.argument);
        break;
      case L::GivenName:
        value =
            s.vivants->Anonyme(s.person) ? kPersonneVivante : row->handler(s, *row, ref.argument);
        break;
      case L::Withheld:
        s.withheld = true;
        break;
      case L::Zero:
        s.withheld = true;
        value = "0";
        break;
      case L::NoDate:
        s.withheld = true;
        value = row->handler(s, *row, ref.argument);
        break;
    }
  } else {
    value = row->handler(s, *row, ref.argument);
    for (size_t i = 0; i < ref.forms.size(); ++i) {
      const char form = ref.forms[i];
      // A date written in another calendar or form: in words as the file gives it, and the
      // year of its Gregorian day.
      if (i == 0 && row->family == F::Date && OldCalendarForm(s, *row, form, value)) continue;
      value = form == 'a'               ? AnneeEnClair(value)
              : row->family == F::Place ? LieuEnClair(value)
                                        : DateEnClair(value);
    }
  }
  for (int i = 0; i < ref.js; ++i) value = JsString(value);
  return value;
}

bool IsHtmlTag(string_view tag) {
  string_view inner = tag.size() >= 2 ? tag.substr(1, tag.size() - 2) : string_view();
  if (inner.starts_with('/')) inner.remove_prefix(1);
  if (inner.starts_with('!') || inner.starts_with('?')) return true;  // comment, declaration
  const string word = LowerAscii(inner.substr(0, inner.find_first_of(" \t\r\n/")));
  return std::find(kHtmlElements.begin(), kHtmlElements.end(), word) != kHtmlElements.end();
}

string UnknownTagSentence(string_view tag, bool* form) {
  if (form) *form = false;
  if (ResolveTag(tag).row || IsHtmlTag(tag)) return {};
  string_view inner = tag.substr(1, tag.size() - 2);
  if (size_t colon = inner.rfind(':'); colon != string_view::npos && colon > 0) {
    const string base = "<" + string(inner.substr(0, colon)) + ">";
    if (ResolveTag(base).row) {
      if (form) *form = true;
      return "Forme de balise inconnue : " + string(tag) + " (" + base +
             " ne prend pas la forme :" + string(inner.substr(colon + 1)) + ")";
    }
  }
  return "Balise inconnue : " + string(tag);
}

void AppendHtmlText(string& out, string_view value) {
  for (size_t i = 0; i < value.size(); ++i) {
    const char c = value[i];
    unsigned cp = 0;
    switch (c) {
      case '&':
        if (size_t len = ImportReferenceAt(value, i, cp)) {
          out.append(value, i, len);
          i += len - 1;
        } else {
          out += "&amp;";
        }
        break;
      case '<':
        out += "&lt;";
        break;
      case '>':
        out += "&gt;";
        break;
      case '"':
        out += "&quot;";
        break;
      case '\'':
        out += "&#39;";
        break;
      case '$':  // a template's text would take "$500" or "$fil" for one of its variables
        out += "&#36;";
        break;
      default:
        out += c;
    }
  }
}

string JsString(string_view s) {
  string out;
  out.reserve(s.size());
  for (size_t i = 0; i < s.size(); ++i) {
    const unsigned char c = static_cast<unsigned char>(s[i]);
    unsigned cp = 0;
    if (size_t len = c == '&' ? ImportReferenceAt(s, i, cp) : 0) {
      // Beyond the first plane, the two halves of its UTF-16 form.
      if (cp >= 0x10000) {
        appendJsUnit(out, 0xD800 + ((cp - 0x10000) >> 10));
        cp = 0xDC00 + ((cp - 0x10000) & 0x3FF);
      }
      appendJsUnit(out, cp);
      i += len - 1;
    } else if (c == '\\') {
      out += "\\\\";
    } else if (c < 0x20 || c == '<' || c == '>' || c == '"' || c == '\'' || c == '&' || c == '$') {
      out += "\\x";
      AppendHex(out, c);
    } else {
      out += static_cast<char>(c);
    }
  }
  return out;
}

}  // namespace lignado
