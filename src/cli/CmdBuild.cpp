#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "genealogy/Sosa.h"
#include "util/Text.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::cli {
namespace {

namespace fs = std::filesystem;

const char kBuildUsage[] =
    "Usage : lignado-cli build FICHIER.ged [--template NOM|DOSSIER] [--out DOSSIER] "
    "[--capacity N] [--living hide|anonymous|publish] [--living-years N] [--jobs N]\n"
    "       [--media-dir DOSSIER]... [--media-max-mb N] [--root @I1@|NUMERO] [--site-url URL]\n"
    "       [--robots search|all|none] [--strict]\n";

const char kBuildHelp[] =
    "Lit le fichier GEDCOM comme l'assistant, puis \xE9"
    "crit le site du mod\xE8le dans le dossier\n"
    "de destination, cr\xE9\xE9 au besoin. Les pages qu'une g\xE9n\xE9ration pr\xE9"
    "c\xE9"
    "dente y avait\n"
    "\xE9"
    "crites et que celle-ci n'\xE9"
    "crit plus sont supprim\xE9"
    "es ; les autres fichiers du "
    "dossier\nne sont jamais touch\xE9s.\n"
    "\n"
    "  --template NOM|DOSSIER  un mod\xE8le livr\xE9 (classique par d\xE9"
    "faut, parchemin) ou le "
    "dossier\n"
    "                          d'un mod\xE8le\n"
    "  --out DOSSIER           le dossier de destination (site par d\xE9"
    "faut)\n"
    "  --capacity N            nombre fixe d'enregistrements par table (par d\xE9"
    "faut, tout le fichier)\n"
    "  --living MODE           les personnes vivantes : hide (par d\xE9"
    "faut) garde leur nom\n"
    "                          et cache dates, lieux, notes, sources et attributs ;\n"
    "                          anonymous cache aussi leurs pr\xE9noms ; publish montre tout\n"
    "                          (est vivant qui n'a ni d\xE9"
    "c\xE8s ni s\xE9pulture, ni naissance\n"
    "                          il y a plus de 100 ans, ni mariage ou enfant il y a plus\n"
    "                          de 80 ans ; sans date de naissance, un parent n\xE9 il y a\n"
    "                          plus de 150 ans, un grand-parent plus de 190, un fr\xE8re ou\n"
    "                          une s\x9Cur plus de 120, un conjoint plus de 130 le disent\n"
    "                          mort)\n"
    "  --living-years N        remplace les 100 ans de la r\xE8gle (de 40 \xE0 150) ; les\n"
    "                          autres dur\xE9"
    "es suivent (N-20, N+50, N+90, N+20, N+30)\n"
    "  --jobs N                nombre de pages construites en m\xEAme temps (une par c\x9Cur\n"
    "                          par d\xE9"
    "faut) ; le site est le m\xEAme quel que soit ce nombre\n"
    "  --media-dir DOSSIER     un dossier de plus d'o\xF9 les photos peuvent venir (option\n"
    "                          r\xE9p\xE9table) ; par d\xE9"
    "faut, seulement le dossier du fichier GEDCOM\n"
    "                          et ses sous-dossiers, jamais un fichier ou dossier cach\xE9\n"
    "                          (nom commen\xE7"
    "ant par un point)\n"
    "  --site-url URL          l'adresse du site (http:// ou https://) : sitemap.xml, liens\n"
    "                          canoniques et ligne Sitemap de robots.txt\n"
    "  --robots MODE           robots.txt : search (par d\xE9"
    "faut) ouvre le site aux moteurs de\n"
    "                          recherche et le ferme aux robots des entreprises d'IA\n"
    "                          (GPTBot, ClaudeBot, CCBot...) ; all l'ouvre \xE0 tous, none le\n"
    "                          ferme \xE0 tous\n"
    "  --strict                une erreur du mod\xE8le (signal\xE9"
    "e avec son fichier, sa ligne et\n"
    "                          sa colonne) fait \xE9"
    "chouer la construction (code de sortie 1)\n"
    "  --root @I1@|NUMERO      la personne de r\xE9"
    "f\xE9rence des num\xE9ros Sosa (le n\xB0 1) et\n"
    "                          d'Aboville, par son pointeur GEDCOM ou son num\xE9ro ; par\n"
    "                          d\xE9"
    "faut celle que le fichier num\xE9rote 1 (_SOSA), sinon la\n"
    "                          premi\xE8re du fichier\n"
    "  --media-max-mb N        taille maximale d'une photo copi\xE9"
    "e, en Mo (100 par d\xE9"
    "faut)\n";

constexpr long kMaxJobs = 256;
constexpr long kMaxMediaMb = 1000000;

bool parseJobs(const std::string& value, int& jobs, std::string& complaint) {
  char* end = nullptr;
  long v = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || v < 1 || v > kMaxJobs) {
    complaint = "Nombre de pages en m\xEAme temps invalide : " + Utf8ToCp1252(value) +
                " (de 1 \xE0 " + std::to_string(kMaxJobs) + ").";
    return false;
  }
  jobs = static_cast<int>(v);
  return true;
}

