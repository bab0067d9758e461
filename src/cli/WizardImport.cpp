#include "cli/WizardImport.h"

#include <cstdio>
#include <cstdlib>
#include <new>

#include "cli/Commands.h"
#include "util/Utf8.h"

namespace lignado::cli {

bool ParseCapacity(const std::string& value, long& capacity, std::string& complaint) {
  char* end = nullptr;
  long v = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || v < 1 || v > kMaxCapacity) {
    complaint = "Capacit\xE9 invalide : " + Utf8ToCp1252(value) + " (de 1 \xE0 " +
                std::to_string(kMaxCapacity) + ").";
    return false;
  }
  capacity = v;
  return true;
}

bool SplitCapacityOption(const std::vector<std::string>& args, std::vector<std::string>& positional,
                         long& capacity, std::string& complaint) {
  for (size_t i = 0; i < args.size(); ++i) {
    if (args[i] != "--capacity") {
      positional.push_back(args[i]);
    } else if (++i >= args.size()) {
      complaint = "Option --capacity sans valeur.";
      return false;
    } else if (!ParseCapacity(args[i], capacity, complaint)) {
      return false;
    }
  }
  return true;
}

WizardImport ImportAsWizard(const std::string& file, long capacity, Host* host, uint8_t charMode,
                            bool writeLog) {
  WizardImport w;
  // The pools take their full size at once, close to 1 KB per record of capacity.
  try {
    w.db = std::make_unique<TBD>(static_cast<int>(capacity));
  } catch (const std::bad_alloc&) {
    printCp1252(stderr, "M\xE9moire insuffisante pour une capacit\xE9 de " +
                            std::to_string(capacity) + ".\n");
    w.result.failed = true;
    return w;
  }
  w.result = ImportGedcom(*w.db, file, w.head, charMode, false, writeLog, true, host);
  if (w.result.failed && !w.result.reason.empty()) printCp1252(stderr, w.result.reason + "\n");
  if (w.result.incomplete())
    printCp1252(stderr, "Attention : " + DroppedSummary(w.result, w.db->Capacity()) +
                            " Relancez avec une capacit\xE9 plus grande (--capacity N).\n");
  return w;
}

}  // namespace lignado::cli
