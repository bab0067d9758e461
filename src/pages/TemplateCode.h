#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lignado {

// Splits a text into lines at every CR LF, CR or LF; a final line break ends the last line.
std::vector<std::string> SplitLines(const std::string& text);

// Variable names (lower-cased, "$" included) and their places in a parser's table of values:
// templates name their variables once, when they are compiled. Shared by the threads.
class VariableSlots {
 public:
  static constexpr std::size_t kNone = ~std::size_t{0};
  std::size_t Slot(std::string_view name);        // adds the name when new
  std::size_t Find(std::string_view name) const;  // kNone when never named

 private:
  mutable std::mutex mutex_;
  std::unordered_map<std::string, std::size_t> slots_;
};

// An expression, read once: its kind as the first characters decide, its arguments split and
// read in turn. Texts are views of the template's line, or of `owned` when lower-cased.
struct Expr {
  enum Kind : uint8_t {
    kText,             // the expression itself; value holds it
    kUnknownFunction,  // the same, written as a call of no known function
    kVariable,
    kLiteral,
    kChamp,
    kListe,
    kNombreMotCle,
    kDate,
    kHeure,
    kEvalue,
    kInclude,
    kNombre,
    kAdressePage,
    kStatistique,
    kTooDeep  // nested beyond what a run evaluates
  };
  Kind kind = kText;
  std::string_view text;  // as written
  std::string value;      // kText: the value; kLiteral without "$": its value; kListe,
                          // kNombreMotCle: the kind word; kUnknownFunction: the name
  std::size_t slot = VariableSlots::kNone;     // kVariable; kEvalue: "$1"
  bool constant = false;                       // kLiteral: value is the whole answer
  bool secondArgument = false;                 // kListe: the second argument is read
  std::string_view tags;                       // kChamp: the tag text, without its quotes;
                                               // a variable instead goes into args[1]
  std::size_t stray = std::string_view::npos;  // kChamp: a ">" before its "<" in tags
  // kLiteral: the text between variables, and each variable's name and slot.
  struct Piece {
    std::string_view text, name;
    std::size_t slot = VariableSlots::kNone;
  };
  std::vector<Piece> pieces;
  std::vector<Expr> args;
  std::shared_ptr<const std::string> owned[2];
};

// Piece i of s cut at every sep; a missing piece is empty.
std::string_view PieceOf(std::string_view s, char sep, std::size_t i);
// The length of the name of "name(...)" when the expression is written as a call (a lower-case
// word then "("), else 0.
std::size_t FunctionNameLength(std::string_view e);
// The end of a string literal's reading, its variables substituted: "\n" becomes CR LF, then
// the first and last characters go.
std::string LiteralValue(std::string_view text);
// Whether the variable name ("$" and what follows) has a letter after its "$"; one that does
// not ("$ ", "$1") stays as written in a literal while it has no value.
bool NamesByLetter(std::string_view name);

// Reads an expression; depth: how deep it lies below the expression of its statement.
Expr CompileExpr(std::string_view text, VariableSlots& slots, int depth = 0);

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
  Expr ea, eb;               // a and b read (assignment: b only)
  std::size_t slot = VariableSlots::kNone;  // assignment: the variable's
  bool equal = true;                        // if: "==" rather than "<>"
  // Where a failed condition's skip and an else's skip end: the next raw "else" or "endif",
  // the next raw "endif" (the number of lines when there is none).
  std::size_t skipIf = 0, skipElse = 0;
};

struct CompiledTemplate {
  std::string name;  // as the page or include named it
  // The lines as read; their texts stay in place when the template moves.
  std::vector<std::string> raw;
  std::vector<CompiledLine> lines;
  bool shared = false;  // kept in a generation's store for as long as it lasts
};

// Reads template lines into statements and expressions once; a page runs the same lines
// thousands of times.
CompiledTemplate CompileTemplate(std::vector<std::string> lines, VariableSlots& slots);

}  // namespace lignado