bool parseMediaMax(const std::string& value, uint64_t& bytes, std::string& complaint) {
  char* end = nullptr;
  long v = std::strtol(value.c_str(), &end, 10);
  if (value.empty() || *end != '\0' || v < 1 || v > kMaxMediaMb) {
    complaint = "Taille maximale des photos invalide : " + Utf8ToCp1252(value) + " (de 1 \xE0 " +
                std::to_string(kMaxMediaMb) + " Mo).";
    return false;
  }
  bytes = static_cast<uint64_t>(v) << 20;
  return true;
}

int usageError(const std::string& why) {
  printCp1252(stderr, why + "\n");
  std::fputs(kBuildUsage, stderr);
  return 2;
}

// Arguments and paths are UTF-8; messages are Windows-1252 until printed.
std::string shown(const fs::path& p) {
  return Utf8ToCp1252(p.string());
}

std::optional<fs::path> findTemplate(const std::string& typed) {
  std::vector<fs::path> roots = TemplateRoots();
  if (std::optional<fs::path> found = FindTemplate(typed, roots)) return found;
  std::string where;
  if (typed.find('/') == std::string::npos)
    for (const fs::path& root : roots)
      where += (where.empty() ? " (ni dans " : " ni dans ") + shown(root);
  if (!where.empty()) where += ")";
  std::vector<TemplateChoice> all = ListTemplates(roots);
  printCp1252(stderr, "Mod\xE8le introuvable : " + Utf8ToCp1252(typed) + where + ".\n" +
                          (all.empty() ? std::string("Aucun mod\xE8le disponible.")
                                       : "Mod\xE8les disponibles : " + TemplateNames(all)) +
                          "\n");
  return std::nullopt;
}

}  // namespace

