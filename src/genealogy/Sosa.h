#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace lignado {

class TBD;

// The numbers of a tree relative to a reference person (Sosa 1, "de cujus"): Sosa-Stradonitz
// numbers of the ancestors (father 2n, mother 2n + 1), exact at any generation, as decimal texts;
// d'Aboville numbers of the descendants ("1.2.3", children in birth order). An ancestor met by
// several lines (implex) has several Sosa numbers; the first `maxNumbers` in ascending order are
// kept, so a file whose links loop or collapse massively stays bounded.
class TSosa {
 public:
  TSosa(const TBD& db, int32_t root, std::size_t maxNumbers = 16);

  int32_t Root() const { return root_; }
  // The smallest Sosa number of p; empty when p is not the reference person or an ancestor.
  const std::string& Sosa(int32_t p) const;
  // Every Sosa number kept for p, ascending; more than one for an implex.
  const std::vector<std::string>& AllSosa(int32_t p) const;
  // True when p has more numbers than were kept.
  bool MoreSosa(int32_t p) const;
  // The d'Aboville number of p; empty when p is not the reference person or a descendant.
  const std::string& Aboville(int32_t p) const;
  // The generation of p counted from the reference person (1), through its smallest number; 0
  // when p is no ancestor.
  int Generation(int32_t p) const;
  // The reference person, then each ancestor once, by ascending smallest number.
  const std::vector<int32_t>& Ancestors() const { return ancestors_; }
  // The generation of the last ancestor (1 for a reference person without parents; 0: none).
  int Generations() const { return ancestors_.empty() ? 0 : Generation(ancestors_.back()); }
  // The smallest person number that parents, children and spouses link p to, whatever the
  // reference person (p itself when alone): two persons of different groups are not related.
  // 0 for a number that is no person.
  int32_t Group(int32_t p) const;

 private:
  int32_t root_ = 0;
  std::vector<std::vector<std::string>> sosa_;  // by person number
  std::vector<bool> more_;
  std::vector<std::string> aboville_;
  std::vector<int> generation_;
  std::vector<int32_t> ancestors_;
  std::vector<int32_t> group_;  // by person number
  void findGroups(const TBD& db, std::size_t n);
};

// The reference person when the user chose none: the one the file numbers 1 (TBD::SosaRoot),
// else the first person of the file; 0 for a database without persons.
int32_t DefaultRoot(const TBD& db);
// The person that a user's text names: a GEDCOM pointer ("@I1@", letter case ignored) or a
// person number ("12"); the "@" may be left out ("I1"); 0 when it names none.
int32_t FindRoot(const TBD& db, const std::string& text);
// "Personne de r\xE9f\xE9rence inconnue : TEXT", for a text that FindRoot does not find.
std::string UnknownRootText(const std::string& text);
// Works out the numbers for root (DefaultRoot when 0) and keeps them with db (TBD::Numbering).
void NumberTree(TBD& db, int32_t root = 0);

// A decimal text's double, plus one when `plusOne` ("5" gives "10" or "11").
std::string DoubleDecimal(const std::string& number, bool plusOne);

}  // namespace lignado
