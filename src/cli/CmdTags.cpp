#include <cstdio>

#include "cli/Commands.h"

namespace lignado::cli {

// Not built yet: says so instead of pretending to work.
int cmdTags(const Args&) {
  std::fputs("La commande tags n'est pas encore disponible.\n", stderr);
  return 3;
}

}  // namespace lignado::cli
