#include <cstdio>
#include <string>

#include "cli/Commands.h"
#include "util/Utf8.h"

namespace lignado::cli {

void printCp1252(std::FILE* out, const std::string& text) {
  std::string u = Cp1252ToUtf8(text);
  std::fwrite(u.data(), 1, u.size(), out);
}

}  // namespace lignado::cli

namespace {

const char kUsage[] =
    "Usage :\n"
    "  lignado-cli import FICHIER.ged [--charset ansel|ibmpc|none] [--log] [--capacity N]\n"
    "  lignado-cli build FICHIER.ged [--template NOM|DOSSIER] [--out DOSSIER] [--capacity N]\n"
    "  lignado-cli tags FICHIER.ged PERSONNE 'TEXTE' [--capacity N]\n"
    "  lignado-cli list FICHIER.ged MOT-CLE A [B] [--capacity N]\n"
    "  lignado-cli upload DOSSIER --host H --user U [--path BASE] [--folder SOUS-DOSSIER]\n"
    "                     [--passive] [--port N] [--tls auto|require|off]\n"
    "                     [--tls-fingerprint EMPREINTE] [--timeout S] [--keep-remote]\n";

}  // namespace

int main(int argc, char** argv) {
  using namespace lignado::cli;
  if (argc < 2) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  std::string cmd = argv[1];
  Args args(argv + 2, argv + argc);
  if (cmd == "import") return cmdImport(args);
  if (cmd == "build") return cmdBuild(args);
  if (cmd == "tags") return cmdTags(args);
  if (cmd == "list") return cmdList(args);
  if (cmd == "upload") return cmdUpload(args);
  std::fputs(kUsage, stderr);
  return 2;
}
