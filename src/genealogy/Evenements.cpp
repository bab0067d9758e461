#include "genealogy/Evenements.h"

#include <algorithm>
#include <cstring>

#include "data/Base.h"
#include "genealogy/Calendriers.h"
#include "genealogy/DateLieu.h"
#include "genealogy/EnClair.h"

namespace lignado {
namespace {

struct KindName {
  const char* tag;
  const char* name;
};

// GEDCOM tags and those of other programs, in French.
const KindName kNames[] = {
    {"ADOP", "Adoption"},
    {"ANUL", "Annulation"},
    {"BAPM", "Bapt\xEAme"},
    {"BARM", "Bar-mitsva"},
    {"BAPL", "Bapt\xEAme (SDJ)"},
    {"BASM", "Bat-mitsva"},
    {"BIRT", "Naissance"},
    {"BLES",
     "B\xE9n\xE9"
     "diction"},
    {"BURI", "S\xE9pulture"},
    {"CAST", "Caste"},
    {"CENS", "Recensement"},
    {"CHR", "Bapt\xEAme"},
    {"CHRA", "Bapt\xEAme d'adulte"},
    {"CONF", "Confirmation"},
    {"CONL", "Confirmation (SDJ)"},
    {"CREM", "Cr\xE9mation"},
    {"DEAT",
     "D\xE9"
     "c\xE8s"},
    {"DIV", "Divorce"},
    {"DIVF", "Demande de divorce"},
    {"DSCR", "Description physique"},
    {"EDUC", "\xC9tudes"},
    {"EMIG", "\xC9migration"},
    {"ENGA",
     "Fian\xE7"
     "ailles"},
    {"ENDL", "Dotation (SDJ)"},
    {"EVEN", "\xC9v\xE9nement"},
    {"FACT", "Fait"},
    {"FCOM", "Premi\xE8re communion"},
    {"GRAD", "Dipl\xF4me"},
    {"IDNO", "Num\xE9ro d'identit\xE9"},
    {"IMMI", "Immigration"},
    {"MARB", "Publication des bans"},
    {"MARC", "Contrat de mariage"},
    {"MARL", "Autorisation de mariage"},
    {"MARR", "Mariage"},
    {"MARS", "Accord de mariage"},
    {"NATI", "Nationalit\xE9"},
    {"NATU", "Naturalisation"},
    {"NCHI", "Nombre d'enfants"},
    {"NMR", "Nombre de mariages"},
    {"OCCU", "Profession"},
    {"ORDN", "Ordination"},
    {"PROB", "Homologation du testament"},
    {"PROP", "Propri\xE9t\xE9"},
    {"RELI", "Religion"},
    {"RESI", "R\xE9sidence"},
    {"RETI", "Retraite"},
    {"SLGC", "Scellement aux parents (SDJ)"},
    {"SLGS", "Scellement au conjoint (SDJ)"},
    {"SSN",
     "Num\xE9ro de s\xE9"
     "curit\xE9 sociale"},
    {"TITL", "Titre"},
    {"WILL", "Testament"},
    {"_DCAUSE",
     "Cause du d\xE9"
     "c\xE8s"},
    {"_DEG", "Dipl\xF4me"},
    {"_ELEC", "\xC9lection"},
    {"_EXCM", "Excommunication"},
    {"_FUN", "Fun\xE9railles"},
    {"_MDCL",
     "Information m\xE9"
     "dicale"},
    {"_MILI", "Service militaire"},
    {"_MILT", "Service militaire"},
};

const char* nameOfTag(const std::string& tag) {
  for (const KindName& k : kNames)
    if (tag == k.tag) return k.name;
  return nullptr;
}

// A GEDCOM tag as the import stores it: upper-case letters, digits and "_".
bool looksLikeTag(const std::string& word) {
  if (word.empty()) return false;
  for (char c : word)
    if (!((c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_')) return false;
  return true;
}

// Lines the import stores as events that say nothing of a life: numbers and identifiers of the
// record, links to other records, a picture's path.
bool recordKeeping(const std::string& kind) {
  static const char* const tags[] = {
      "AFN", "ALIA", "ANCI", "ASSO", "DESI",    "EXID", "FSID", "OBJE",   "PHOTO",   "REFN",
      "RFN", "RIN",  "SUBM", "UID",  "_FSFTID", "_UID", "_UPD", "_PHOTO", "_PRIMARY"};
  const std::string tag = kind.substr(0, kind.find(' '));
  for (const char* t : tags)
    if (tag == t) return true;
  return false;
}

std::vector<EvenementListe> sorted(std::vector<EvenementListe> list) {
  std::vector<long> days;
  days.reserve(list.size());
  std::vector<size_t> order(list.size());
  for (size_t i = 0; i < list.size(); ++i) {
    order[i] = i;
    days.push_back(JourEvenement(list[i]));
  }
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) {
    if ((days[a] == 0) != (days[b] == 0)) return days[b] == 0;
    return days[a] < days[b];
  });
  std::vector<EvenementListe> out;
  out.reserve(list.size());
  for (size_t i : order) out.push_back(list[i]);
  return out;
}

std::vector<EvenementListe> records(const TBD& db, const NumList& events, int32_t p, int32_t u) {
  std::vector<EvenementListe> list;
  for (int32_t e : events) {
    const TEve* ev = db.EventRecord(e);
    if (ev && ev->InUse && !recordKeeping(ev->Kind))
      list.push_back({ev, db.Plus.Event(e), e, p, u});
  }
  return list;
}

EvenementListe firstOfKind(const TBD& db, const NumList& events, const std::string& kind, int32_t p,
                           int32_t u) {
  for (int32_t e : events) {
    const TEve* ev = db.EventRecord(e);
    if (ev && ev->InUse && ev->Kind == kind) return {ev, db.Plus.Event(e), e, p, u};
  }
  return {};
}

// A line the import kept raw from the file: a level number, a blank and a tag.
bool rawLine(std::string_view line) {
  size_t i = 0;
  while (i < line.size() && line[i] >= '0' && line[i] <= '9') ++i;
  if (i == 0 || i >= line.size() || line[i] != ' ') return false;
  const size_t tag = ++i;
  while (i < line.size() && line[i] != ' ') ++i;
  return looksLikeTag(std::string(line.substr(tag, i - tag)));
}

}  // namespace

std::vector<EvenementListe> EvenementsPersonne(const TBD& db, int32_t p) {
  const TFiche* f = db.Person(p);
  if (!f || !f->InUse) return {};
  std::vector<EvenementListe> list = records(db, f->EventList, p, 0);
  const std::vector<TFait>& facts = db.Plus.PersonFacts(p);
  int32_t n = facts.empty() ? 0 : db.FirstFactNumber(p);
  for (const TFait& fact : facts) list.push_back({&fact.eve, &fact.plus, n++, p, 0});
  return sorted(std::move(list));
}

std::vector<EvenementListe> EvenementsUnion(const TBD& db, int32_t u) {
  const TUnion* un = db.Union(u);
  if (!un || !un->InUse) return {};
  return sorted(records(db, un->EventList, 0, u));
}

EvenementListe EvenementNumero(const TBD& db, int32_t n) {
  int32_t fact = -1;
  const int32_t owner = db.EventOwner(n, &fact);
  if (owner == 0) return {};
  if (fact >= 0) {
    const std::vector<TFait>& facts = db.Plus.PersonFacts(owner);
    if (static_cast<size_t>(fact) >= facts.size()) return {};
    const TFait& f = facts[static_cast<size_t>(fact)];
    return {&f.eve, &f.plus, n, owner, 0};
  }
  const TEve* ev = db.EventRecord(n);
  if (!ev || !ev->InUse) return {};
  return {ev, db.Plus.Event(n), n, owner > 0 ? owner : 0, owner < 0 ? -owner : 0};
}

EvenementListe PremierEvenementPersonne(const TBD& db, int32_t p, const std::string& kind) {
  const TFiche* f = db.Person(p);
  return f && f->InUse ? firstOfKind(db, f->EventList, kind, p, 0) : EvenementListe{};
}

EvenementListe PremierEvenementUnion(const TBD& db, int32_t u, const std::string& kind) {
  const TUnion* un = db.Union(u);
  return un && un->InUse ? firstOfKind(db, un->EventList, kind, 0, u) : EvenementListe{};
}

std::string NomEvenement(const EvenementListe& e) {
  if (!e.eve) return "";
  if (e.plus && !e.plus->tag.empty())
    if (const char* name = nameOfTag(e.plus->tag)) return name;
  const std::string& kind = e.eve->Kind;
  if (kind.empty()) return nameOfTag("EVEN");
  // A tag the import kept, with the TYPE that refines it; else the kind as written (the
  // fixed kinds, an EVEN's TYPE).
  const size_t blank = kind.find(' ');
  const std::string tag = kind.substr(0, blank);
  if (!looksLikeTag(tag)) return kind;
  const std::string type = blank == std::string::npos ? "" : kind.substr(blank + 1);
  const char* name = nameOfTag(tag);
  if (tag == "EVEN" || tag == "FACT") return type.empty() ? name : type;
  std::string shown = name ? name : tag[0] == '_' ? tag.substr(1) : tag;
  return type.empty() ? shown : shown + " (" + type + ")";
}

std::string DateEvenementEnClair(const EvenementListe& e) {
  if (!e.eve) return "";
  if (e.plus && !e.plus->gedcomDate.empty()) {
    std::string words = DateOrigineEnClair(LitDateOrigine(e.plus->gedcomDate));
    if (!words.empty()) return words;
  }
  return DateEnClair(e.eve->Date);
}

long JourEvenement(const EvenementListe& e) {
  if (!e.eve) return 0;
  if (e.plus && !e.plus->gedcomDate.empty()) {
    const long day = JourDeTri(LitDateOrigine(e.plus->gedcomDate));
    if (day != 0) return day;
  }
  if (e.eve->Date.empty()) return 0;
  const DateComponents c = LitDate(e.eve->Date);
  PointDate p;
  p.year = c.year;
  p.month = c.month;
  p.day = c.day;
  return JourJulien(p);
}

std::string DateGregorienneEvenement(const EvenementListe& e) {
  if (!e.eve) return "";
  if (e.plus && !e.plus->gedcomDate.empty()) {
    std::string text = DateGregorienne(LitDateOrigine(e.plus->gedcomDate));
    if (!text.empty()) return text;
  }
  return e.eve->Date;
}

std::string AgeEvenement(const TBD& db, const EvenementListe& e) {
  if (!e.eve || e.personne == 0) return "";
  const std::string birth =
      DateGregorienneEvenement(PremierEvenementPersonne(db, e.personne, kNaissance));
  const std::string date = DateGregorienneEvenement(e);
  if (AnneeDate(birth) == 0 || AnneeDate(date) == 0) return "";
  // A date before the birth gives no age, not 0.
  if (JourEvenement(e) < JourEvenement(PremierEvenementPersonne(db, e.personne, kNaissance)))
    return "";
  return std::to_string(AgeEntre(birth, date));
}

std::string NoteEvenement(const EvenementListe& e) {
  if (!e.eve) return "";
  std::string out;
  std::string_view note = e.eve->Note;
  while (!note.empty()) {
    const size_t end = note.find("\r\n");
    std::string_view line = note.substr(0, end);
    note = end == std::string_view::npos ? std::string_view() : note.substr(end + 2);
    bool cited = false;
    if (e.plus)
      for (const TCitation& c : e.plus->citations)
        cited = cited || (!c.pointer.empty() && line == c.pointer) ||
                (c.pointer.empty() && c.inline_.find(line) != std::string::npos);
    if (line.empty() || cited || rawLine(line)) continue;
    if (!out.empty()) out += ' ';
    out += line;
  }
  return out;
}

}  // namespace lignado
