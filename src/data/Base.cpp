#include "data/Base.h"

#include <algorithm>
#include <array>
#include <span>

#include "util/Text.h"

namespace lignado {

const char* const kPersonFieldNames[23] = {"Sexe", "Nom",   "Pre",   "NumP",  "NumM",  "DdN",
                                           "LdN",  "NoteN", "DdB",   "LdB",   "NoteB", "DdD",
                                           "LdD",  "NoteD", "DdE",   "LdE",   "NoteE", "Note",
                                           "Prof", "Photo", "Dcree", "DdMAJ", "Titre"};
const char* const kUnionFieldNames[7] = {"NumH", "NumF", "DdM", "LdM", "DdS", "LdS", "NoteU"};
const char* const kOptionNames[4] = {"doNum", "doDes", "doFichier", "doNote"};
const char* const kMainEventKinds[4] = {"Naissance",
                                        "D\xE9"
                                        "c\xE8s",
                                        "Bapt\xEAme", "S\xE9pulture"};
const char* const kMainEventTags[4] = {"BIRT", "DEAT", "BAPM", "CREM"};

namespace {

// Person codes DdN..NoteE map to (event kind, event field).
bool personEventCode(int code, const std::string** kind, int* field) {
  static const std::string* kinds[4] = {&kNaissance, &kBapteme, &kDeces, &kSepulture};
  static const int fields[3] = {EventCode::Date, EventCode::Place, EventCode::Note};
  if (code < PersonCode::DdN || code > PersonCode::NoteE) return false;
  *kind = kinds[(code - PersonCode::DdN) / 3];
  *field = fields[(code - PersonCode::DdN) % 3];
  return true;
}

// The event field of a code 1..6, for reading and writing alike; nullptr for other codes.
template <typename Eve>
auto eventFieldRef(Eve& e, int code) -> decltype(&e.Kind) {
  switch (code) {
    case EventCode::Kind:
      return &e.Kind;
    case EventCode::Date:
      return &e.Date;
    case EventCode::Time:
      return &e.Time;
    case EventCode::Place:
      return &e.Place;
    case EventCode::Note:
      return &e.Note;
    case EventCode::Quality:
      return &e.Quality;
    default:
      return nullptr;
  }
}

}  // namespace

TBD::TBD(int capacity)
    : capacity_(capacity == kGrowing ? kGrowing : std::max(capacity, 1)),
      persons_(Growing() ? 1 : capacity_ + 1),
      unions_(Growing() ? 1 : capacity_ + 1),
      events_(Growing() ? 1 : capacity_ + 1),
      sources_(Growing() ? 1 : capacity_ + 1) {}

int TBD::Capacity() const {
  return Growing() ? std::max({PersonCount, UnionCount, 1}) : capacity_;
}

int32_t TBD::limit() const {
  return Growing() ? INT32_MAX - 1 : capacity_;
}

void TBD::Clear() {
  // The slots stay, emptied, for the next import (a growing database keeps its high mark).
  for (int32_t p = 1; p <= PersonCount; ++p) ClearPerson(p);
  for (int32_t u = 1; u <= UnionCount; ++u) ClearUnion(u);
  for (int32_t s = 1; s <= SourceCount; ++s) ClearSource(s);
  PersonCount = UnionCount = SourceCount = EventCount = 0;
  PlaceForm.clear();
  SosaRoot = 0;
  numbering_.reset();
  Plus.Clear();
}

int32_t TBD::NewPerson() {
  int32_t p = 0;
  if (!AppendMode) {
    for (int32_t i = 1; i <= PersonCount; ++i)
      if (!persons_[i].InUse) {
        p = i;
        break;
      }
  }
  if (p == 0) {
    if (PersonCount >= limit()) return 0;
    p = ++PersonCount;
    if (static_cast<size_t>(p) >= persons_.size()) persons_.grow(p + 1);
  }
  ClearPerson(p);
  persons_[p].InUse = true;
  return p;
}

void TBD::ClearPerson(int32_t p) {
  if (!validPerson(p)) return;
  linksChanged();
  TFiche& f = persons_[p];
  f.InUse = false;
  f.Sexe = 0;
  f.Nom.clear();
  f.Pre.clear();
  f.Pointer.clear();
  f.NumP = f.NumM = 0;
  f.Note.clear();
  f.Dcree.clear();
  f.DdMAJ.clear();
  f.Attributes.clear();
  f.RefNumber.clear();
  while (!f.EventList.empty()) removeEvent(f.EventList, 1);
  Plus.DropPerson(p);
  f.SourceList.clear();
  f.Media.clear();
}

bool TBD::IsPersonUsed(int32_t p) const {
  return validPerson(p) && persons_[p].InUse;
}

int32_t TBD::UsedPersonCount() const {
  int32_t n = 0;
  for (int32_t p = 1; p <= PersonCount; ++p) n += persons_[p].InUse ? 1 : 0;
  return n;
}

int32_t TBD::NewUnion() {
  int32_t u = 0;
  if (!AppendMode) {
    for (int32_t i = 1; i <= UnionCount; ++i)
      if (!unions_[i].InUse) {
        u = i;
        break;
      }
  }
  if (u == 0) {
    if (UnionCount >= limit()) return 0;
    u = ++UnionCount;
    if (static_cast<size_t>(u) >= unions_.size()) unions_.grow(u + 1);
  }
  unions_[u].InUse = true;
  for (int code = UnionCode::NumH; code <= UnionCode::NoteU; ++code) SetUnionField(u, code, "");
  return u;
}

void TBD::ClearUnion(int32_t u) {
  if (!validUnion(u)) return;
  linksChanged();
  TUnion& un = unions_[u];
  un.InUse = false;
  un.NumH = un.NumF = 0;
  while (!un.EventList.empty()) removeEvent(un.EventList, 1);
}

bool TBD::IsUnionValid(int32_t u) const {
  return validUnion(u) && unions_[u].InUse && unions_[u].NumH > 0 && unions_[u].NumF > 0;
}

int32_t TBD::ValidUnionCount() const {
  int32_t n = 0;
  for (int32_t u = 1; u <= UnionCount; ++u) n += IsUnionValid(u) ? 1 : 0;
  return n;
}

void TBD::ClearSource(int32_t s) {
  if (s < 1 || s > SourceCount || static_cast<size_t>(s) >= sources_.size()) return;
  TSrc& src = sources_[s];
  src.InUse = false;
  src.Title.clear();
  src.Text.clear();
  src.File.clear();
}

int32_t TBD::NewSource() {
  if (SourceCount >= limit()) return 0;
  int32_t s = ++SourceCount;
  if (static_cast<size_t>(s) >= sources_.size()) sources_.grow(s + 1);
  return s;
}

// ---- events

void TBD::resetEvent(TEve& e) {
  e.InUse = false;
  e.Kind.clear();
  e.Date.clear();
  e.Time.clear();
  e.Place.clear();
  e.Note.clear();
  e.Spare.clear();
  e.Quality = "0";
}

int32_t TBD::addEvent(NumList& list) {
  int32_t cand = EventCount + 1;
  if (!AppendMode) {
    for (int32_t i = 1; i <= EventCount; ++i)
      if (!events_[i].InUse) {
        cand = i;
        break;
      }
  }
  if (cand > limit()) return 0;
  if (cand == EventCount + 1) {
    ++EventCount;
    if (static_cast<size_t>(cand) >= events_.size()) events_.grow(cand + 1);
  }
  resetEvent(events_[cand]);
  eventIndex_.Drop();
  Plus.DropEvent(cand);
  events_[cand].InUse = true;
  list.push_back(cand);
  return cand;
}

void TBD::removeEvent(NumList& list, int32_t index) {
  if (index < 1 || index > static_cast<int32_t>(list.size())) return;
  int32_t e = list[index - 1];
  if (heldEvent(e)) resetEvent(events_[e]);
  eventIndex_.Drop();
  Plus.DropEvent(e);
  list.erase(list.begin() + (index - 1));
}

std::string TBD::eventField(const NumList& list, int32_t index, int code) const {
  if (index < 1 || index > static_cast<int32_t>(list.size())) return {};
  int32_t e = list[index - 1];
  if (!heldEvent(e)) return {};
  const std::string* f = eventFieldRef(events_[e], code);
  return f ? *f : std::string();
}

void TBD::setEventField(const NumList& list, int32_t index, const std::string& text, int code) {
  if (index < 1 || index > static_cast<int32_t>(list.size())) return;
  int32_t e = list[index - 1];
  if (!heldEvent(e)) return;
  if (code == EventCode::Kind) eventIndex_.Drop();
  if (std::string* f = eventFieldRef(events_[e], code)) *f = text;
}

std::string TBD::firstEventOfKind(const NumList& list, const std::string& kind, int code) const {
  for (size_t i = 0; i < list.size(); ++i) {
    int32_t e = list[i];
    if (heldEvent(e) && events_[e].Kind == kind)
      return eventField(list, static_cast<int32_t>(i + 1), code);
  }
  return {};
}

void TBD::setEventOfKind(NumList& list, const std::string& kind, const std::string& text,
                         int code) {
  int32_t found = 0;
  for (size_t i = 0; i < list.size(); ++i) {
    int32_t e = list[i];
    if (heldEvent(e) && events_[e].Kind == kind) found = static_cast<int32_t>(i + 1);
  }
  if (found == 0) {
    if (text.empty() || addEvent(list) == 0) return;
    found = static_cast<int32_t>(list.size());
  }
  setEventField(list, found, text, code);
  setEventField(list, found, kind, EventCode::Kind);
}

int32_t TBD::AddPersonEvent(int32_t p) {
  return validPerson(p) ? addEvent(persons_[p].EventList) : 0;
}
int32_t TBD::PersonEventCount(int32_t p) const {
  return validPerson(p) ? static_cast<int32_t>(persons_[p].EventList.size()) : 0;
}
void TBD::RemovePersonEvent(int32_t p, int32_t index) {
  if (validPerson(p)) removeEvent(persons_[p].EventList, index);
}
std::string TBD::GetPersonEventField(int32_t p, int32_t index, int code) const {
  return validPerson(p) ? eventField(persons_[p].EventList, index, code) : std::string();
}
void TBD::SetPersonEventField(int32_t p, int32_t index, const std::string& text, int code) {
  if (validPerson(p)) setEventField(persons_[p].EventList, index, text, code);
}
std::string TBD::GetPersonEvent(int32_t p, const std::string& kind, int code) const {
  if (!validPerson(p)) return {};
  const int32_t e = indexedEvent(false, p, kind);
  if (e < 0) return firstEventOfKind(persons_[p].EventList, kind, code);
  const std::string* f = e ? eventFieldRef(events_[e], code) : nullptr;
  return f ? *f : std::string();
}
void TBD::SetPersonEvent(int32_t p, const std::string& kind, const std::string& text, int code) {
  if (validPerson(p)) setEventOfKind(persons_[p].EventList, kind, text, code);
}

int32_t TBD::AddUnionEvent(int32_t u) {
  return validUnion(u) ? addEvent(unions_[u].EventList) : 0;
}
int32_t TBD::UnionEventCount(int32_t u) const {
  return validUnion(u) ? static_cast<int32_t>(unions_[u].EventList.size()) : 0;
}
void TBD::RemoveUnionEvent(int32_t u, int32_t index) {
  if (validUnion(u)) removeEvent(unions_[u].EventList, index);
}
std::string TBD::GetUnionEventField(int32_t u, int32_t index, int code) const {
  return validUnion(u) ? eventField(unions_[u].EventList, index, code) : std::string();
}
void TBD::SetUnionEventField(int32_t u, int32_t index, const std::string& text, int code) {
  if (validUnion(u)) setEventField(unions_[u].EventList, index, text, code);
}
std::string TBD::GetUnionEvent(int32_t u, const std::string& kind, int code) const {
  if (!validUnion(u)) return {};
  const int32_t e = indexedEvent(true, u, kind);
  if (e < 0) return firstEventOfKind(unions_[u].EventList, kind, code);
  const std::string* f = e ? eventFieldRef(events_[e], code) : nullptr;
  return f ? *f : std::string();
}
void TBD::SetUnionEvent(int32_t u, const std::string& kind, const std::string& text, int code) {
  if (validUnion(u)) setEventOfKind(unions_[u].EventList, kind, text, code);
}

// ---- fields by code

std::string TBD::GetPersonField(int32_t p, int code) const {
  if (!validPerson(p)) return {};
  const TFiche& f = persons_[p];
  const std::string* kind;
  int field;
  if (personEventCode(code, &kind, &field)) return GetPersonEvent(p, *kind, field);
  switch (code) {
    case PersonCode::InUse:
      return f.InUse ? "1" : "0";
    case PersonCode::Sexe:
      return f.Sexe == 0 ? "H" : f.Sexe == 1 ? "F" : "I";
    case PersonCode::Nom:
      return f.Nom;
    case PersonCode::Pre:
      return f.Pre;
    case PersonCode::NumP:
      return std::to_string(f.NumP);
    case PersonCode::NumM:
      return std::to_string(f.NumM);
    case PersonCode::Note:
      return f.Note;
    case PersonCode::Prof:
      return GetAttribute(p, "Profession");
    case PersonCode::Dcree:
      return f.Dcree;
    case PersonCode::DdMAJ:
      return f.DdMAJ;
    case PersonCode::Titre:
      return f.Attributes;
    case PersonCode::UsualName:
      return UsualName(f.Pre);
    case PersonCode::FullName:
      return f.Nom + " " + f.Pre;
    case PersonCode::RefNumber:
      return f.RefNumber;
    case PersonCode::Extra1:
      return std::to_string(f.Extra1);
    case PersonCode::Extra2:
      return std::to_string(f.Extra2);
    default:
      return {};
  }
}

void TBD::SetPersonField(int32_t p, int code, const std::string& text) {
  if (!validPerson(p)) return;
  TFiche& f = persons_[p];
  const std::string* kind;
  int field;
  if (personEventCode(code, &kind, &field)) {
    SetPersonEvent(p, *kind, text, field);
    return;
  }
  switch (code) {
    case PersonCode::InUse:
      f.InUse = text == "1";
      linksChanged();
      break;
    case PersonCode::Sexe: {
      std::string l = LowerAscii(text);
      f.Sexe = l == "h" ? 0 : l == "f" ? 1 : 2;
      break;
    }
    case PersonCode::Nom:
      SetSurname(p, text);
      break;
    case PersonCode::Pre:
      f.Pre = text;
      break;
    case PersonCode::NumP:
      f.NumP = Int32AfterSpaces(text);
      linksChanged();
      break;
    case PersonCode::NumM:
      f.NumM = Int32AfterSpaces(text);
      linksChanged();
      break;
    case PersonCode::Note:
      f.Note = text;
      break;
    case PersonCode::Prof:
      SetAttribute(p, "Profession", text);
      break;
    case PersonCode::Dcree:
      f.Dcree = text;
      break;
    case PersonCode::DdMAJ:
      f.DdMAJ = text;
      break;
    case PersonCode::Titre:
      f.Attributes = text;
      break;
    case PersonCode::RefNumber:
      f.RefNumber = text;
      break;
    case PersonCode::Extra1:
      f.Extra1 = Int32AfterSpaces(text);
      break;
    case PersonCode::Extra2:
      f.Extra2 = Int32AfterSpaces(text);
      break;
    default:
      break;
  }
}

std::string TBD::GetUnionField(int32_t u, int code) const {
  if (!validUnion(u)) return {};
  switch (code) {
    case UnionCode::NumH:
      return std::to_string(unions_[u].NumH);
    case UnionCode::NumF:
      return std::to_string(unions_[u].NumF);
    case UnionCode::DdM:
      return GetUnionEvent(u, kMariage, EventCode::Date);
    case UnionCode::DdS:
      return GetUnionEvent(u, kDivorce, EventCode::Date);
    case UnionCode::LdM:
      return GetUnionEvent(u, kMariage, EventCode::Place);
    case UnionCode::LdS:
      return GetUnionEvent(u, kDivorce, EventCode::Place);
    case UnionCode::NoteU:
      return GetUnionEvent(u, kMariage, EventCode::Note);
    default:
      return {};
  }
}

void TBD::SetUnionField(int32_t u, int code, const std::string& text) {
  if (!validUnion(u)) return;
  switch (code) {
    case UnionCode::NumH:
      unions_[u].NumH = Int32AfterSpaces(text);
      linksChanged();
      break;
    case UnionCode::NumF:
      unions_[u].NumF = Int32AfterSpaces(text);
      linksChanged();
      break;
    case UnionCode::DdM:
      SetUnionEvent(u, kMariage, text, EventCode::Date);
      break;
    case UnionCode::DdS:
      SetUnionEvent(u, kDivorce, text, EventCode::Date);
      break;
    case UnionCode::LdM:
      SetUnionEvent(u, kMariage, text, EventCode::Place);
      break;
    case UnionCode::LdS:
      SetUnionEvent(u, kDivorce, text, EventCode::Place);
      break;
    case UnionCode::NoteU:
      SetUnionEvent(u, kMariage, text, EventCode::Note);
      break;
    default:
      break;
  }
}

// ---- attributes

namespace {

struct Triple {
  std::string type, name, value;
};

std::vector<Triple> splitTriples(const std::string& attributes) {
  std::vector<std::string> fields;
  std::string s = attributes + "|||";
  size_t start = 0;
  for (size_t i = 0; i < s.size(); ++i)
    if (s[i] == '|') {
      fields.push_back(s.substr(start, i - start));
      start = i + 1;
    }
  std::vector<Triple> out;
  for (size_t i = 0; i + 2 < fields.size(); i += 3)
    out.push_back({fields[i], fields[i + 1], fields[i + 2]});
  return out;
}

}  // namespace

std::string TBD::GetAttribute(int32_t p, const std::string& name) const {
  if (!validPerson(p)) return {};
  for (const Triple& t : splitTriples(persons_[p].Attributes))
    if (t.name == name) return t.value;
  return {};
}

std::vector<std::string> TBD::GetAttributeValues(int32_t p, const std::string& name) const {
  std::vector<std::string> out;
  if (!validPerson(p)) return out;
  for (Triple& t : splitTriples(persons_[p].Attributes))
    if (t.name == name) out.push_back(std::move(t.value));
  return out;
}

void TBD::SetAttribute(int32_t p, const std::string& name, const std::string& value) {
  if (!validPerson(p)) return;
  std::string& attrs = persons_[p].Attributes;
  // The "|||" padding of the lookup adds one empty triple at most; it vanishes on rebuild.
  std::vector<Triple> triples = splitTriples(attrs);
  bool found = false;
  std::string out;
  for (Triple& t : triples) {
    if (t.name == name) {
      t.type = "t";
      t.value = value;
      found = true;
    }
    if (!t.value.empty()) out += t.type + "|" + t.name + "|" + t.value + "|";
  }
  if (!found && !value.empty()) out += "t|" + name + "|" + value + "|";
  attrs = out;
}

bool TBD::AddPersonSource(int32_t p, int32_t source) {
  if (!validPerson(p)) return false;
  NumList& l = persons_[p].SourceList;
  if (std::find(l.begin(), l.end(), source) != l.end()) return false;
  l.push_back(source);
  return true;
}

void TBD::AddPersonMedia(int32_t p, TMedia media) {
  if (validPerson(p)) persons_[p].Media.push_back(std::move(media));
}

const std::vector<TMedia>& TBD::PersonMedia(int32_t p) const {
  static const std::vector<TMedia> kNone;
  return validPerson(p) ? persons_[p].Media : kNone;
}

// ---- shortcuts

void TBD::SetPointer(int32_t p, const std::string& pointer) {
  if (validPerson(p)) persons_[p].Pointer = pointer;
}

std::string TBD::GetSurname(int32_t p) const {
  return validPerson(p) ? persons_[p].Nom : "";
}
void TBD::SetSurname(int32_t p, const std::string& s) {
  if (validPerson(p)) persons_[p].Nom = s;
}
std::string TBD::GetGivenNames(int32_t p) const {
  return validPerson(p) ? persons_[p].Pre : "";
}
void TBD::SetGivenNames(int32_t p, const std::string& s) {
  if (validPerson(p)) persons_[p].Pre = s;
}

std::string TBD::UsualName(const std::string& pre) {
  size_t q1 = pre.find('"');
  if (q1 != std::string::npos) {
    size_t q2 = pre.find('"', q1 + 1);
    if (q2 != std::string::npos) return pre.substr(q1 + 1, q2 - q1 - 1);
  }
  std::string s = pre.substr(0, pre.find(','));
  return s.substr(0, s.find(' '));
}

std::string TBD::GetUsualName(int32_t p) const {
  return validPerson(p) ? UsualName(persons_[p].Pre) : "";
}
std::string TBD::GetSurnameAndUsualName(int32_t p) const {
  return validPerson(p) ? persons_[p].Nom + " " + UsualName(persons_[p].Pre) : "";
}
std::string TBD::GetProfession(int32_t p) const {
  return GetAttribute(p, "Profession");
}
std::string TBD::GetBirthDate(int32_t p) const {
  return GetPersonEvent(p, kNaissance, EventCode::Date);
}
std::string TBD::GetDeathDate(int32_t p) const {
  return GetPersonEvent(p, kDeces, EventCode::Date);
}
int32_t TBD::GetFather(int32_t p) const {
  return validPerson(p) ? persons_[p].NumP : 0;
}
void TBD::SetFather(int32_t p, int32_t f) {
  if (!validPerson(p)) return;
  persons_[p].NumP = f;
  linksChanged();
}
int32_t TBD::GetMother(int32_t p) const {
  return validPerson(p) ? persons_[p].NumM : 0;
}
void TBD::SetMother(int32_t p, int32_t m) {
  if (!validPerson(p)) return;
  persons_[p].NumM = m;
  linksChanged();
}
int TBD::GetSex(int32_t p) const {
  return validPerson(p) ? persons_[p].Sexe : 2;
}
void TBD::SetSex(int32_t p, int sex) {
  if (validPerson(p)) persons_[p].Sexe = static_cast<uint8_t>(sex < 0 || sex > 2 ? 2 : sex);
}
int32_t TBD::GetHusband(int32_t u) const {
  return validUnion(u) && unions_[u].InUse ? unions_[u].NumH : 0;
}
int32_t TBD::GetWife(int32_t u) const {
  return validUnion(u) && unions_[u].InUse ? unions_[u].NumF : 0;
}
void TBD::SetHusband(int32_t u, int32_t p) {
  if (!validUnion(u)) return;
  unions_[u].NumH = p;
  linksChanged();
}
void TBD::SetWife(int32_t u, int32_t p) {
  if (!validUnion(u)) return;
  unions_[u].NumF = p;
  linksChanged();
}
int32_t TBD::GetSiblingLink(int32_t p) const {
  return validPerson(p) ? persons_[p].SiblingLink : 0;
}
int32_t TBD::GetChildLink(int32_t p) const {
  return validPerson(p) ? persons_[p].ChildLink : 0;
}
int32_t TBD::GetUnionLink(int32_t p) const {
  return validPerson(p) ? persons_[p].UnionLink : 0;
}
int32_t TBD::GetNextUnionLink(int32_t u) const {
  return validUnion(u) ? unions_[u].NextUnionLink : 0;
}

TEve* TBD::EventRecord(int32_t e) {
  eventIndex_.Drop();  // the caller may change its kind
  return heldEvent(e) ? &events_[e] : nullptr;
}
const TEve* TBD::EventRecord(int32_t e) const {
  return heldEvent(e) ? &events_[e] : nullptr;
}
TSrc* TBD::SourceRecord(int32_t s) {
  return s >= 1 && static_cast<size_t>(s) < sources_.size() ? &sources_[s] : nullptr;
}
const TSrc* TBD::SourceRecord(int32_t s) const {
  return s >= 1 && static_cast<size_t>(s) < sources_.size() ? &sources_[s] : nullptr;
}
const TFiche* TBD::Person(int32_t p) const {
  return validPerson(p) ? &persons_[p] : nullptr;
}
const TUnion* TBD::Union(int32_t u) const {
  return validUnion(u) ? &unions_[u] : nullptr;
}

const TLiens& TBD::Liens() const {
  return liens_.Get(*this);
}

// ---- the index of main events

namespace {
// The slot of a main kind: the constants first by address (the pages ask with them), then by
// text; -1 for any other kind.
int kindSlot(bool isUnion, const std::string& kind) {
  static const std::string* const person[] = {&kNaissance, &kBapteme, &kDeces, &kSepulture};
  static const std::string* const couple[] = {&kMariage, &kDivorce};
  const auto& kinds = isUnion ? std::span<const std::string* const>(couple)
                              : std::span<const std::string* const>(person);
  for (size_t i = 0; i < kinds.size(); ++i)
    if (&kind == kinds[i]) return static_cast<int>(i);
  for (size_t i = 0; i < kinds.size(); ++i)
    if (kind == *kinds[i]) return static_cast<int>(i);
  return -1;
}
}  // namespace

struct TBD::EventIndex {
  std::vector<std::array<int32_t, 4>> persons;  // event numbers, 0 for none
  std::vector<std::array<int32_t, 2>> unions;
  int32_t personCount, unionCount, eventCount;
  std::vector<int32_t> owners;                     // by event number, as EventOwner gives
  std::vector<std::pair<int32_t, int32_t>> facts;  // by fact number - eventCount - 1
  std::vector<int32_t> firstFacts;                 // by person
};

TBD::EventIndexCache::EventIndexCache() = default;
TBD::EventIndexCache::~EventIndexCache() = default;
TBD::EventIndexCache& TBD::EventIndexCache::operator=(const EventIndexCache&) {
  Drop();
  return *this;
}

void TBD::EventIndexCache::Set(std::unique_ptr<const EventIndex> index) {
  owned_ = std::move(index);
  current_.store(owned_.get(), std::memory_order_release);
}

void TBD::IndexEvents() {
  auto index = std::make_unique<EventIndex>();
  index->personCount = PersonCount;
  index->unionCount = UnionCount;
  auto fill = [this](const NumList& list, auto& slots, bool isUnion) {
    slots.fill(0);
    for (int32_t e : list) {
      if (!heldEvent(e)) continue;
      const int slot = kindSlot(isUnion, events_[e].Kind);
      if (slot >= 0 && slots[static_cast<size_t>(slot)] == 0) slots[static_cast<size_t>(slot)] = e;
    }
  };
  index->eventCount = EventCount;
  index->owners.assign(static_cast<size_t>(std::max(EventCount, 0)) + 1, 0);
  auto own = [&](const NumList& list, int32_t owner) {
    for (int32_t e : list)
      if (e >= 1 && e <= EventCount) index->owners[static_cast<size_t>(e)] = owner;
  };
  index->persons.resize(static_cast<size_t>(std::max(PersonCount, 0)) + 1);
  index->firstFacts.assign(index->persons.size(), 0);
  for (int32_t p = 1; p <= PersonCount; ++p) {
    if (!validPerson(p)) continue;
    fill(persons_[p].EventList, index->persons[p], false);
    own(persons_[p].EventList, p);
    const size_t facts = Plus.PersonFacts(p).size();
    if (facts == 0) continue;
    index->firstFacts[p] = EventCount + 1 + static_cast<int32_t>(index->facts.size());
    for (size_t i = 0; i < facts; ++i) index->facts.emplace_back(p, static_cast<int32_t>(i));
  }
  index->unions.resize(static_cast<size_t>(std::max(UnionCount, 0)) + 1);
  for (int32_t u = 1; u <= UnionCount; ++u) {
    if (!validUnion(u)) continue;
    fill(unions_[u].EventList, index->unions[u], true);
    own(unions_[u].EventList, -u);
  }
  eventIndex_.Set(std::move(index));
}

const TBD::EventIndex* TBD::currentEventIndex() const {
  const EventIndex* x = eventIndex_.Get();
  // The counts are fields that the reader and the wizard set directly.
  if (!x || x->personCount != PersonCount || x->unionCount != UnionCount ||
      x->eventCount != EventCount)
    return nullptr;
  return x;
}

int32_t TBD::EventOwner(int32_t n, int32_t* fact) const {
  if (fact) *fact = -1;
  if (n < 1) return 0;
  const EventIndex* x = currentEventIndex();
  if (n <= EventCount) {
    if (x) return x->owners[static_cast<size_t>(n)];
    for (int32_t p = 1; p <= PersonCount; ++p)
      if (validPerson(p))
        for (int32_t e : persons_[p].EventList)
          if (e == n) return p;
    for (int32_t u = 1; u <= UnionCount; ++u)
      if (validUnion(u))
        for (int32_t e : unions_[u].EventList)
          if (e == n) return -u;
    return 0;
  }
  int32_t number = EventCount;
  if (x) {
    const size_t i = static_cast<size_t>(n - number - 1);
    if (i >= x->facts.size()) return 0;
    if (fact) *fact = x->facts[i].second;
    return x->facts[i].first;
  }
  for (int32_t p = 1; p <= PersonCount; ++p) {
    if (!validPerson(p)) continue;
    const int32_t count = static_cast<int32_t>(Plus.PersonFacts(p).size());
    if (n <= number + count) {
      if (fact) *fact = n - number - 1;
      return p;
    }
    number += count;
  }
  return 0;
}

int32_t TBD::FirstFactNumber(int32_t p) const {
  if (!validPerson(p) || Plus.PersonFacts(p).empty()) return 0;
  if (const EventIndex* x = currentEventIndex()) return x->firstFacts[static_cast<size_t>(p)];
  int32_t number = EventCount;
  for (int32_t q = 1; q < p; ++q)
    if (validPerson(q)) number += static_cast<int32_t>(Plus.PersonFacts(q).size());
  return number + 1;
}

int32_t TBD::indexedEvent(bool isUnion, int32_t n, const std::string& kind) const {
  const EventIndex* x = currentEventIndex();
  if (!x) return -1;
  const int slot = kindSlot(isUnion, kind);
  if (slot < 0) return -1;
  const size_t i = static_cast<size_t>(n), s = static_cast<size_t>(slot);
  if (isUnion) return i < x->unions.size() ? x->unions[i][s] : -1;
  return i < x->persons.size() ? x->persons[i][s] : -1;
}

}  // namespace lignado
