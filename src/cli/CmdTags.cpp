#include <charconv>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "cli/WizardImport.h"
#include "data/Base.h"
#include "pages/Remplace.h"
#include "util/Utf8.h"

namespace lignado::cli {
namespace {

bool readNumber(const std::string& s, long long& v) {
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && ptr == s.data() + s.size();
}

}  // namespace

// lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]: a template author's way of
// trying a tag text on one person without writing a page.
int cmdTags(const Args& args) {
  Args pos;
  long capacity = 1000;
  std::string complaint;
  if (!SplitCapacityOption(args, pos, capacity, complaint)) {
    printCp1252(stderr, complaint + "\n");
    return 2;
  }
  if (pos.size() != 3) {
    std::fputs("Usage : lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]\n", stderr);
    return 2;
  }
  long long person = 0;
  if (!readNumber(pos[1], person) || person > INT32_MAX || person < INT32_MIN) {
    printCp1252(stderr, "Num\xE9ro de personne invalide : " + Utf8ToCp1252(pos[1]) + "\n");
    return 2;
  }

  WizardImport w;
  {
    TerminalHost host;
    w = ImportAsWizard(pos[0], capacity, &host);
  }
  if (w.result.failed || w.result.aborted) {
    if (w.result.aborted) std::fputs("Import interrompu.\n", stderr);
    return 1;
  }
  printCp1252(stdout, ExpandTags(*w.db, static_cast<int32_t>(person), Utf8ToCp1252(pos[2])) + "\n");
  return 0;
}

}  // namespace lignado::cli
