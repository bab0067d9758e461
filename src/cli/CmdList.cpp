#include <charconv>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "genealogy/Rech.h"
#include "util/Utf8.h"

namespace lignado::cli {
namespace {

bool readNumber(const std::string& s, long long& v) {
  auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), v);
  return !s.empty() && ec == std::errc() && ptr == s.data() + s.size();
}

const char* const kKeywords[] = {"parent", "enfant", "fatrie", "conjoint",   "tous",
                                 "asc",    "des",    "trie",   "commencepar"};

}  // namespace

// lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]: the list text of a "liste_"
// keyword, as a template would get it.
int cmdList(const Args& args) {
  Args pos;
  long long capacity = 1000;
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] == "--capacity") {
      if (++i >= args.size()) {
        std::fputs("Option --capacity sans valeur.\n", stderr);
        return 2;
      }
      if (!readNumber(args[i], capacity) || capacity < 1 || capacity > 10000000) {
        printCp1252(stderr,
                    "Capacit\xE9 invalide : " + Utf8ToCp1252(args[i]) + " (de 1 \xE0 10000000).\n");
        return 2;
      }
    } else {
      pos.push_back(args[i]);
    }
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

  TBD db(static_cast<int>(capacity));
  THead head;
  TerminalHost host;  // also the stop request of the text sort
  // The wizard's import: ANSEL, whole file, no log, surnames in capitals.
  ImportResult r = ImportGedcom(db, pos[0], head, kModeAnsel, false, false, true, &host);
  if (r.failed || r.aborted) {
    host.showMessage(r.reason.empty() ? std::string("Import interrompu.") : r.reason);
    return 1;
  }
  std::string dropped = DroppedSummary(r, db.Capacity());
  if (!dropped.empty())
    host.showMessage("Attention : " + dropped +
                     " Relancez avec une capacit\xE9 plus grande (--capacity N).");

  std::string list = ListeMotCle(db, keyword, a, b, &host);
  printCp1252(stdout, list + "\n");
  return 0;
}

}  // namespace lignado::cli
