#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>

#include "util/Clock.h"

namespace lignado {

class TBD;
class TVivants;

// The vocabulary of the page language, one row per name: the tags of "champ(" (what each
// reads, the forms it takes, what the living rule does to it, its handler), the "liste_"
// keywords and the functions. Names are Windows-1252, tags without their "<" and ">".
enum class TagFamily : uint8_t {
  Navigation,  // moves to a relative or a union, gives nothing; needs no person
  Event,       // "<eve:KIND,FIELD>"; needs no person
  Source,      // reads the source whose number the expansion was given
  MediaFile,   // reads the media whose number the expansion was given
  Person,
  Date,   // takes ":clair" and ":ann\xE9e"
  Place,  // takes ":clair"
  Media,
  Condition,  // "<h>", "<f>": empty the whole text for the other sexes
  List,       // a "liste_" keyword (the interpreter runs it)
  Function,   // a function or counter of the language (the interpreter runs it)
  EventItem,  // reads the event whose number the expansion was given (liste_evenement)
};

// How a row's name is written in a tag.
enum class TagArgument : uint8_t {
  None,   // the name alone: "<nom>"
  After,  // the name, then a text up to ">": "<conjoint 1>", "<ddn JJ/MM>", "<chp:Titre>"
};

// What a tag gives for a living person whose data the site hides.
enum class TagLiving : uint8_t {
  Shown,      // as for anyone
  GivenName,  // "Personne vivante" when the mode is anonymous, else as for anyone
  Withheld,   // empty, and the expansion asked for a hidden value
  Zero,       // "0", withheld
  NoDate,     // as for a person without a birth date, withheld
  Marker,     // "oui" for such a person, empty for anyone else
};

// Forms written after a tag's name, ":clair" ":ann\xE9e" ":js"; a row lists those it takes.
enum TagForm : uint8_t { kFormClair = 1, kFormAnnee = 2 };

// The state of one expansion, that handlers read and move.
struct TagState {
  const TBD& db;
  const Clock& clock;
  const TVivants* vivants;
  int32_t start;   // the person (or source) the expansion was given
  int32_t person;  // the current person, 0 for none
  int32_t uni = 0;
  bool withheld = false;  // a tag asked for a value that vivants hides
  // Set when a handler gave a tag text to expand in turn (the baptism or burial fallback).
  bool retag = false;
};

struct TagRow;
using TagHandler = std::string (*)(TagState&, const TagRow&, std::string_view argument);

struct TagRow {
  std::string_view name;
  TagFamily family;
  TagArgument argument;
  uint8_t forms;  // TagForm bits
  TagLiving living;
  TagHandler handler;  // none for lists and functions
  int code;            // the field code or choice the handler reads
};

// Every row, tags first.
std::span<const TagRow> TagTable();

// A tag read once: its row (none: an unknown tag, removed), the text after a keyword, the
// forms to apply in order, and how many times its value is written for a script (":js").
struct TagRef {
  const TagRow* row = nullptr;
  std::string_view argument;  // points into the tag text
  std::string forms;          // one letter a form: 'c' ":clair", 'a' ":ann\xE9e"
  int js = 0;
};
TagRef ResolveTag(std::string_view tag);  // tag: "<...>"

// The value of one tag (ref read from tag) in the state's context; moves the state.
std::string ExpandTag(TagState& state, const TagRef& ref);

// Whether a tag's first word names an HTML element ("b", "br", "/a"): such a tag is markup
// that the expansion removes, not a misspelt tag.
bool IsHtmlTag(std::string_view tag);
// For a tag that the table does not know and that is not HTML, the French sentence that
// says so ("Balise inconnue : <profesion>"); empty otherwise. *form tells whether the tag is
// known without its last form (":clair" on a tag that does not take it).
std::string UnknownTagSentence(std::string_view tag, bool* form = nullptr);

// Values as the pages write them: HTML text, and text for a JavaScript string.
void AppendHtmlText(std::string& out, std::string_view value);
std::string JsString(std::string_view value);

}  // namespace lignado
