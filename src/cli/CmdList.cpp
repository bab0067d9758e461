#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "cli/WizardImport.h"
#include "data/Base.h"
#include "pages/Listes.h"
#include "util/Utf8.h"

namespace lignado::cli {
namespace {

const char* const kKeywords[] = {"parent", "enfant", "fatrie", "conjoint",   "tous",
                                 "asc",    "des",    "trie",   "commencepar"};

}  // namespace

// lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]: the list text of a "liste_"
// keyword, as a template would get it.
int cmdList(const Args& args) {
  Args pos;
  long capacity = 1000;
  std::string complaint;
  if (!SplitCapacityOption(args, pos, capacity, complaint)) {
    printCp1252(stderr, complaint + "\n");
    return 2;
  }
  if (pos.size() < 2 || pos.size() > 4) {
    std::fputs("Usage : lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]\n", stderr);
    return 2;
  }
  std::string keyword = Utf8ToCp1252(pos[1]);
  bool known = false;
  for (const char* k : kKeywords) known = known || keyword == k;
  if (!known) {
    std::string all;
    for (const char* k : kKeywords) all += std::string(all.empty() ? "" : ", ") + k;
    printCp1252(stderr, "Mot-cl\xE9 inconnu : " + keyword + " (connus : " + all + ")\n");
    return 2;
  }
  std::string a = pos.size() > 2 ? Utf8ToCp1252(pos[2]) : std::string();
  std::string b = pos.size() > 3 ? Utf8ToCp1252(pos[3]) : std::string();

  TerminalHost host;  // also the stop request of the text sort
  WizardImport w = ImportAsWizard(pos[0], capacity, &host);
  if (w.result.failed || w.result.aborted) {
    if (w.result.aborted) std::fputs("Import interrompu.\n", stderr);
    return 1;
  }
  std::string list = ListeMotCle(*w.db, keyword, a, b, &host);
  printCp1252(stdout, list + "\n");
  return 0;
}

}  // namespace lignado::cli
