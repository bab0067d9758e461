#pragma once

#include <cstdint>
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

 private:
  int32_t root_ = 0;
  std::vector<std::vector<std::string>> sosa_;  // by person number
  std::vector<bool> more_;
  std::vector<std::string> aboville_;
  std::vector<int> generation_;
};

// A decimal text's double, plus one when `plusOne` ("5" gives "10" or "11").
std::string DoubleDecimal(const std::string& number, bool plusOne);

}  // namespace lignado
