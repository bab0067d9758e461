#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "util/Utf8.h"

namespace lignado::cli {

void printCp1252(std::FILE* out, const std::string& text) {
  std::string u = TerminalText(Cp1252ToUtf8(text));
  std::fwrite(u.data(), 1, u.size(), out);
}

}  // namespace lignado::cli

namespace {

const char kUsage[] =
    "Usage :\n"
    "  lignado-cli import FICHIER.ged [--charset ansel|ibmpc|none] [--log] [--capacity N]\n"
    "  lignado-cli build FICHIER.ged [--template NOM|DOSSIER] [--out DOSSIER] [--capacity N]\n"
    "  lignado-cli check MODELE [FICHIER.ged] [--capacity N]\n"
    "  lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]\n"
    "  lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]\n"
    "  lignado-cli upload DOSSIER --host H --user U [--path BASE] [--folder SOUS-DOSSIER]\n"
    "                     [--passive] [--port N] [--tls auto|require|off]\n"
    "                     [--tls-fingerprint EMPREINTE] [--timeout S] [--keep-remote]\n";

const char kHelp[] =
    "\n"
    "  import  lit un fichier GEDCOM et affiche ce qu'il contient\n"
    "  build   construit le site d'un fichier GEDCOM avec un mod\xE8le de pages\n"
    "  check   cherche les erreurs d'un mod\xE8le de pages, avec leur fichier et leur ligne\n"
    "  tags    essaie un texte de balises sur une personne\n"
    "  list    affiche une liste de parent\xE9 ou de recherche\n"
    "  upload  envoie le site par FTP, en reprenant un envoi interrompu\n"
    "\n"
    "lignado-cli COMMANDE --help : l'aide d'une commande.\n"
    "lignado-cli --version : la version.\n";

using Command = int (*)(const lignado::cli::Args&);

Command commandNamed(const std::string& name) {
  using namespace lignado::cli;
  if (name == "import") return cmdImport;
  if (name == "build") return cmdBuild;
  if (name == "check") return cmdCheck;
  if (name == "tags") return cmdTags;
  if (name == "list") return cmdList;
  if (name == "upload") return cmdUpload;
  return nullptr;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace lignado::cli;
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string cmd = argv[1];
  Args args(argv + 2, argv + argc);
  if (cmd == "--help" || cmd == "-h" || cmd == "help") {
    // "help COMMANDE" is that command's help.
    if (Command c = args.empty() ? nullptr : commandNamed(args[0])) return c({"--help"});
    std::fputs(kUsage, stdout);
    printCp1252(stdout, kHelp);
    return 0;
  }
  if (cmd == "--version") {
    std::puts("lignado-cli " LIGNADO_VERSION);
    return 0;
  }
  if (Command c = commandNamed(cmd)) return c(args);
  printCp1252(stderr, "Commande inconnue : " + lignado::Utf8ToCp1252(cmd) + "\n");
  std::fputs(kUsage, stderr);
  return 2;
}
