#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "genealogy/Vivants.h"
#include "pages/SiteGeneration.h"
#include "pages/TemplateProblems.h"
#include "pages/uParser.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::cli {
namespace {

namespace fs = std::filesystem;

const char kCheckUsage[] = "Usage : lignado-cli check MODELE [FICHIER.ged] [--capacity N]\n";

const char kCheckHelp[] =
    "Construit le site du mod\xE8le (un mod\xE8le livr\xE9 ou le dossier d'un mod\xE8le) dans un\n"
    "dossier temporaire, avec le fichier GEDCOM donn\xE9 ou la famille d'exemple livr\xE9"
    "e,\n"
    "puis lance une fois chaque fichier du mod\xE8le qu'aucune page n'a lanc\xE9. Chaque erreur\n"
    "(syntaxe, comparateur manquant, mot-cl\xE9, fonction ou balise inconnue, include\n"
    "introuvable ou sans fin, limite atteinte) est list\xE9"
    "e une fois avec son fichier, sa\n"
    "ligne, sa colonne et le nombre de pages o\xF9 elle se produit. Code de sortie 1 quand\n"
    "il y en a une, 0 sinon.\n"
    "\n"
    "  --capacity N  nombre fixe d'enregistrements par table (par d\xE9"
    "faut, tout le fichier)\n";

int usageError(const std::string& why) {
  printCp1252(stderr, why + "\n");
  std::fputs(kCheckUsage, stderr);
  return 2;
}

std::string shown(const fs::path& p) {
  return Utf8ToCp1252(p.string());
}

// The example family shipped beside the templates ("examples" next to a "modele" folder).
std::optional<fs::path> exampleFamily() {
  for (const fs::path& root : TemplateRoots()) {
    fs::path file = root.parent_path() / "examples" / "famille-exemple.ged";
    std::error_code ec;
    if (fs::is_regular_file(file, ec)) return file;
  }
  return std::nullopt;
}

// A private folder for the pages, removed when done.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::error_code ec;
    std::string pattern = (fs::temp_directory_path(ec) / "lignado-check-XXXXXX").string();
    if (ec) pattern = "/tmp/lignado-check-XXXXXX";
    if (mkdtemp(pattern.data())) path_ = pattern;
  }
  ~ScratchFolder() {
    std::error_code ec;
    if (!path_.empty()) fs::remove_all(path_, ec);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

// The template files of the folder, sorted, without their extension.
std::vector<std::string> templateNames(const fs::path& folder) {
  std::vector<std::string> names;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::path& p = it->path();
    if (p.extension() == ".kshtml") names.push_back(Utf8ToCp1252(p.stem().string()));
  }
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace

int cmdCheck(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kCheckUsage, kCheckHelp);
  std::vector<std::string> positional;
  long capacity = kGrowing;
  std::string complaint;
  if (!SplitCapacityOption(args, positional, capacity, complaint)) return usageError(complaint);
  for (const std::string& a : positional)
    if (a.size() > 1 && a[0] == '-')
      return usageError("Option inconnue : " + Utf8ToCp1252(a) + ".");
  if (positional.empty()) return usageError("Mod\xE8le manquant.");
  if (positional.size() > 2) return usageError("Un seul fichier GEDCOM \xE0 la fois.");

  std::optional<fs::path> tpl = FindTemplate(positional[0], TemplateRoots());
  if (!tpl) {
    printCp1252(stderr, "Mod\xE8le introuvable : " + Utf8ToCp1252(positional[0]) + ".\n");
    return 2;
  }
  std::optional<fs::path> ged;
  if (positional.size() == 2)
    ged = fs::path(positional[1]);
  else
    ged = exampleFamily();
  if (!ged) {
    printCp1252(stderr,
                "La famille d'exemple livr\xE9"
                "e est introuvable : donnez un fichier GEDCOM.\n");
    return 2;
  }

  ImportOutcome w;
  {
    TerminalHost host;
    ImportOptions options;
    options.capacity = capacity;
    w = ImportForPublication(ged->string(), options, &host);
  }
  ReportImport(w);
  if (w.result.aborted) return 130;
  if (w.result.failed && w.nothingRead()) return 1;

  ScratchFolder scratch;
  if (scratch.path().empty()) {
    printCp1252(stderr,
                "Impossible de cr\xE9"
                "er un dossier temporaire.\n");
    return 1;
  }
  TemplateProblems problems;
  const std::string dir = tpl->string() + "/";
  int pages = 0;
  {
    TerminalHost host;
    const TVivants vivants(*w.db, LivingMode::Hide);
    TKSParse parser(*w.db, &host);
    parser.Vivants = &vivants;
    parser.Problems = &problems;
    SiteResult site = GenerateSite(parser, dir, scratch.path().string() + "/", &host, 0);
    if (site.stopped) return 130;
    pages = site.pagesWritten;
    // The files no page reached run once alone, without parameters.
    const std::vector<std::string> ran = problems.FilesRun();
    for (const std::string& name : templateNames(*tpl)) {
      if (std::binary_search(ran.begin(), ran.end(), name + ".kshtml")) continue;
      parser.RunPage(name, dir);
      ++pages;
    }
  }
  const std::vector<TemplateProblems::Entry> found = problems.Entries();
  PrintTemplateProblems(found, *tpl);
  if (!found.empty()) return 1;
  printCp1252(stdout, "Aucune erreur dans le mod\xE8le " + shown(*tpl) + " (" +
                          std::to_string(pages) +
                          " pages essay\xE9"
                          "es).\n");
  return 0;
}

}  // namespace lignado::cli
