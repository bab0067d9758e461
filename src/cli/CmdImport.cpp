#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <new>
#include <string>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"

namespace lignado::cli {
namespace {

// The importer's status texts are for a window label; the terminal shows the progress bar and
// the summary printed below instead of a line per 182 records.
class ImportHost : public TerminalHost {
 public:
  void setStatus(const std::string&) override {}
};

constexpr long kMaxCapacity = 2000000;

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
      const std::string& v = args[i];
      char* end = nullptr;
      capacity = std::strtol(v.c_str(), &end, 10);
      if (v.empty() || *end != '\0' || capacity < 1 || capacity > kMaxCapacity)
        return usageError("Capacit\xE9 invalide : " + v + " (de 1 \xE0 " +
                          std::to_string(kMaxCapacity) + ").");
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("Option inconnue : " + a + ".");
    } else if (file.empty()) {
      file = a;
    } else {
      return usageError("Un seul fichier GEDCOM \xE0 la fois.");
    }
  }
  if (file.empty()) return usageError("Fichier GEDCOM manquant.");

  // The pools take their full size at once, close to 1 KB per record of capacity.
  std::unique_ptr<TBD> pools;
  try {
    pools = std::make_unique<TBD>(static_cast<int>(capacity));
  } catch (const std::bad_alloc&) {
    printCp1252(stderr, "M\xE9moire insuffisante pour une capacit\xE9 de " +
                            std::to_string(capacity) + ".\n");
    return 1;
  }
  TBD& db = *pools;
  THead head;
  ImportResult r;
  {
    ImportHost host;
    r = ImportGedcom(db, file, head, mode, false, writeLog, true, &host);
  }
  if (r.failed) {
    if (!r.reason.empty()) printCp1252(stderr, r.reason + "\n");
    if (db.PersonCount + db.UnionCount == 0) return 1;
  }

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

  if (r.incomplete())
    printCp1252(stderr, "Attention : " + DroppedSummary(r, db.Capacity()) +
                            " Relancez avec une capacit\xE9 plus grande (--capacity N).\n");
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
