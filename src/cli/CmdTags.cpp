#include <cstdio>
#include <optional>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "data/Base.h"
#include "pages/Remplace.h"
#include "util/Text.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::cli {
namespace {

const char kTagsUsage[] = "Usage : lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]\n";

const char kTagsHelp[] =
    "Remplace les balises du texte (<nom>, <pr\xE9nom>, <ddn>...) pour la personne de ce "
    "num\xE9ro,\n"
    "comme le fait une page de mod\xE8le : pour essayer une balise sans \xE9"
    "crire de page.\n"
    "Une balise inconnue (ni balise de mod\xE8le ni \xE9l\xE9ment HTML) est signal\xE9"
    "e.\n"
    "\n"
    "  --capacity N  nombre fixe d'enregistrements par table (par d\xE9"
    "faut, tout le fichier)\n";

}  // namespace

// lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]: a template author's way of
// trying a tag text on one person without writing a page.
int cmdTags(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kTagsUsage, kTagsHelp);
  Args pos;
  long capacity = kGrowing;
  std::string complaint;
  if (!SplitCapacityOption(args, pos, capacity, complaint)) {
    printCp1252(stderr, complaint + "\n");
    return 2;
  }
  if (pos.size() != 3) {
    std::fputs(kTagsUsage, stderr);
    return 2;
  }
  const std::optional<int32_t> person = ParseInt32(pos[1]);
  if (!person) {
    printCp1252(stderr, "Num\xE9ro de personne invalide : " + Utf8ToCp1252(pos[1]) + "\n");
    return 2;
  }

  ImportOutcome w;
  {
    TerminalHost host;
    ImportOptions options;
    options.capacity = capacity;
    w = ImportForPublication(pos[0], options, &host);
  }
  ReportImport(w);
  if (w.result.failed || w.result.aborted) {
    if (w.result.aborted) std::fputs("Import interrompu.\n", stderr);
    return 1;
  }
  const int32_t p = *person;
  if (!w.db->IsPersonUsed(p)) {
    printCp1252(stderr, "Pas de personne num\xE9ro " + std::to_string(p) + " dans " +
                            Utf8ToCp1252(pos[0]) + ".\n");
    return 1;
  }
  const TTagText text(Utf8ToCp1252(pos[2]));
  // A misspelt tag gives nothing, like markup: the author is told which it was.
  for (const TTagText::Unknown& u : text.UnknownTags())
    printCp1252(stderr, "Attention : " + u.sentence + "\n");
  printCp1252(stdout, ExpandTags(*w.db, p, text) + "\n");
  return 0;
}

}  // namespace lignado::cli
