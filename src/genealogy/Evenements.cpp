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

std::vector<EvenementListe> records(const TBD& db, const NumList& events) {
  std::vector<EvenementListe> list;
  for (int32_t e : events) {
    const TEve* ev = db.EventRecord(e);
    if (ev && ev->InUse) list.push_back({ev, db.Plus.Event(e)});
  }
  return list;
}

}  // namespace

std::vector<EvenementListe> EvenementsPersonne(const TBD& db, int32_t p) {
  const TFiche* f = db.Person(p);
  if (!f || !f->InUse) return {};
  std::vector<EvenementListe> list = records(db, f->EventList);
  for (const TFait& fact : db.Plus.PersonFacts(p))
    list.push_back({&fact.eve, fact.plus.gedcomDate.empty() ? nullptr : &fact.plus});
  return sorted(std::move(list));
}

std::vector<EvenementListe> EvenementsUnion(const TBD& db, int32_t u) {
  const TUnion* un = db.Union(u);
  if (!un || !un->InUse) return {};
  return sorted(records(db, un->EventList));
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

}  // namespace lignado
