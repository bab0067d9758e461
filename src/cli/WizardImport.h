#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "data/Base.h"
#include "gedcom/GedcomIn.h"

namespace lignado {
class Host;
}

namespace lignado::cli {

constexpr long kMaxCapacity = 2000000;

// Reads the value of --capacity; on a bad value gives false and the French complaint.
bool ParseCapacity(const std::string& value, long& capacity, std::string& complaint);

// Takes "--capacity N" out of args; the other arguments go to positional, in order.
bool SplitCapacityOption(const std::vector<std::string>& args, std::vector<std::string>& positional,
                         long& capacity, std::string& complaint);

struct WizardImport {
  std::unique_ptr<TBD> db;  // null when the pools could not be allocated
  THead head;
  ImportResult result;
  bool nothingRead() const { return !db || db->PersonCount + db->UnionCount == 0; }
};

// Imports as the wizard does (whole file, surnames in capitals; ANSEL unless told), then says
// on stderr why it failed and which records a full pool kept out.
WizardImport ImportAsWizard(const std::string& file, long capacity, Host* host,
                            uint8_t charMode = kModeAnsel, bool writeLog = false);

}  // namespace lignado::cli
