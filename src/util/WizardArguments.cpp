#include "util/WizardArguments.h"

#include <sys/stat.h>

#include <filesystem>
#include <system_error>

#include "util/Utf8.h"

#ifndef LIGNADO_VERSION
#define LIGNADO_VERSION "?"
#endif

namespace lignado {

const char kWizardUsage[] = "Usage : lignado [FICHIER.ged]\n";

namespace {

WizardStart Refuse(const std::string& why) {
  WizardStart s;
  s.run = false;
  s.status = 2;
  s.text = why + "\n" + kWizardUsage;
  return s;
}

std::string Shown(const std::string& path) {
  return Utf8ToCp1252(path);
}

}  // namespace

WizardStart ParseWizardArguments(const std::vector<std::string>& args) {
  WizardStart start;
  std::vector<std::string> files;
  bool options = true;
  for (const std::string& a : args) {
    if (options && a == "--") {
      options = false;
    } else if (options && (a == "--help" || a == "-h")) {
      start.run = false;
      start.text = std::string(kWizardUsage) +
                   "Ouvre l'assistant de publication ; avec un fichier GEDCOM, il commence \xE0 "
                   "la page du fichier, celui-ci choisi.\n"
                   "lignado --version : la version.\n";
      return start;
    } else if (options && a == "--version") {
      start.run = false;
      start.text = "lignado " LIGNADO_VERSION "\n";
      return start;
    } else if (options && a.size() > 1 && a[0] == '-') {
      return Refuse("Option inconnue : " + Shown(a));
    } else {
      files.push_back(a);
    }
  }
  if (files.size() > 1) return Refuse("Un seul fichier \xE0 la fois.");
  if (files.empty()) return start;
  const std::string& file = files[0];
  struct stat st {};
  if (file.empty() || ::stat(file.c_str(), &st) != 0)
    return Refuse("Fichier introuvable : " + Shown(file));
  if (S_ISDIR(st.st_mode))
    return Refuse(Shown(file) + " est un dossier ; donnez un fichier GEDCOM.");
  if (!S_ISREG(st.st_mode)) return Refuse(Shown(file) + " n'est pas un fichier GEDCOM.");
  std::error_code ec;
  std::filesystem::path absolute = std::filesystem::absolute(file, ec);
  start.file = ec ? file : absolute.lexically_normal().string();
  return start;
}

}  // namespace lignado
