#include "pages/ListesMemo.h"

#include <gtest/gtest.h>

#include <string>

using namespace lignado;

namespace {

std::string longList(char fill) {
  return std::string(TListesMemo::kMinSize * 2 + 500, fill);
}

}  // namespace

TEST(ListesMemoTest, EachDistinctListIsMadeOnceAndOnlyWhenKept) {
  TListesMemo memo;
  int made = 0;
  auto maker = [&made](std::string result, bool keepIt = true) {
    return [&made, result, keepIt](bool& keep) {
      ++made;
      keep = keepIt;
      return result;
    };
  };
  const std::string big = longList('7');
  std::string twin = big;  // same size and same sampled bytes, one byte apart
  twin[(twin.size() / 64 + 1) * 10 + 40] = '8';
  struct Step {
    const char* kind;
    std::string a, b;
    bool keep;
    std::string expected;
    int madeAfter;
  } steps[] = {
      {"tranche", "1", big, true, "t1", 1},
      {"tranche", "1", std::string(big), true, "t1", 1},  // an equal copy: kept
      {"tranche", "2", big, true, "t2", 2},               // another page of it
      {"initiale", "1", big, true, "i1", 3},              // another kind
      {"tranche", "1", twin, true, "u1", 4},              // another list
      {"tranche", "1", twin, true, "u1", 4},
      {"trie", "<nom>", big, false, "", 5},  // cut short: not kept
      {"trie", "<nom>", big, true, "s", 6},
      {"trie", "<nom>", big, true, "s", 6},
      {"tranche", "1", "1|2|3", true, "x", 7},  // short lists are made again
      {"tranche", "1", "1|2|3", true, "x", 8},
      {"tranches", big, "", true, "1|2|3", 9},  // the long list in the first argument
      {"tranches", big, "", true, "1|2|3", 9},
  };
  for (const Step& s : steps) {
    EXPECT_EQ(memo.Get(s.kind, s.a, s.b, maker(s.expected, s.keep)), s.expected) << s.kind;
    EXPECT_EQ(made, s.madeAfter) << s.kind << " " << s.a;
  }
}
