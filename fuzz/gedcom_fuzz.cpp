// Any bytes as a GEDCOM file: import at a small capacity (so pools fill), then expand a line of
// tags for every person and run the list keywords, as a site would.
#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <string>

#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "pages/Listes.h"
#include "pages/Remplace.h"
#include "util/Owned.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  using namespace lignado;
  char path[] = "/tmp/lignado-fuzz-XXXXXX";
  OwnedFd fd(mkstemp(path));
  if (!fd) return 0;
  bool written = size == 0 || write(fd.get(), data, size) == static_cast<ssize_t>(size);
  fd.reset();
  if (!written) {
    unlink(path);
    return 0;
  }
  for (uint8_t mode : {kModeAnsel, kModeIbmPc, kModeNone}) {
    TBD db(50);
    THead head;
    ImportGedcom(db, path, head, mode, false, false, true, nullptr);
    for (int32_t p = 1; p <= db.PersonCount; ++p) {
      ExpandTags(db, p, "<nom> <pr\xE9nom> <ddn> <ldn> <o+x> <age> <note> <conjoint 0><nom>");
      ExpandTags(db, p,
                 "<eve:Naissance,adresse> <eve:D\xE9"
                 "c\xE8s,zodiaque> <union 1>"
                 "<eve:Mariage,date>");
    }
    for (const char* kw : {"parent", "enfant", "fatrie", "conjoint", "asc", "des"})
      ListeMotCle(db, kw, "1", "5");
    ListeMotCle(db, "commencepar", "<nom>", "");
    ListeMotCle(db, "trie", "<nom> <pr\xE9nom>", ListeMotCle(db, "tous", "", ""));
    NombreMotCle(db, "patronyme");
  }
  unlink(path);
  return 0;
}
