#include <cstdint>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "cli/WizardImport.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"

namespace lignado::cli {
namespace {

const char kImportUsage[] =
    "Usage : lignado-cli import FICHIER.ged [--charset ansel|ibmpc|none] [--log] "
    "[--capacity N]\n";

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
  std::string file;
  uint8_t mode = kModeAnsel;
  bool writeLog = false;
  long capacity = 1000;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--log") {
      writeLog = true;
    } else if (a == "--charset") {
      if (++i >= args.size()) return usageError("Option --charset sans valeur.");
      const std::string& v = args[i];
      if (v == "ansel")
        mode = kModeAnsel;
      else if (v == "ibmpc")
        mode = kModeIbmPc;
      else if (v == "none")
        mode = kModeNone;
      else
        return usageError("Jeu de caract\xE8res inconnu : " + v + ".");
    } else if (a == "--capacity") {
      if (++i >= args.size()) return usageError("Option --capacity sans valeur.");
      std::string complaint;
      if (!ParseCapacity(args[i], capacity, complaint)) return usageError(complaint);
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("Option inconnue : " + a + ".");
    } else if (file.empty()) {
      file = a;
    } else {
      return usageError("Un seul fichier GEDCOM \xE0 la fois.");
    }
  }
  if (file.empty()) return usageError("Fichier GEDCOM manquant.");

  WizardImport w;
  {
    TerminalHost host;
    w = ImportAsWizard(file, capacity, &host, mode, writeLog);
  }
  if (w.result.failed && w.nothingRead()) return 1;
  const TBD& db = *w.db;
  const THead& head = w.head;
  const ImportResult& r = w.result;

  static const char* const labels[9] = {
      "Logiciel",        "Version du logiciel", "Nom du logiciel",      "Soci\xE9t\xE9",
      "Date du fichier", "Version GEDCOM",      "Jeu de caract\xE8res", "Langue",
      "Note et auteur"};
  std::string out = "Fichier : " + file + "\n";
  for (int i = 0; i < 9; ++i)
    if (!head[i].empty()) out += std::string(labels[i]) + " : " + terminalLines(head[i]) + "\n";
  out += "Personnes : " + std::to_string(db.PersonCount) + "\n";
  out += "Unions : " + std::to_string(db.UnionCount) + "\n";
  out += "\xC9v\xE9nements : " + std::to_string(db.EventCount) + "\n";
  out += "Sources : " + std::to_string(db.SourceCount) + "\n";
  if (db.PersonCount > 0) out += "\n";
  for (int32_t p = 1; p <= db.PersonCount && p <= 100; ++p)
    out += db.GetSurname(p) + " " + db.GetGivenNames(p) + "\n";
  printCp1252(stdout, out);
  std::fflush(stdout);

  if (r.aborted) {
    printCp1252(stderr,
                "Import interrompu : seules les donn\xE9"
                "es lues avant l'arr\xEAt "
                "sont compt\xE9"
                "es.\n");
    return 130;
  }
  return r.failed ? 1 : 0;
}

}  // namespace lignado::cli
