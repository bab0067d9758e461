#pragma once

#include <string>

namespace lignado::bench {

// Counts of what a generated tree holds, to size the database and check the import.
struct TreeStats {
  int persons = 0, families = 0, events = 0, sources = 0;
  int generations = 0;
};

// A deterministic family tree of exactly `persons` persons, in the shape of real trees: a few
// founding couples, 2 to 5 children per family, married children taking a spouse from outside
// the tree, about 18 generations whatever the size. GEDCOM 5.5.1 in UTF-8 (accented names and
// places), with births, deaths, marriages, occupations, notes and source citations.
std::string GenerateTree(int persons, TreeStats* stats = nullptr);

// Writes GenerateTree(persons) to `path`; false when the file cannot be written.
bool WriteTree(const std::string& path, int persons, TreeStats* stats = nullptr);

}  // namespace lignado::bench
