#include "genealogy/Rech.h"

#include <algorithm>
#include <array>
#include <iterator>
#include <optional>
#include <span>
#include <unordered_set>
#include <utility>
#include <vector>

#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "util/Host.h"
#include "util/Text.h"

namespace lignado {
namespace {

unsigned char foldAscii(char c) {
  return static_cast<unsigned char>(AsciiUpper(c));
}

// Byte order with a-z folded to upper case; a beginning sorts before the longer text.
int compareFolded(const std::string& a, const std::string& b) {
  size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    unsigned char x = foldAscii(a[i]), y = foldAscii(b[i]);
    if (x != y) return x < y ? -1 : 1;
  }
  return a.size() < b.size() ? -1 : (a.size() > b.size() ? 1 : 0);
}

// A Windows-1252 byte in alphabetical order: a letter as its capital without accent, a
// ligature or a letter written with two ("\xC6", "\xDF") spelt out; any other byte as it is.
struct Alphabetic {
  char first, second;  // second 0: one byte
};
constexpr Alphabetic alphabetic(unsigned char c) {
  auto in = [c](unsigned lo, unsigned hi) { return c >= lo && c <= hi; };
  if (in('a', 'z')) return {static_cast<char>(c - 32), 0};
  if (in(0xC0, 0xC5) || in(0xE0, 0xE5)) return {'A', 0};
  if (in(0xC8, 0xCB) || in(0xE8, 0xEB)) return {'E', 0};
  if (in(0xCC, 0xCF) || in(0xEC, 0xEF)) return {'I', 0};
  if (in(0xD2, 0xD6) || in(0xF2, 0xF6) || c == 0xD8 || c == 0xF8) return {'O', 0};
  if (in(0xD9, 0xDC) || in(0xF9, 0xFC)) return {'U', 0};
  switch (c) {
    case 0x83:  // florin, a small f with a hook
      return {'F', 0};
    case 0x8A:
    case 0x9A:
      return {'S', 0};
    case 0x8C:
    case 0x9C:
      return {'O', 'E'};
    case 0x8E:
    case 0x9E:
      return {'Z', 0};
    case 0x9F:
    case 0xDD:
    case 0xFD:
    case 0xFF:
      return {'Y', 0};
    case 0xC6:
    case 0xE6:
      return {'A', 'E'};
    case 0xC7:
    case 0xE7:
      return {'C', 0};
    case 0xD0:
    case 0xF0:
      return {'D', 0};
    case 0xD1:
    case 0xF1:
      return {'N', 0};
    case 0xDE:
    case 0xFE:
      return {'T', 'H'};
    case 0xDF:
      return {'S', 'S'};
    default:
      return {static_cast<char>(c), 0};
  }
}

// The text as a French alphabetical index orders it: accents and letter case left out.
std::string alphabeticKey(const std::string& s) {
  std::string k;
  k.reserve(s.size());
  for (char c : s) {
    Alphabetic a = alphabetic(static_cast<unsigned char>(c));
    k += a.first;
    if (a.second) k += a.second;
  }
  return k;
}

// The text sort's key: alphabetical order first, the byte order breaking its ties.
struct SortKey {
  std::string alphabetic, folded;
};
int compareSortKeys(const SortKey& a, const SortKey& b) {
  int c = a.alphabetic.compare(b.alphabetic);
  return c != 0 ? c : compareFolded(a.folded, b.folded);
}

// Lowered, then a-z raised: the text as the prefix search compares it.
std::string foldedKey(std::string s) {
  for (char& c : s) c = AsciiUpper(static_cast<char>(LowerCp1252(static_cast<unsigned char>(c))));
  return s;
}

bool used(const TBD& db, int32_t p) {
  return db.IsPersonUsed(p);
}

// A slot not in use is nobody: no parents, even if its links were left behind.
int32_t fatherOf(const TBD& db, int32_t p) {
  return used(db, p) ? db.GetFather(p) : 0;
}
int32_t motherOf(const TBD& db, int32_t p) {
  return used(db, p) ? db.GetMother(p) : 0;
}

// The unions of p in union-number order, before any sort.
template <class List>
void collectUnions(const TBD& db, int32_t p, List& list) {
  if (!used(db, p)) return;
  const TLiens& liens = db.Liens();
  const int sex = db.GetSex(p);
  if (sex != 2) {
    for (int32_t u : sex == 0 ? liens.UnionsMari(p) : liens.UnionsFemme(p)) list.Ajoute(u);
    return;
  }
  // Of unknown sex, p may be named husband in one union and wife in another.
  std::span<const int32_t> h = liens.UnionsMari(p), w = liens.UnionsFemme(p);
  std::vector<int32_t> all;
  std::merge(h.begin(), h.end(), w.begin(), w.end(), std::back_inserter(all));
  all.erase(std::unique(all.begin(), all.end()), all.end());
  for (int32_t u : all) list.Ajoute(u);
}

int32_t spouseIn(const TBD& db, int32_t p, int32_t u) {
  const int sex = db.GetSex(p);
  if (sex == 2) return db.GetHusband(u) == p ? db.GetWife(u) : db.GetHusband(u);
  return sex == 0 ? db.GetWife(u) : db.GetHusband(u);
}

// A date as the kinship lists order it: year, month, day (0 when unknown), "avant" one step
// before its last known part and "apr\xE8s" one step after, as CompareDate reads them; none
// without a year. A total order, so the sort is the same whatever order the entries come in.
std::optional<std::array<int, 3>> dateKey(const std::string& date) {
  if (date.empty()) return std::nullopt;
  DateComponents c = LitDate(date);
  if (c.year <= 0) return std::nullopt;
  std::array<int, 3> k{c.year, c.month, c.day};
  int step = c.qualifier == "avant" ? -1 : (c.qualifier == "apr\xE8s" ? 1 : 0);
  k[c.day != 0 ? 2 : (c.month != 0 ? 1 : 0)] += step;
  return k;
}

// The entries with a date sorted by it over the positions they hold, equal dates in the order
// they came; entries without a date keep their positions. The dates are those of the base,
// whatever a page hides of them: the order is the family's.
template <class DateOf>
void sortByDate(std::vector<int32_t>& items, DateOf dateOf) {
  std::vector<size_t> slots;
  std::vector<std::pair<std::array<int, 3>, int32_t>> dated;
  for (size_t i = 0; i < items.size(); ++i) {
    if (std::optional<std::array<int, 3>> k = dateKey(dateOf(items[i]))) {
      slots.push_back(i);
      dated.emplace_back(*k, items[i]);
    }
  }
  std::stable_sort(dated.begin(), dated.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  for (size_t i = 0; i < slots.size(); ++i) items[slots[i]] = dated[i].second;
}

// A person's date for the order of children and siblings: the birth, else the baptism.
std::string birthOrBaptism(const TBD& db, int32_t q) {
  std::string d = db.GetBirthDate(q);
  return d.empty() ? db.GetPersonEvent(q, kBapteme, EventCode::Date) : d;
}

std::vector<int32_t> byBirth(const TBD& db, std::vector<int32_t> persons) {
  sortByDate(persons, [&db](int32_t q) { return birthOrBaptism(db, q); });
  return persons;
}

// The children of p in the order of their births.
std::vector<int32_t> children(const TBD& db, int32_t p) {
  std::span<const int32_t> c = db.Liens().Enfants(p);
  return byBirth(db, std::vector<int32_t>(c.begin(), c.end()));
}

void fill(TR& list, const std::vector<int32_t>& items) {
  for (int32_t v : items) list.Ajoute(v);
}

}  // namespace

TR::TR(int capacity) : capacity_(std::max(capacity, 0)) {}

int32_t TR::Lit(int i) const {
  return i >= 1 && static_cast<size_t>(i) <= tab_.size() ? tab_[i - 1] : 0;
}

void TR::Ecrit(int i, int32_t v) {
  if (i < 1 || i > capacity_) return;
  if (static_cast<size_t>(i) > tab_.size()) tab_.resize(static_cast<size_t>(i), 0);
  tab_[i - 1] = v;
}

void TR::Ajoute(int32_t v) {
  if (Nb < 0 || Nb >= capacity_) return;
  ++Nb;
  Ecrit(Nb, v);
}

void TRR::TrieParDate(const TBD& db, const std::string& kind) {
  lignado::TrieParDate(db, *this, kind);
}

TR ParentNum(const TBD& db, int32_t p) {
  TR r(db.Capacity());
  if (int32_t f = fatherOf(db, p)) r.Ajoute(f);
  if (int32_t m = motherOf(db, p)) r.Ajoute(m);
  return r;
}

TR EnfantNum(const TBD& db, int32_t p) {
  TR r(db.Capacity());
  if (p <= 0) return r;
  fill(r, children(db, p));
  return r;
}

TR FratrieNum(const TBD& db, int32_t p) {
  TR r(db.Capacity());
  int32_t f = fatherOf(db, p), m = motherOf(db, p);
  if (f == 0 && m == 0) return r;
  // The children of the father by him, merged with those of the mother by her.
  const TLiens& liens = db.Liens();
  std::span<const int32_t> byFather = f != 0 ? liens.Enfants(f) : std::span<const int32_t>();
  std::span<const int32_t> byMother = m != 0 ? liens.Enfants(m) : std::span<const int32_t>();
  std::vector<int32_t> siblings;
  size_t i = 0, j = 0;
  for (;;) {
    while (i < byFather.size() && db.GetFather(byFather[i]) != f) ++i;
    while (j < byMother.size() && db.GetMother(byMother[j]) != m) ++j;
    if (i == byFather.size() && j == byMother.size()) break;
    int32_t q;
    if (j == byMother.size() || (i < byFather.size() && byFather[i] <= byMother[j])) {
      q = byFather[i++];
      if (j < byMother.size() && byMother[j] == q) ++j;
    } else {
      q = byMother[j++];
    }
    siblings.push_back(q);
  }
  // Sorted with p among them: the undated keep the places they have in the family.
  for (int32_t q : byBirth(db, std::move(siblings)))
    if (q != p) r.Ajoute(q);
  return r;
}

TRR UnionNumR(const TBD& db, int32_t p) {
  TRR r;
  collectUnions(db, p, r);
  r.TrieParDate(db, kMariage);
  return r;
}

TR UnionNum(const TBD& db, int32_t p) {
  TR r(db.Capacity());
  collectUnions(db, p, r);
  TrieParDate(db, r, kMariage);
  return r;
}

TR ConjointNum(const TBD& db, int32_t p) {
  TR unions = UnionNum(db, p);
  TR r(db.Capacity());
  for (int i = 1; i <= unions.Nb; ++i) r.Ajoute(spouseIn(db, p, unions.Lit(i)));
  return r;
}

TRR ConjointNumR(const TBD& db, int32_t p) {
  TRR unions = UnionNumR(db, p);
  TRR r;
  for (int i = 1; i <= unions.Nb; ++i) r.Ajoute(spouseIn(db, p, unions.Lit(i)));
  return r;
}

TR TousNum(const TBD& db) {
  TR r(db.Capacity());
  for (int32_t q = 1; q <= db.PersonCount; ++q)
    if (used(db, q)) r.Ajoute(q);
  return r;
}

TR AscendantNum(const TBD& db, int32_t p, int32_t n) {
  TR r(db.Capacity());
  std::vector<int32_t> generation{p}, next;
  for (int32_t depth = 1;; ++depth) {
    next.clear();
    for (int32_t q : generation) {
      r.Ajoute(q);
      if (int32_t f = fatherOf(db, q)) next.push_back(f);
      if (int32_t m = motherOf(db, q)) next.push_back(m);
    }
    // Only as many ancestors as the list can still take matter: a loop in the parent
    // links or a long n then ends with the full list instead of running on.
    size_t room = static_cast<size_t>(r.Capacity() - r.Nb);
    if (next.size() > room) next.resize(room);
    if (next.empty() || n < depth) break;
    generation.swap(next);
  }
  return r;
}

TR DescendantNum(const TBD& db, int32_t p, int32_t n) {
  TR r(db.Capacity());
  if (p <= 0) return r;
  // Depth first without recursion: a loop in the parent links cannot exhaust the stack,
  // and the walk ends once the list is full.
  struct Level {
    std::vector<int32_t> list;
    size_t next;
  };
  std::vector<Level> stack;
  stack.push_back({children(db, p), 0});
  while (!stack.empty() && r.Nb < r.Capacity()) {
    Level& top = stack.back();
    if (top.next >= top.list.size()) {
      stack.pop_back();
      continue;
    }
    int32_t q = top.list[top.next++];
    r.Ajoute(q);
    int32_t depth = static_cast<int32_t>(stack.size());
    if (depth >= n) continue;
    std::vector<int32_t> next = children(db, q);
    if (!next.empty()) stack.push_back({std::move(next), 0});
  }
  return r;
}

void TrieParDate(const TBD& db, TR& list, const std::string& kind) {
  std::vector<int32_t> items;
  for (int i = 1; i <= list.Nb; ++i) items.push_back(list.Lit(i));
  sortByDate(items, [&](int32_t u) { return db.GetUnionEvent(u, kind, EventCode::Date); });
  for (size_t i = 0; i < items.size(); ++i) list.Ecrit(static_cast<int>(i) + 1, items[i]);
}

bool TrieParTexte(TR& list, const PersonText& key, Host* host) {
  int count = std::min<int>(list.Nb, list.Capacity());
  if (count < 2) return true;
  // The keys depend only on the person: worked out once, they move with their entries. The
  // persons without one (hidden) go to the end in the order they came; the others are sorted.
  std::vector<SortKey> keys(1);
  std::vector<int32_t> valued, hidden;
  for (int i = 1; i <= count; ++i) {
    int32_t q = list.Lit(i);
    std::optional<std::string> text = key(q);
    if (!text) {
      hidden.push_back(q);
      continue;
    }
    valued.push_back(q);
    SortKey& k = keys.emplace_back();
    k.folded = FoldCase(*text);
    k.alphabetic = alphabeticKey(k.folded);
  }
  int i = 1;
  for (int32_t q : valued) list.Ecrit(i++, q);
  for (int32_t q : hidden) list.Ecrit(i++, q);
  count = static_cast<int>(valued.size());
  auto exchange = [&](int i, int j) {
    int32_t v = list.Lit(i);
    list.Ecrit(i, list.Lit(j));
    list.Ecrit(j, v);
    std::swap(keys[i], keys[j]);
  };
  bool stopped = false;
  // Partitions as the classic quicksort; the smaller side is sorted first by recursion so
  // the depth stays small, the larger one by the loop (the result is the same).
  auto sort = [&](auto& self, int l, int r) -> void {
    while (l < r && !stopped) {
      int i = l, j = r;
      SortKey pivot = keys[(l + r) / 2];
      do {
        while (compareSortKeys(keys[i], pivot) < 0) ++i;
        while (compareSortKeys(keys[j], pivot) > 0) --j;
        if (i <= j) {
          if (i != j) exchange(i, j);
          ++i;
          --j;
        }
      } while (i <= j);
      if (hostAbort(host)) {
        stopped = true;
        return;
      }
      if (j - l < r - i) {
        if (l < j) self(self, l, j);
        l = i;
      } else {
        if (i < r) self(self, i, r);
        r = j;
      }
    }
  };
  sort(sort, 1, count);
  return !stopped;
}

TIndexTexte::TIndexTexte(const TBD& db, const PersonText& text) {
  for (int32_t q = 1; q <= db.PersonCount; ++q) {
    if (!used(db, q)) continue;
    if (std::optional<std::string> t = text(q)) keys_.emplace_back(foldedKey(*t), q);
  }
  // By text, then by person: the first of each run of equal texts is the one kept.
  std::sort(keys_.begin(), keys_.end());
  keys_.erase(std::unique(keys_.begin(), keys_.end(),
                          [](const auto& a, const auto& b) { return a.first == b.first; }),
              keys_.end());
}

TR TIndexTexte::CommencePar(const std::string& prefix, int capacity) const {
  // Folding goes byte by byte: the start of a folded text is the folded start, and the texts
  // that start with a prefix follow each other in byte order.
  const std::string wanted = foldedKey(prefix);
  auto it = std::lower_bound(keys_.begin(), keys_.end(), wanted,
                             [](const auto& key, const std::string& w) { return key.first < w; });
  std::vector<int32_t> persons;
  for (; it != keys_.end() && it->first.compare(0, wanted.size(), wanted) == 0; ++it)
    persons.push_back(it->second);
  std::sort(persons.begin(), persons.end());
  TR r(capacity);
  for (int32_t q : persons) {
    if (r.Nb >= r.Capacity()) break;
    r.Ajoute(q);
  }
  return r;
}

TR CommencePar(const TBD& db, const PersonText& personText, const std::string& prefix) {
  return TIndexTexte(db, personText).CommencePar(prefix, db.Capacity());
}

TR ValeursDistinctes(const TBD& db, int code) {
  TR r(db.Capacity());
  if (code < PersonCode::Sexe || code > PersonCode::Titre) return r;
  std::unordered_set<std::string> seen;
  for (int32_t q = 1; q <= db.PersonCount; ++q)
    if (used(db, q) && seen.insert(FoldCase(db.GetPersonField(q, code))).second) r.Ajoute(q);
  return r;
}

int32_t DerniereUnion(const TBD& db, int32_t p) {
  TRR unions = UnionNumR(db, p);
  return unions.Nb > 0 ? unions.Lit(unions.Nb) : 0;
}

std::string ListeVersTexte(const TR& list) {
  std::string r;
  for (int i = 1; i <= list.Nb; ++i) {
    r += std::to_string(list.Lit(i));
    if (i < list.Nb) r += '|';
  }
  return r;
}

TR TexteVersListe(const std::string& text, int capacity) {
  TR r(capacity);
  size_t start = 0;
  for (;;) {
    size_t bar = text.find('|', start);
    r.Ajoute(Int32AfterBlanks(
        std::string_view(text).substr(start, bar == std::string::npos ? bar : bar - start)));
    if (bar == std::string::npos || r.Nb >= r.Capacity()) break;
    start = bar + 1;
  }
  return r;
}

}  // namespace lignado
