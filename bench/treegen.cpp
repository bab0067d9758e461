// Writes a generated family tree as a GEDCOM file: treegen PERSONS FILE (for scripts/benchmarks).
#include "TreeGen.h"

#include <cstdio>
#include <cstdlib>

int main(int argc, char** argv) {
  if (argc != 3) {
    std::fputs("Usage : treegen PERSONNES FICHIER.ged\n", stderr);
    return 2;
  }
  const int persons = std::atoi(argv[1]);
  if (persons < 1 || !lignado::bench::WriteTree(argv[2], persons)) {
    std::fputs(
        "Impossible d'\xC3\xA9"
        "crire l'arbre.\n",
        stderr);
    return 1;
  }
  return 0;
}
