#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "pages/Balises.h"
#include "util/Clock.h"

namespace lignado {

class TBD;
class TVivants;

// A tag text ("<nom> <prénom>", "<eve:Naissance,lieu>" ...) read once into the template's
// text between its tags and the tags, each looked up in the table of tags.
class TTagText {
 public:
  explicit TTagText(std::string text);
  TTagText(const TTagText&) = delete;  // its tags point into its text
  TTagText& operator=(const TTagText&) = delete;

  const std::string& Text() const { return text_; }
  // Each distinct tag that is neither in the table nor HTML: where it starts in the text,
  // whether only its form is unknown, and the French sentence that says so.
  struct Unknown {
    size_t offset;
    bool form;
    std::string sentence;
  };
  std::vector<Unknown> UnknownTags() const;

  struct Part {
    size_t literal, literalSize;  // the text before the tag
    size_t tag, tagSize;          // "<...>"
    TagRef ref;
  };
  const std::vector<Part>& Parts() const { return parts_; }
  size_t Tail() const { return tail_; }  // the text from here on is left as it is

 private:
  std::string text_;
  std::vector<Part> parts_;
  size_t tail_ = 0;
};

// The expansion of a tag text for one person. Windows-1252 in and out. Each value enters as
// HTML text ("&", "<", ">", quotes escaped; the import's "&#321;" kept) and is never taken for
// a tag; the text around the tags is the template's, unchanged. An empty text or a person
// <= 0 gives the empty text. Ages are counted to the clock's date. With vivants, what its
// mode hides of living persons is not there for any tag, and *withheld (when given) tells
// whether a tag asked for such a value.
std::string ExpandTags(const TBD& db, int32_t person, const TTagText& text,
                       const Clock& clock = SystemClock(), const TVivants* vivants = nullptr,
                       bool* withheld = nullptr);
std::string ExpandTags(const TBD& db, int32_t person, const std::string& text,
                       const Clock& clock = SystemClock(), const TVivants* vivants = nullptr,
                       bool* withheld = nullptr);

}  // namespace lignado
