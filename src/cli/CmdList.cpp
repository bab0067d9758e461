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

// The arguments of the keywords, for the help and the checks: how many it needs and whether
// they are whole numbers. The keywords themselves are the engine's (ListKeywords); one this
// table lacks is still listed and run, with "A [B]" and no check.
struct Arguments {
  const char* name;
  const char* text;
  size_t needed;
  bool numbers;
};

const Arguments kArguments[] = {
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
    {"tranches", "LISTE", 1, false},
    {"tranche", "N LISTE", 2, false},
    {"initiales", "LISTE", 1, false},
    {"initiale", "LETTRE LISTE", 2, false},
    {"source", "PERSONNE", 1, true},
    {"citation", "PERSONNE", 1, true},
    {"renvoi", "PERSONNE/FAIT", 1, false},
    {"citeur", "SOURCE", 1, true},
    {"citeurunion", "SOURCE", 1, true},
    {"photo", "PERSONNE [N]", 1, true},
    {"sosa", "[G\xC9N\xC9RATION]", 0, false},
    {"generations", "", 0, false},
    {"evenement", "PERSONNE [UNION]", 1, true},
    {"media", "PERSONNE", 1, true},
    {"media_evenement", "\xC9V\xC9NEMENT", 1, true},
    {"media_union", "PERSONNE CONJOINT", 2, true},
    {"media_source", "SOURCE", 1, true},
};

const Arguments* argumentsOf(std::string_view keyword) {
  for (const Arguments& a : kArguments)
    if (keyword == a.name) return &a;
  return nullptr;
}

std::string listHelp() {
  std::string help =
      "Affiche le texte de liste (num\xE9ros s\xE9par\xE9s par |) d'un mot-cl\xE9 \"liste_\", "
      "tel qu'une\npage de mod\xE8le le re\xE7oit :\n\n";
  for (std::string_view k : ListKeywords()) {
    const Arguments* a = argumentsOf(k);
    help += "  " + std::string(k) + (a && !*a->text ? "" : " ") + (a ? a->text : "A [B]") + "\n";
  }
  help +=
      "\n  --capacity N  nombre fixe d'enregistrements par table (par d\xE9"
      "faut, tout le fichier)\n";
  return help;
}

}  // namespace

// lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]: the list text of a "liste_"
// keyword, as a template would get it.
int cmdList(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kListUsage, listHelp().c_str());
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
  bool known = false;
  std::string all;
  for (std::string_view k : ListKeywords()) {
    known = known || keyword == k;
    all += (all.empty() ? "" : ", ") + std::string(k);
  }
  if (!known) {
    printCp1252(stderr, "Mot-cl\xE9 inconnu : " + keyword + " (connus : " + all + ")\n");
    return 2;
  }
  const size_t given = pos.size() - 2;
  const Arguments* arguments = argumentsOf(keyword);
  if (arguments && given < arguments->needed) {
    printCp1252(stderr, "Argument manquant : " + keyword + " " + arguments->text + ".\n");
    return 1;
  }
  for (size_t i = 2; arguments && arguments->numbers && i < pos.size(); ++i) {
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
