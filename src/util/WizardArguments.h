#pragma once

#include <string>
#include <vector>

namespace lignado {

// What the wizard's command line asks: start (with a GEDCOM file to open, or none), or print a
// text (help, version, or why the line is refused with the usage line) and end.
struct WizardStart {
  bool run = true;
  std::string file;  // the file to open, absolute (file-system bytes); empty: none
  std::string text;  // Windows-1252, for stdout (status 0) or stderr (status 2)
  int status = 0;
};

// "Usage : lignado [FICHIER.ged]" and what the options do.
extern const char kWizardUsage[];

// The arguments after the program's name: none or one GEDCOM file (a regular file; after "--"
// a name may begin with "-"); --help or --version anywhere print and end. A missing file, a
// folder, a second file or another option is refused with the usage line.
WizardStart ParseWizardArguments(const std::vector<std::string>& args);

}  // namespace lignado
