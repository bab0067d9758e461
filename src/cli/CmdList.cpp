#include <cstdio>

#include "cli/Commands.h"

namespace lignado::cli {

// Not built yet: says so instead of pretending to work.
int cmdList(const Args&) {
  std::fputs("La commande list n'est pas encore disponible.\n", stderr);
  return 3;
}

}  // namespace lignado::cli
