#pragma once

#include <cstdint>
#include <string>

#include "util/Clock.h"

namespace lignado {

class TBD;
class TVivants;

// The expansion of a tag text ("<nom> <prénom>", "<eve:Naissance,lieu>" ...) for one person.
// Windows-1252 in and out. Each value enters as HTML text ("&", "<", ">", quotes escaped;
// the import's "&#321;" kept) and is never taken for a tag; the text around the tags is the
// template's, unchanged. An empty text or a person <= 0 gives the empty text. Ages are
// counted to the clock's date. With vivants, what its mode hides of living persons is not
// there for any tag, and *withheld (when given) tells whether a tag asked for such a value.
std::string ExpandTags(const TBD& db, int32_t person, const std::string& text,
                       const Clock& clock = SystemClock(), const TVivants* vivants = nullptr,
                       bool* withheld = nullptr);

}  // namespace lignado
