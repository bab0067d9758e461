#pragma once

#include <string>
#include <system_error>

namespace lignado {

// Why a file or folder operation failed, in French (Windows-1252), for the end of a message:
// "Impossible de lire le fichier X : " + SystemReason(errno) + ".". The system's own texts are
// English, and the user reads French.
std::string SystemReason(int error);
std::string SystemReason(const std::error_code& error);

}  // namespace lignado
