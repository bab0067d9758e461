#include "util/SystemReason.h"

#include <cerrno>

namespace lignado {

std::string SystemReason(int error) {
  switch (error) {
    case ENOENT:
      return "il n'existe pas";
    case EISDIR:
      return "c'est un dossier";
    case ENOTDIR:
      return "un \xE9l\xE9ment du chemin est un fichier";
    case EACCES:
    case EPERM:
      return "acc\xE8s refus\xE9";
    case EROFS:
      return "disque en lecture seule";
    case ENOSPC:
    case EDQUOT:
      return "disque plein";
    case ENAMETOOLONG:
      return "nom trop long";
    case ELOOP:
      return "trop de liens symboliques";
    case EEXIST:
      return "un fichier de ce nom existe d\xE9j\xE0";
    case EMFILE:
    case ENFILE:
      return "trop de fichiers ouverts";
    case ENOMEM:
      return "m\xE9moire insuffisante";
    case EIO:
      return "erreur de lecture ou d'\xE9"
             "criture sur le disque";
    default:
      return "erreur syst\xE8me " + std::to_string(error);
  }
}

std::string SystemReason(const std::error_code& error) {
  if (error.category() == std::generic_category() || error.category() == std::system_category())
    return SystemReason(error.value());
  return "erreur syst\xE8me " + std::to_string(error.value());
}

}  // namespace lignado
