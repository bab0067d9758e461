#include <cstdio>
#include <filesystem>
#include <optional>
#include <string>
#include <system_error>

#include "cli/Commands.h"
#include "cli/TerminalHost.h"
#include "cli/WizardImport.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "pages/TemplateFiles.h"
#include "pages/uParser.h"
#include "util/Utf8.h"

namespace lignado::cli {
namespace {

namespace fs = std::filesystem;

const char kBuildUsage[] =
    "Usage : lignado-cli build FICHIER.ged [--template NOM|DOSSIER] [--out DOSSIER] "
    "[--capacity N]\n";

int usageError(const std::string& why) {
  printCp1252(stderr, why + "\n");
  std::fputs(kBuildUsage, stderr);
  return 2;
}

// Arguments and paths are UTF-8; messages are Windows-1252 until printed.
std::string shown(const fs::path& p) {
  return Utf8ToCp1252(p.string());
}

fs::path programFolder() {
  std::error_code ec;
  fs::path exe = fs::read_symlink("/proc/self/exe", ec);
  return ec ? fs::current_path(ec) : exe.parent_path();
}

// A name is a folder of "modele" beside the program; anything with a "/" is a folder path.
std::optional<fs::path> templateFolder(const std::string& arg, fs::path& searched) {
  std::error_code ec;
  if (arg.find('/') == std::string::npos) {
    searched = programFolder() / "modele";
    if (auto found = FindNoCase(searched, Utf8ToCp1252(arg), true)) return found;
  }
  if (fs::is_directory(arg, ec)) return fs::path(arg);
  return std::nullopt;
}

// The system's reason in French for the failures a user can fix.
std::string reason(const std::error_code& ec) {
  if (ec == std::errc::not_a_directory) return " : un \xE9l\xE9ment du chemin est un fichier";
  if (ec == std::errc::permission_denied) return " : acc\xE8s refus\xE9";
  if (ec == std::errc::read_only_file_system) return " : disque en lecture seule";
  if (ec == std::errc::no_space_on_device) return " : disque plein";
  return "";
}

}  // namespace

int cmdBuild(const Args& args) {
  std::string file, templateArg = "classique", out = "site";
  long capacity = 1000;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--template" || a == "--out" || a == "--capacity") {
      if (++i >= args.size()) return usageError("Option " + a + " sans valeur.");
      const std::string& v = args[i];
      if (a == "--template") {
        templateArg = v;
      } else if (a == "--out") {
        out = v;
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

  fs::path searched;
  std::optional<fs::path> tpl = templateFolder(templateArg, searched);
  if (!tpl) {
    std::string where = searched.empty() ? "" : " (ni dans " + shown(searched) + ")";
    printCp1252(stderr, "Mod\xE8le introuvable : " + Utf8ToCp1252(templateArg) + where + ".\n");
    return 2;
  }
  if (!FindNoCase(*tpl, "index.kshtml")) {
    printCp1252(stderr, "Le mod\xE8le " + shown(*tpl) +
                            " n'a pas de page d'accueil (index.kshtml) : aucune page.\n");
    return 2;
  }

  WizardImport w;
  {
    TerminalHost host;
    w = ImportAsWizard(file, capacity, &host);
  }
  if (w.result.aborted) {
    std::fputs("Import interrompu : aucun site construit.\n", stderr);
    return 130;
  }
  if (w.result.failed && w.nothingRead()) return 1;
  const TBD& db = *w.db;

  fs::path dest(out);
  std::error_code ec;
  fs::create_directories(dest, ec);
  std::error_code statError;
  if (!fs::is_directory(dest, statError)) {
    printCp1252(stderr,
                "Impossible de cr\xE9"
                "er le dossier " +
                    shown(dest) + reason(ec) + ".\n");
    return 1;
  }

  SiteResult site;
  {
    TerminalHost host;
    TKSParse parser(db, &host);
    site = GenerateSite(parser, tpl->string() + "/", dest.string() + "/", &host);
  }
  printCp1252(stdout,
              "Pages \xE9"
              "crites : " +
                  std::to_string(site.pagesWritten) + " dans " + shown(dest) + "\n");
  std::fflush(stdout);
  if (!site.failed.empty()) {
    printCp1252(stderr, std::to_string(site.failed.size()) +
                            " page(s) n'ont pas pu \xEAtre enregistr\xE9"
                            "es.\n");
    return 1;
  }
  return w.result.failed ? 1 : 0;
}

}  // namespace lignado::cli
