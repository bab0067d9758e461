#include <charconv>
#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
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
  if (pos.size() != 3) {
    std::fputs("Usage : lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]\n", stderr);
    return 2;
  }
  long long person = 0;
  if (!readNumber(pos[1], person) || person > INT32_MAX || person < INT32_MIN) {
    printCp1252(stderr, "Num\xE9ro de personne invalide : " + Utf8ToCp1252(pos[1]) + "\n");
    return 2;
  }

  TBD db(static_cast<int>(capacity));
  THead head;
  ImportResult r;
  {
    TerminalHost host;
    // The wizard's import: ANSEL, whole file, no log, surnames in capitals.
    r = ImportGedcom(db, pos[0], head, kModeAnsel, false, false, true, &host);
  }
  if (r.failed || r.aborted) {
    printCp1252(stderr, (r.reason.empty() ? std::string("Import interrompu.") : r.reason) + "\n");
    return 1;
  }
  std::string dropped = DroppedSummary(r, db.Capacity());
  if (!dropped.empty())
    printCp1252(stderr, "Attention : " + dropped +
                            " Relancez avec une capacit\xE9 plus grande (--capacity N).\n");

  printCp1252(stdout, ExpandTags(db, static_cast<int32_t>(person), Utf8ToCp1252(pos[2])) + "\n");
  return 0;
}

}  // namespace lignado::cli
