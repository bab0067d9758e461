#pragma once

#include <string>

#include "util/Clock.h"

namespace lignado {

class TBD;
class Host;
class TVivants;

// The template language's "liste_" KIND (a, b), with evaluated argument texts, as a list text;
// an unknown KIND gives the empty text. Sorts and searches compare the tag expansion of a
// template (as vivants lets it show), and the host's stop request cuts a sort short.
std::string ListeMotCle(const TBD& db, const std::string& kind, const std::string& a,
                        const std::string& b, Host* host = nullptr,
                        const Clock& clock = SystemClock(), const TVivants* vivants = nullptr);

// "nombre_" KIND: "individu", "union", "patronyme"; anything else gives the empty text.
std::string NombreMotCle(const TBD& db, const std::string& kind);

}  // namespace lignado
