#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lignado {

// Splits a text into lines at every CR LF, CR or LF; a final line break ends the last line.
std::vector<std::string> SplitLines(const std::string& text);

// A template line, classified once: a page runs the same lines thousands of times. Its texts
// are views of the raw line, so that a problem found in one tells its column.
struct CompiledLine {
  enum Kind : uint8_t {
    kSwitch,
    kIgnored,
    kAssign,
    kAssignError,
    kEcho,
    kIf,
    kIfError,
    kElse,
    kUnknown
  };
  Kind kind = kIgnored;
  std::string_view trimmed;  // the line without its leading blanks, as HTML mode writes it
  std::string_view a, b;     // assignment: name, expression; echo: expression; if: both sides
  std::string name;          // assignment: the name lower-cased
  bool equal = true;         // if: "==" rather than "<>"
  // Where a failed condition's skip and an else's skip end: the next raw "else" or "endif",
  // the next raw "endif" (the number of lines when there is none).
  std::size_t skipIf = 0, skipElse = 0;
};

struct CompiledTemplate {
  std::string name;  // as the page or include named it
  // The lines as read; their texts stay in place when the template moves.
  std::vector<std::string> raw;
  std::vector<CompiledLine> lines;
};

// A site runs the same few templates thousands of times and asks for the same relatives on
// many pages. The database does not change while pages run, so each template is read once

// Reads template lines into statements once; a page runs the same lines thousands of times.
CompiledTemplate CompileTemplate(std::vector<std::string> lines);

}  // namespace lignado
