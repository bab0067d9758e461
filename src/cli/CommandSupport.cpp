#include "cli/CommandSupport.h"

#include <cstdio>
#include <cstdlib>

#include "cli/Commands.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

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

bool WantsHelp(const std::vector<std::string>& args) {
  for (const std::string& a : args)
    if (a == "--help" || a == "-h") return true;
  return false;
}

int PrintHelp(const char* usage, const char* help) {
  printCp1252(stdout, std::string(usage) + "\n" + help);
  return 0;
}

void ReportImport(const ImportOutcome& import) {
  if (!import.failure.empty()) printCp1252(stderr, import.failure + "\n");
  if (!import.dropped.empty())
    printCp1252(stderr, "Attention : " + import.dropped +
                            " Relancez sans --capacity, ou avec une capacit\xE9 plus grande.\n");
}

}  // namespace lignado::cli

namespace lignado::cli {

void PrintTemplateProblems(const std::vector<TemplateProblems::Entry>& problems,
                           const std::filesystem::path& templateFolder) {
  if (problems.empty()) return;
  const std::size_t n = problems.size();
  printCp1252(stderr, (n == 1 ? std::string("Une erreur") : std::to_string(n) + " erreurs") +
                          " dans le mod\xE8le (fichier:ligne:colonne) :\n");
  for (const std::string& line : ProblemLines(problems, Utf8ToCp1252(templateFolder.string())))
    printCp1252(stderr, "  " + line + "\n");
}

}  // namespace lignado::cli
