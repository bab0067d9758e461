#include "genealogy/Sosa.h"

#include <algorithm>

#include "data/Base.h"
#include "genealogy/Rech.h"
#include "util/Text.h"

namespace lignado {
namespace {

const std::string kEmpty;
const std::vector<std::string> kNone;

// Numbers of one generation have as many bits, so comparing their decimal texts by length then
// by text orders them.
bool lessDecimal(const std::string& a, const std::string& b) {
  return a.size() != b.size() ? a.size() < b.size() : a < b;
}

}  // namespace

int32_t DefaultRoot(const TBD& db) {
  if (db.SosaRoot > 0 && db.IsPersonUsed(db.SosaRoot)) return db.SosaRoot;
  for (int32_t p = 1; p <= db.PersonCount; ++p)
    if (db.IsPersonUsed(p)) return p;
  return 0;
}

int32_t FindRoot(const TBD& db, const std::string& text) {
  const std::string_view typed = TrimBlanks(text);
  if (typed.empty()) return 0;
  if (std::optional<int32_t> n = ParseInt32(typed))
    return *n > 0 && *n <= db.PersonCount && db.IsPersonUsed(*n) ? *n : 0;
  const std::string wanted =
      UpperAscii(typed.starts_with('@') ? std::string(typed) : "@" + std::string(typed) + "@");
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    const TFiche* f = db.Person(p);
    if (f && f->InUse && f->Pointer.size() == wanted.size() && UpperAscii(f->Pointer) == wanted)
      return p;
  }
  return 0;
}

std::string UnknownRootText(const std::string& text) {
  return "Personne de r\xE9"
         "f\xE9rence inconnue : " +
         text;
}

void NumberTree(TBD& db, int32_t root) {
  db.SetNumbering(std::make_shared<const TSosa>(db, root > 0 ? root : DefaultRoot(db)));
}

std::string DoubleDecimal(const std::string& number, bool plusOne) {
  std::string out(number.size() + 1, '0');
  int carry = plusOne ? 1 : 0;
  for (std::size_t i = number.size(); i-- > 0;) {
    const int v = 2 * (number[i] - '0') + carry;
    out[i + 1] = static_cast<char>('0' + v % 10);
    carry = v / 10;
  }
  out[0] = static_cast<char>('0' + carry);
  return carry ? out : out.substr(1);
}

TSosa::TSosa(const TBD& db, int32_t root, std::size_t maxNumbers) : root_(root) {
  const std::size_t n = static_cast<std::size_t>(std::max(db.PersonCount, 0)) + 1;
  findGroups(db, n);
  if (root <= 0 || static_cast<std::size_t>(root) >= n || !db.IsPersonUsed(root)) {
    root_ = 0;
    return;
  }
  sosa_.resize(n);
  more_.assign(n, false);
  aboville_.resize(n);
  generation_.assign(n, 0);
  if (maxNumbers == 0) maxNumbers = 1;

  // Ancestors generation by generation: each generation's numbers in ascending order, so every
  // person keeps its smallest ones. Only numbers a person kept go on to its parents.
  struct Item {
    int32_t person;
    std::string number;
  };
  std::vector<Item> level{{root, "1"}};
  sosa_[root].push_back("1");
  ancestors_.push_back(root);
  generation_[root] = 1;
  for (int generation = 2; !level.empty(); ++generation) {
    std::vector<Item> next;
    for (const Item& it : level) {
      const int32_t parents[2] = {db.GetFather(it.person), db.GetMother(it.person)};
      for (int side = 0; side < 2; ++side) {
        const int32_t q = parents[side];
        if (q <= 0 || static_cast<std::size_t>(q) >= n || !db.IsPersonUsed(q)) continue;
        next.push_back({q, DoubleDecimal(it.number, side == 1)});
      }
    }
    std::sort(next.begin(), next.end(),
              [](const Item& a, const Item& b) { return lessDecimal(a.number, b.number); });
    level.clear();
    for (Item& it : next) {
      std::vector<std::string>& mine = sosa_[it.person];
      if (mine.size() >= maxNumbers) {
        more_[it.person] = true;
        continue;
      }
      if (mine.empty()) {
        generation_[it.person] = generation;
        ancestors_.push_back(it.person);
      }
      mine.push_back(it.number);
      level.push_back(std::move(it));
    }
  }

  // Descendants breadth first: a person reached by several lines keeps the first number, met
  // through the earliest generation and the elder children.
  aboville_[root] = "1";
  std::vector<int32_t> parents{root};
  while (!parents.empty()) {
    std::vector<int32_t> next;
    for (int32_t p : parents) {
      const TR kids = EnfantNum(db, p);
      for (int i = 1; i <= kids.Nb; ++i) {
        const int32_t c = kids.Lit(i);
        if (c <= 0 || static_cast<std::size_t>(c) >= n || !aboville_[c].empty()) continue;
        aboville_[c] = aboville_[p] + "." + std::to_string(i);
        next.push_back(c);
      }
    }
    parents.swap(next);
  }
}

const std::string& TSosa::Sosa(int32_t p) const {
  const std::vector<std::string>& all = AllSosa(p);
  return all.empty() ? kEmpty : all.front();
}

const std::vector<std::string>& TSosa::AllSosa(int32_t p) const {
  if (p <= 0 || static_cast<std::size_t>(p) >= sosa_.size()) return kNone;
  return sosa_[p];
}

bool TSosa::MoreSosa(int32_t p) const {
  return p > 0 && static_cast<std::size_t>(p) < more_.size() && more_[p];
}

const std::string& TSosa::Aboville(int32_t p) const {
  if (p <= 0 || static_cast<std::size_t>(p) >= aboville_.size()) return kEmpty;
  return aboville_[p];
}

// Union-find over parents and spouses; each group then named by its smallest number.
void TSosa::findGroups(const TBD& db, std::size_t n) {
  group_.assign(n, 0);
  for (std::size_t p = 1; p < n; ++p) group_[p] = static_cast<int32_t>(p);
  auto top = [&](int32_t p) {
    while (group_[p] != p) p = group_[p] = group_[group_[p]];
    return p;
  };
  auto join = [&](int32_t a, int32_t b) {
    if (a <= 0 || b <= 0 || static_cast<std::size_t>(a) >= n || static_cast<std::size_t>(b) >= n)
      return;
    a = top(a);
    b = top(b);
    if (a != b) group_[std::max(a, b)] = std::min(a, b);  // the smaller number stays on top
  };
  for (int32_t p = 1; static_cast<std::size_t>(p) < n; ++p) {
    if (!db.IsPersonUsed(p)) continue;
    join(p, db.GetFather(p));
    join(p, db.GetMother(p));
  }
  for (int32_t u = 1; u <= db.UnionCount; ++u)
    if (const TUnion* un = db.Union(u); un && un->InUse) join(un->NumH, un->NumF);
  for (int32_t p = 1; static_cast<std::size_t>(p) < n; ++p) group_[p] = top(p);
  for (int32_t p = 1; static_cast<std::size_t>(p) < n; ++p)
    if (!db.IsPersonUsed(p)) group_[p] = 0;
}

int32_t TSosa::Group(int32_t p) const {
  return p > 0 && static_cast<std::size_t>(p) < group_.size() ? group_[p] : 0;
}

int TSosa::Generation(int32_t p) const {
  if (p <= 0 || static_cast<std::size_t>(p) >= generation_.size()) return 0;
  return generation_[p];
}

}  // namespace lignado