int cmdBuild(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kBuildUsage, kBuildHelp);
  std::string file, templateArg = "classique", out = "site";
  long capacity = kGrowing;
  LivingMode living = LivingMode::Hide;
  int livingYears = kLivingYears;
  int jobs = 0;  // one thread per core
  MediaOptions media;
  bool strict = false;
  std::string root;
  SiteReferencing referencing;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--strict") {
      strict = true;
    } else if (a == "--template" || a == "--out" || a == "--capacity" || a == "--living" ||
               a == "--living-years" || a == "--jobs" || a == "--media-dir" ||
               a == "--media-max-mb" || a == "--root" || a == "--site-url" || a == "--robots") {
      if (++i >= args.size()) return usageError("Option " + a + " sans valeur.");
      const std::string& v = args[i];
      if (a == "--template") {
        templateArg = v;
      } else if (a == "--out") {
        out = v;
      } else if (a == "--root") {
        root = v;
      } else if (a == "--living") {
        std::optional<LivingMode> mode;
        if (v == "hide" || v == "anonymous" || v == "publish") mode = LivingModeNamed(v);
        if (!mode)
          return usageError("Valeur inconnue pour --living : " + Utf8ToCp1252(v) +
                            " (hide, anonymous ou publish).");
        living = *mode;
      } else if (a == "--living-years") {
        std::optional<int32_t> n = ParseInt32(v);
        if (!n || *n < 40 || *n > 150)
          return usageError(
              "Nombre d'ann\xE9"
              "es invalide pour --living-years : " +
              Utf8ToCp1252(v) + " (de 40 \xE0 150).");
        livingYears = *n;
      } else if (a == "--site-url") {
        SiteAddress address = CheckSiteAddress(v);
        if (!address.complaint.empty()) return usageError(address.complaint);
        referencing.url = address.url;
      } else if (a == "--robots") {
        std::optional<RobotsMode> mode = RobotsModeNamed(v);
        if (!mode)
          return usageError("Valeur inconnue pour --robots : " + Utf8ToCp1252(v) +
                            " (search, all ou none).");
        referencing.robots = *mode;
      } else if (a == "--media-dir") {
        std::error_code ec;
        if (!fs::is_directory(v, ec))
          return usageError("Dossier des photos introuvable : " + Utf8ToCp1252(v) + ".");
        media.folders.push_back(fs::absolute(fs::path(v)));
      } else if (a == "--media-max-mb") {
        std::string complaint;
        if (!parseMediaMax(v, media.maxBytes, complaint)) return usageError(complaint);
      } else if (a == "--jobs") {
        std::string complaint;
        if (!parseJobs(v, jobs, complaint)) return usageError(complaint);
      } else {
        std::string complaint;
        if (!ParseCapacity(v, capacity, complaint)) return usageError(complaint);
      }
    } else if (a.size() > 1 && a[0] == '-') {
      return usageError("Option inconnue : " + Utf8ToCp1252(a) + ".");
    } else if (file.empty()) {
      file = a;
    } else {
      return usageError("Un seul fichier GEDCOM \xE0 la fois.");
    }
  }
  if (file.empty()) return usageError("Fichier GEDCOM manquant.");
  if (templateArg.empty()) return usageError("Mod\xE8le manquant.");
  if (out.empty()) return usageError("Dossier de destination manquant.");

  std::optional<fs::path> tpl = findTemplate(templateArg);
  if (!tpl) return 2;
  if (!HasHomePage(*tpl)) {
    printCp1252(stderr, "Le mod\xE8le " + shown(*tpl) +
                            " n'a pas de page d'accueil (index.kshtml) : aucune page.\n");
    return 2;
  }

  ImportOutcome w;
  {
    TerminalHost host;
    ImportOptions options;
    options.capacity = capacity;
    w = ImportForPublication(file, options, &host);
  }
  ReportImport(w);
  if (w.result.aborted) {
    std::fputs("Import interrompu : aucun site construit.\n", stderr);
    return 130;
  }
  if (w.result.failed && w.nothingRead()) return 1;

  if (!root.empty()) {
    const int32_t p = FindRoot(*w.db, Utf8ToCp1252(root));
    if (p == 0) {
      printCp1252(stderr, UnknownRootText(Utf8ToCp1252(root)) + " : aucun site construit.\n");
      return 2;
    }
    NumberTree(*w.db, p);
  }

  const fs::path dest(out);
  FolderOutcome folder = MakeExportFolder(dest);
  if (!folder.ok) {
    printCp1252(stderr,
                "Impossible de cr\xE9"
                "er le dossier " +
                    shown(dest) + (folder.reason.empty() ? "" : " : " + folder.reason) + ".\n");
    return 1;
  }

  GenerateOutcome site;
  {
    TerminalHost host;
    site = GeneratePublication(*w.db, *tpl, dest, &host, living, jobs,
                               fs::absolute(fs::path(file)).parent_path(), media, livingYears,
                               referencing);
  }
  if (!site.done) {
    printCp1252(stderr, site.failure + (site.stopped ? " : le site n'est pas complet.\n" : "\n"));
    return site.stopped ? 130 : 1;
  }
  std::string written =
      "Pages \xE9"
      "crites : " +
      std::to_string(site.pagesWritten) + " dans " + shown(dest) + "\n";
  if (site.staleRemoved > 0) written += site.StaleText() + "\n";
  if (site.mediaCopied > 0)
    written +=
        "Photos copi\xE9"
        "es : " +
        std::to_string(site.mediaCopied) + "\n";
  if (site.sitemapPages > 0)
    written += "Pages dans sitemap.xml : " + std::to_string(site.sitemapPages) + "\n";
  printCp1252(stdout, written);
  std::fflush(stdout);
  if (!site.warning.empty()) printCp1252(stderr, "Attention : " + site.warning + "\n");
  for (const std::string& line : site.mediaMissing) printCp1252(stderr, line + "\n");
  for (const std::string& line : site.referencingNotes) printCp1252(stderr, line + "\n");
  for (const std::string& line : site.pagesLimited) printCp1252(stderr, line + "\n");
  PrintTemplateProblems(site.problems, *tpl);
  if (!site.pagesLimited.empty()) return 1;
  if (strict && !site.problems.empty()) return 1;
  return w.result.failed ? 1 : 0;
}

}  // namespace lignado::cli
