#include <termios.h>
#include <unistd.h>

#include <cctype>
#include <csignal>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>

#include "cli/CommandSupport.h"
#include "cli/Commands.h"
#include "cli/TerminalUpload.h"
#include "ftp/FtpTls.h"
#include "ftp/SftpConnection.h"
#include "util/Utf8.h"
#include "workflow/Publication.h"

namespace lignado::cli {
namespace {

const char kUploadUsage[] =
    "Usage : lignado-cli upload DOSSIER --host H --user U [--path BASE] [--folder SOUS-DOSSIER]\n"
    "                     [--passive] [--port N] [--tls auto|require|off]\n"
    "                     [--tls-fingerprint EMPREINTE] [--timeout S] [--keep-remote]\n"
    "                     [--verify] [--max-delete N] [--protocol ftp|sftp]\n"
    "                     [--key FICHIER] [--host-key SHA256:...] [--trace FICHIER]\n"
    "Le mot de passe vient de la variable LIGNADO_FTP_PASSWORD ou, sur un terminal, d'une "
    "saisie masqu\xE9"
    "e.\n";

const char kUploadHelp[] =
    "Envoie le dossier par FTP (ou SFTP) dans BASE/SOUS-DOSSIER du serveur, comme l'assistant.\n"
    "Seuls les\n"
    "fichiers dont cette destination n'a pas encore le contenu partent (le dossier garde\n"
    "l'empreinte des envois dans .lignado-upload) : un envoi interrompu reprend l\xE0 o\xF9 il "
    "s'est arr\xEAt\xE9.\n"
    "Les fichiers envoy\xE9s que le site n'a plus sont supprim\xE9s du serveur.\n"
    "Chaque fichier part sous un nom provisoire, renomm\xE9 une fois complet ; les liens\n"
    "symboliques ne sont jamais suivis. Un fichier ou une suppression en \xE9"
    "chec fait finir\n"
    "l'envoi en erreur (code de sortie 1) et sera repris au prochain envoi.\n"
    "Ctrl-C arr\xEAte l'envoi entre deux fichiers ; un second Ctrl-C arr\xEAte le fichier en "
    "cours.\n"
    "\n"
    "  --host H          le serveur FTP ; sftp://H[:PORT] pour SFTP (port 22 par d\xE9"
    "faut)\n"
    "  --protocol P      ftp (par d\xE9"
    "faut) ou sftp\n"
    "  --user U          l'identifiant\n"
    "  --path BASE       le r\xE9pertoire de base sur le serveur\n"
    "  --folder SOUS     le sous-dossier sous la base\n"
    "  --passive         mode passif (derri\xE8re un pare-feu)\n"
    "  --port N          le port du serveur (21 par d\xE9"
    "faut)\n"
    "  --tls MODE        auto : TLS si le serveur le propose (par d\xE9"
    "faut) ;\n"
    "                    require : TLS obligatoire ; off : jamais. Un serveur d\xE9j\xE0 joint\n"
    "                    avec TLS, ou dont l'empreinte est donn\xE9"
    "e, n'est plus joint en clair\n"
    "                    qu'avec off\n"
    "  --tls-fingerprint EMPREINTE\n"
    "                    accepte le certificat de cette empreinte SHA-256\n"
    "  --timeout S       d\xE9lai en secondes (30 pour se connecter, 60 sans progr\xE8s par "
    "d\xE9"
    "faut)\n"
    "  --keep-remote     ne supprime rien sur le serveur\n"
    "  --verify          v\xE9rifie le site en ligne : renvoie ce qui y manque ou n'a pas la "
    "bonne taille\n"
    "  --max-delete N    permet jusqu'\xE0 N suppressions quand elles retireraient plus de la\n"
    "                    moiti\xE9 des fichiers envoy\xE9s (et plus de 20) ; sans cela, elles\n"
    "                    attendent et l'envoi finit en erreur\n"
    "  --key FICHIER     SFTP : se connecte avec cette cl\xE9 priv\xE9"
    "e (sa phrase secr\xE8te dans\n"
    "                    LIGNADO_KEY_PASSPHRASE) ; sans elle, l'agent SSH et les cl\xE9s de\n"
    "                    ~/.ssh, puis le mot de passe s'il est donn\xE9\n"
    "  --host-key EMPREINTE\n"
    "                    SFTP : accepte la cl\xE9 du serveur de cette empreinte (SHA256:...,\n"
    "                    comme l'affiche ssh-keygen -l) ; sinon seules celles de\n"
    "                    ~/.ssh/known_hosts le sont\n"
    "  --trace FICHIER   \xE9"
    "crit chaque commande et r\xE9ponse du serveur, avec l'heure, pour\n"
    "                    l'assistance (mot de passe masqu\xE9)\n";

int usage(const std::string& why) {
  if (!why.empty()) {
    printCp1252(stderr, why);
    std::fputc('\n', stderr);
  }
  printCp1252(stderr, kUploadUsage);
  return 2;
}

termios gSavedTerminal;

// Ctrl-C during the masked prompt must not leave the terminal without echo.
extern "C" void restoreTerminal(int sig) {
  ::tcsetattr(STDIN_FILENO, TCSANOW, &gSavedTerminal);
  std::signal(sig, SIG_DFL);
  std::raise(sig);
}

bool promptPassword(std::string& password, bool sftp) {
  if (!::isatty(STDIN_FILENO) || ::tcgetattr(STDIN_FILENO, &gSavedTerminal) != 0) return false;
  std::fputs(sftp ? "Mot de passe SFTP : " : "Mot de passe FTP : ", stderr);
  std::fflush(stderr);
  termios quiet = gSavedTerminal;
  quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
  auto previous = std::signal(SIGINT, restoreTerminal);
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  bool ok = static_cast<bool>(std::getline(std::cin, password));
  ::tcsetattr(STDIN_FILENO, TCSAFLUSH, &gSavedTerminal);
  std::signal(SIGINT, previous);
  std::fputc('\n', stderr);
  return ok;
}

bool parseSeconds(const std::string& v, uint32_t& ms) {
  char* end = nullptr;
  long n = std::strtol(v.c_str(), &end, 10);
  if (v.empty() || *end != '\0' || n < 1 || n > 86400) return false;
  ms = static_cast<uint32_t>(n) * 1000;
  return true;
}

// "sftp://host[:port]" or "ftp://..." (an IPv6 address in brackets); false when malformed.
bool splitHostUrl(const std::string& url, std::string& scheme, std::string& host, int& port) {
  auto sep = url.find("://");
  scheme = url.substr(0, sep);
  for (char& c : scheme) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  std::string rest = url.substr(sep + 3);
  if (!rest.empty() && rest.back() == '/') rest.pop_back();
  port = 0;
  auto colon = rest.rfind(':');
  if (colon != std::string::npos && rest.find(']', colon) == std::string::npos &&
      (rest[0] == '[' || rest.find(':') == colon)) {
    char* end = nullptr;
    const std::string p = rest.substr(colon + 1);
    long n = std::strtol(p.c_str(), &end, 10);
    if (p.empty() || *end != '\0' || n < 1 || n > 65535) return false;
    port = static_cast<int>(n);
    rest.resize(colon);
  }
  host = rest;
  return !host.empty() && host.find_first_of("/@?#") == std::string::npos &&
         (scheme == "ftp" || scheme == "sftp");
}

}  // namespace

int cmdUpload(const Args& args) {
  if (WantsHelp(args)) return PrintHelp(kUploadUsage, kUploadHelp);
  std::string dir, host, user, base, folder;
  std::string fingerprint, protocolName, keyFile, hostKey, tracePath;
  bool passive = false, keepRemote = false, verify = false, tlsGiven = false;
  int port = 0, maxDelete = 0;
  FtpTls tls = FtpTls::Auto;
  uint32_t connectMs = 30000, transferMs = 60000;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    bool hasValue = i + 1 < args.size();
    if (a == "--passive") {
      passive = true;
    } else if (a == "--keep-remote") {
      keepRemote = true;
    } else if (a == "--verify") {
      verify = true;
    } else if (a == "--host" || a == "--user" || a == "--path" || a == "--folder" ||
               a == "--port" || a == "--tls" || a == "--tls-fingerprint" || a == "--timeout" ||
               a == "--max-delete" || a == "--protocol" || a == "--key" || a == "--host-key" ||
               a == "--trace") {
      if (!hasValue) return usage("Valeur manquante apr\xE8s " + Utf8ToCp1252(a) + ".");
      const std::string& v = args[++i];
      if (a == "--host") host = v;
      if (a == "--key") keyFile = v;
      if (a == "--trace") tracePath = v;
      if (a == "--protocol") {
        if (v != "ftp" && v != "sftp")
          return usage("Valeur de --protocol invalide : " + Utf8ToCp1252(v) + " (ftp ou sftp).");
        protocolName = v;
      }
      if (a == "--host-key") {
        hostKey = NormalizeHostKey(v);
        if (hostKey.empty())
          return usage("Empreinte de cl\xE9 invalide : " + Utf8ToCp1252(v) +
                       " (SHA256:... comme l'affiche ssh-keygen -l).");
      }
      if (a == "--user") user = v;
      if (a == "--path") base = v;
      if (a == "--folder") folder = v;
      if (a == "--port") {
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n < 1 || n > 65535)
          return usage("Port invalide : " + Utf8ToCp1252(v) + ".");
        port = static_cast<int>(n);
      }
      if (a == "--tls") {
        if (v != "auto" && v != "require" && v != "off")
          return usage("Valeur de --tls invalide : " + Utf8ToCp1252(v) +
                       " (auto, require ou off).");
        tlsGiven = true;
        tls = v == "auto" ? FtpTls::Auto : v == "require" ? FtpTls::Require : FtpTls::Off;
      }
      if (a == "--tls-fingerprint") {
        if (NormalizeFingerprint(v).empty())
          return usage("Empreinte invalide : " + Utf8ToCp1252(v) +
                       " (64 chiffres hexad\xE9"
                       "cimaux, deux-points permis).");
        fingerprint = v;
        tlsGiven = true;
      }
      if (a == "--max-delete") {
        char* end = nullptr;
        long n = std::strtol(v.c_str(), &end, 10);
        if (v.empty() || *end != '\0' || n < 0 || n > INT32_MAX)
          return usage("Nombre de suppressions invalide : " + Utf8ToCp1252(v) + ".");
        maxDelete = static_cast<int>(n);
      }
      if (a == "--timeout") {
        if (!parseSeconds(v, connectMs))
          return usage("D\xE9lai invalide : " + Utf8ToCp1252(v) + ".");
        transferMs = connectMs;
      }
    } else if (a.rfind("--", 0) == 0 || !dir.empty()) {
      return usage("Argument inattendu : " + Utf8ToCp1252(a) + ".");
    } else {
      dir = a;
    }
  }
  if (dir.empty() || host.empty() || user.empty())
    return usage("Il faut un dossier, --host et --user.");
  if (host.find("://") != std::string::npos) {
    std::string scheme;
    int urlPort = 0;
    const std::string typed = host;
    if (!splitHostUrl(typed, scheme, host, urlPort))
      return usage("Serveur invalide : " + Utf8ToCp1252(typed) + " (sftp://H\xD4TE[:PORT]).");
    if (!protocolName.empty() && protocolName != scheme)
      return usage("--protocol " + protocolName + " et --host " + scheme +
                   "://... se contredisent.");
    if (urlPort && port && urlPort != port)
      return usage("--port " + std::to_string(port) + " et le port de --host se contredisent.");
    protocolName = scheme;
    if (urlPort) port = urlPort;
  }
  const bool sftp = protocolName == "sftp";
  if (sftp && tlsGiven) return usage("--tls et --tls-fingerprint ne valent que pour FTP.");
  if (!sftp && (!keyFile.empty() || !hostKey.empty()))
    return usage("--key et --host-key ne valent que pour SFTP.");
  if (port == 0) port = sftp ? 22 : 21;
  std::error_code ec;
  if (!std::filesystem::is_directory(dir, ec)) {
    bool exists = std::filesystem::exists(dir, ec);
    printCp1252(stderr, (exists ? "Ce n'est pas un dossier : " : "Dossier introuvable : ") +
                            Utf8ToCp1252(dir) + "\n");
    return 2;
  }

  std::string password;
  if (const char* env = std::getenv("LIGNADO_FTP_PASSWORD")) {
    password = env;
  } else if (sftp && (!keyFile.empty() || !::isatty(STDIN_FILENO))) {
    // A key (given, in the agent or in ~/.ssh) logs in without any password.
  } else if (!promptPassword(password, sftp)) {
    printCp1252(stderr,
                "Mot de passe manquant : d\xE9"
                "finissez LIGNADO_FTP_PASSWORD ou lancez la "
                "commande depuis un terminal.\n");
    return 2;
  }

  UploadRequest request;
  request.host = host;
  request.user = user;
  request.password = password;
  request.port = port;
  request.passive = passive;
  request.remoteRoot = RemoteRoot(base, folder);
  request.localFolder = dir;
  request.tls = tls;
  request.tlsFingerprint = fingerprint;
  request.connectTimeoutMs = connectMs;
  request.transferTimeoutMs = transferMs;
  request.keepRemote = keepRemote;
  request.verify = verify;
  request.maxDelete = maxDelete;
  request.protocol = sftp ? RemoteProtocol::Sftp : RemoteProtocol::Ftp;
  if (sftp) request.remoteRoot = SftpRemoteRoot(base, folder);
  request.sftp.keyFile = keyFile;
  request.sftp.trustedKey = hostKey;
  if (const char* phrase = std::getenv("LIGNADO_KEY_PASSPHRASE")) request.sftp.passphrase = phrase;
  request.tracePath = tracePath;
  TerminalUpload terminal;
  UploadOutcome sent = UploadPublication(request, &terminal);
  if (sftp && sent.hostKeyChanged)
    printCp1252(stderr,
                "La cl\xE9 de ce serveur a chang\xE9 : ce peut \xEAtre une usurpation. "
                "N'acceptez la nouvelle (--host-key " +
                    sent.refusedFingerprint +
                    ") qu'apr\xE8s l'avoir v\xE9rifi\xE9"
                    "e aupr\xE8s de votre h\xE9"
                    "bergeur.\n");
  else if (sftp && !sent.refusedFingerprint.empty())
    printCp1252(stderr,
                "Si cette cl\xE9 est bien celle de votre serveur, relancez avec --host-key " +
                    sent.refusedFingerprint + "\n");
  else if (!sent.refusedFingerprint.empty())
    printCp1252(stderr,
                "Si ce certificat est bien celui de votre serveur, relancez avec "
                "--tls-fingerprint " +
                    sent.refusedFingerprint + "\n");
  if (sent.plainRefused)
    printCp1252(stderr,
                "Pour envoyer quand m\xEAme sans chiffrement (mot de passe en clair), relancez "
                "avec --tls off\n");
  if (sent.heldDeletions > 0) {
    const std::string n = std::to_string(sent.heldDeletions);
    printCp1252(stderr, n +
                            " fichiers envoy\xE9s seraient supprim\xE9s du serveur, plus de la "
                            "moiti\xE9 de ceux qui y sont : rien n'a \xE9t\xE9 supprim\xE9.\n"
                            "S'ils doivent vraiment l'\xEAtre, relancez avec --max-delete " +
                            n + "\n");
  }
  return sent.ok ? 0 : 1;
}

}  // namespace lignado::cli
