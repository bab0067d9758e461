#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "pages/TemplateProblems.h"

namespace lignado {
struct ImportOutcome;
}

namespace lignado::cli {

constexpr long kMaxCapacity = 2000000;

// Reads the value of --capacity; on a bad value gives false and the French complaint.
bool ParseCapacity(const std::string& value, long& capacity, std::string& complaint);

// Takes "--capacity N" out of args; the other arguments go to positional, in order.
bool SplitCapacityOption(const std::vector<std::string>& args, std::vector<std::string>& positional,
                         long& capacity, std::string& complaint);

// "--help" or "-h" among the arguments of a command.
bool WantsHelp(const std::vector<std::string>& args);

// A command's help on stdout: its usage, then what it does; exit code 0.
int PrintHelp(const char* usage, const char* help);

// Says on stderr why an import failed and which records a full pool kept out.
void ReportImport(const ImportOutcome& import);

// Lists on stderr the mistakes met in the template's files, each once with its place.
void PrintTemplateProblems(const std::vector<TemplateProblems::Entry>& problems,
                           const std::filesystem::path& templateFolder);

}  // namespace lignado::cli
