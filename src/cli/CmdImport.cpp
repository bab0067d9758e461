#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::cli {
namespace {

const char kImportUsage[] =
    "Usage : lignado-cli import FICHIER.ged [--charset ansel|ibmpc|none] [--log] "
    "[--capacity N]\n";

const char kImportHelp[] =
    "Lit le fichier GEDCOM comme l'assistant et affiche son en-t\xEAte, le nombre de personnes,\n"
    "d'unions, d'\xE9v\xE9nements et de sources, puis les 100 premi\xE8res personnes.\n"
    "\n"
    "  --charset ansel|ibmpc|none  jeu de caract\xE8res d'un fichier sans ligne CHAR "
    "(ansel par d\xE9"
    "faut)\n"
    "  --log                       \xE9"
    "crit le journal kestrane.log \xE0 c\xF4t\xE9 du fichier\n"
    "  --capacity N                nombre fixe d'enregistrements par table (par d\xE9"
    "faut, tout le fichier)\n";

int usageError(const std::string& why) {
  printCp1252(stderr, why + "\n");
  std::fputs(kImportUsage, stderr);
  return 2;
}

// CR LF line ends of stored texts become the terminal's; the last one is dropped.
std::string terminalLines(std::string text) {
  std::string out;
  for (size_t i = 0; i < text.size(); ++i) {
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
    out += text[i];
  }
  while (!out.empty() && out.back() == '\n') out.pop_back();
  return out;
}

}  // namespace

int cmdImport(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kImportUsage, kImportHelp);
  std::string file;
  ImportOptions options;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--log") {
      options.writeLog = true;
    } else if (a == "--charset") {
      if (++i >= args.size()) return usageError("Option --charset sans valeur.");
      const std::string& v = args[i];
      if (v == "ansel")
        options.charMode = kModeAnsel;
      else if (v == "ibmpc")
        options.charMode = kModeIbmPc;
      else if (v == "none")
        options.charMode = kModeNone;
      else
        return usageError("Jeu de caract\xE8res inconnu : " + Utf8ToCp1252(v) + ".");
    } else if (a == "--capacity") {
      if (++i >= args.size()) return usageError("Option --capacity sans valeur.");
      std::string complaint;
      if (!ParseCapacity(args[i], options.capacity, complaint)) return usageError(complaint);
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("Option inconnue : " + Utf8ToCp1252(a) + ".");
    } else if (file.empty()) {
      file = a;
    } else {
      return usageError("Un seul fichier GEDCOM \xE0 la fois.");
    }
  }
  if (file.empty()) return usageError("Fichier GEDCOM manquant.");

  ImportOutcome w;
  {
    TerminalHost host;
    w = ImportForPublication(file, options, &host);
  }
  ReportImport(w);
  if (w.result.failed && w.nothingRead()) return 1;

  static const char* const labels[9] = {
      "Logiciel",        "Version du logiciel", "Nom du logiciel",      "Soci\xE9t\xE9",
      "Date du fichier", "Version GEDCOM",      "Jeu de caract\xE8res", "Langue",
      "Note et auteur"};
  // Arguments are UTF-8; the text is Windows-1252 until printed.
  std::string out = "Fichier : " + Utf8ToCp1252(file) + "\n";
  for (int i = 0; i < 9; ++i)
    if (!w.head[i].empty()) out += std::string(labels[i]) + " : " + terminalLines(w.head[i]) + "\n";
  out += "Personnes : " + std::to_string(w.persons) + "\n";
  out += "Unions : " + std::to_string(w.unions) + "\n";
  out += "\xC9v\xE9nements : " + std::to_string(w.events) + "\n";
  out += "Sources : " + std::to_string(w.sources) + "\n";
  std::vector<std::string> persons = PersonLines(*w.db);
  if (!persons.empty()) out += "\n";
  for (const std::string& line : persons) out += line + "\n";
  printCp1252(stdout, out);
  std::fflush(stdout);

  if (w.result.aborted) {
    printCp1252(stderr,
                "Import interrompu : seules les donn\xE9"
                "es lues avant l'arr\xEAt "
                "sont compt\xE9"
                "es.\n");
    return 130;
  }
  return w.result.failed ? 1 : 0;
}

}  // namespace lignado::cli
