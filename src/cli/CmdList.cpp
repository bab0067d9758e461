#include <cstdio>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "data/Base.h"
#include "pages/Listes.h"
#include "util/Text.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::cli {
namespace {

const char kListUsage[] = "Usage : lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]\n";

const char kListHelp[] =
    "Affiche le texte de liste (num\xE9ros s\xE9par\xE9s par |) d'un mot-cl\xE9 \"liste_\", "
    "tel qu'une\n"
    "page de mod\xE8le le re\xE7oit :\n"
    "\n"
    "  parent|enfant|fatrie|conjoint PERSONNE\n"
    "  tous\n"
    "  asc|des PERSONNE [G\xC9N\xC9RATIONS]\n"
    "  trie TEXTE LISTE          la liste tri\xE9"
    "e selon le texte de balises\n"
    "  commencepar TEXTE D\xC9"
    "BUT   une personne par texte qui commence ainsi\n"
    "\n"
    "  --capacity N  nombre fixe d'enregistrements par table (par d\xE9"
    "faut, tout le fichier)\n";

// What each keyword reads: its arguments as the help shows them, how many it needs, and
// whether they are whole numbers.
struct Keyword {
  const char* name;
  const char* arguments;
  size_t needed;
  bool numbers;
};

const Keyword kKeywords[] = {
    {"parent", "PERSONNE", 1, true},
    {"enfant", "PERSONNE", 1, true},
    {"fatrie", "PERSONNE", 1, true},
    {"conjoint", "PERSONNE", 1, true},
    {"tous", "", 0, false},
    {"asc", "PERSONNE [G\xC9N\xC9RATIONS]", 1, true},
    {"des", "PERSONNE [G\xC9N\xC9RATIONS]", 1, true},
    {"trie", "TEXTE LISTE", 2, false},
    {"commencepar",
     "TEXTE D\xC9"
     "BUT",
     2, false},
};

}  // namespace

// lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]: the list text of a "liste_"
// keyword, as a template would get it.
int cmdList(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kListUsage, kListHelp);
  Args pos;
  long capacity = kGrowing;
  std::string complaint;
  if (!SplitCapacityOption(args, pos, capacity, complaint)) {
    printCp1252(stderr, complaint + "\n");
    return 2;
  }
  if (pos.size() < 2 || pos.size() > 4) {
    std::fputs(kListUsage, stderr);
    return 2;
  }
  std::string keyword = Utf8ToCp1252(pos[1]);
  const Keyword* known = nullptr;
  for (const Keyword& k : kKeywords)
    if (keyword == k.name) known = &k;
  if (!known) {
    std::string all;
    for (const Keyword& k : kKeywords) all += std::string(all.empty() ? "" : ", ") + k.name;
    printCp1252(stderr, "Mot-cl\xE9 inconnu : " + keyword + " (connus : " + all + ")\n");
    return 2;
  }
  const size_t given = pos.size() - 2;
  if (given < known->needed) {
    printCp1252(stderr, "Argument manquant : " + keyword + " " + known->arguments + ".\n");
    return 1;
  }
  for (size_t i = 2; known->numbers && i < pos.size(); ++i) {
    if (!ParseInt32(pos[i])) {
      printCp1252(stderr, "Nombre entier attendu : " + Utf8ToCp1252(pos[i]) + ".\n");
      return 1;
    }
  }
  std::string a = pos.size() > 2 ? Utf8ToCp1252(pos[2]) : std::string();
  std::string b = pos.size() > 3 ? Utf8ToCp1252(pos[3]) : std::string();

  TerminalHost host;  // also the stop request of the text sort
  ImportOptions options;
  options.capacity = capacity;
  ImportOutcome w = ImportForPublication(pos[0], options, &host);
  ReportImport(w);
  if (w.result.failed || w.result.aborted) {
    if (w.result.aborted) std::fputs("Import interrompu.\n", stderr);
    return 1;
  }
  bool stopped = false;
  std::string list =
      ListeMotCle(*w.db, keyword, a, b, &host, SystemClock(), nullptr, nullptr, &stopped);
  if (stopped) {
    std::fputs("Tri interrompu : aucune liste.\n", stderr);
    return 130;
  }
  printCp1252(stdout, list + "\n");
  return 0;
}

}  // namespace lignado::cli
