#pragma once

#include <cstddef>
#include <cstdint>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pages/TemplateProblems.h"
#include "util/Clock.h"

namespace lignado {

class TBD;
class Host;
class TTemplateAssets;
class TVivants;
class TPageList;
struct TemplateCache;
class TTextesPersonnes;
struct CompiledTemplate;
struct Expr;
class VariableSlots;

// What one page (or one preview run) may cost: a template line run or a call made is a step,
// and every text that a line writes or a call gives counts its bytes. A run over either limit
// stops, and the page holds only the error marker of LimitText.
inline constexpr uint64_t kMaxPageSteps = 50'000'000;
inline constexpr uint64_t kMaxPageBytes = uint64_t{512} << 20;

// Runs template files (".kshtml") of the page language and makes the text of one HTML page.
// All texts are Windows-1252. Folders given in (templateDir) are file-system paths as they
// stand; names written by templates (page references, include names) are Windows-1252 and
// may use "\" or "/" between folders. An object reads each template file once and works out
// each list and field once: after a change to a template or to the database, use a new object.
// "date()", "heure()" and ages read the clock handed in.
class TKSParse {
 public:
  explicit TKSParse(const TBD& db, Host* host = nullptr, const Clock& clock = SystemClock());

  std::string ErrorText;  // the error that ended the current run
  // The limits of one page's run; the pages this object runs take them.
  uint64_t MaxSteps = kMaxPageSteps;
  uint64_t MaxBytes = kMaxPageBytes;
  // French: the limit the last page (RunPage, RunTemplate) went over, and in which template;
  // empty when it stayed within them.
  std::string LimitText;
  // The host's stop request cut the last page (RunPage) short: it gave no text.
  bool Stopped = false;
  std::string TemplateDir;  // the template folder, ending with a separator
  // What the pages show of living persons; none: everything.
  const TVivants* Vivants = nullptr;
  // Where the problems met by the runs of this object (and of its pages) go; none: dropped.
  TemplateProblems* Problems = nullptr;
  // The site's address (CheckSiteAddress) for "adresse_page("; empty: none.
  std::string SiteUrl;

  std::vector<std::string> RunTemplate(const std::vector<std::string>& lines,
                                       const std::string& templateDir);
  std::string Evaluate(const std::string& expression);
  void SetVariable(const std::string& name, const std::string& value);
  std::string GetVariable(const std::string& name) const;
  void SetParameters(const std::string& parameterText);
  // The page text (every line followed by CR LF), or none when the template is missing.
  std::optional<std::string> RunPage(const std::string& pageReference,
                                     const std::string& templateDir);
  // A parser for pages run on another thread: the same database and clock, the texts of
  // persons shared with this one, its own variables, templates and lists, and its own host.
  TKSParse ForThread(Host* host) const;
  // Template files compiled so far by this parser and those made from it (threads, pages):
  // each is compiled once.
  std::size_t TemplatesCompiled() const;

 private:
  // Where a run's output goes: lines as they are, or one text with CR LF after each line.
  struct Output {
    std::vector<std::string>* lines;
    std::string* text;
  };
  void run(const CompiledTemplate& tpl, Output out);
  // Counts the cost of a step; false, with ErrorText set, once a limit is passed.
  bool spend(uint64_t steps, std::size_t bytes) {
    steps_ += steps;
    bytes_ += bytes;
    return (steps_ <= MaxSteps && bytes_ <= MaxBytes && !overLimit_) || overspent();
  }
  bool overspent();
  void resetBudget();
  std::string eval(const Expr& x);
  std::string evalCall(const Expr& x);
  std::string evalChamp(const Expr& x);
  std::string evalListe(const Expr& x);
  std::string sortedList(const std::string& a, const std::string& b);
  std::string evalEvalue(const Expr& x);
  std::string evalInclude(const Expr& x);
  std::string evalLiteral(const Expr& x);
  // The substitutions of a literal from `from` on, done already made, as the language reads
  // them: a value may hold "$" in its turn.
  std::string substitute(std::string s, std::size_t from, int done) const;
  // Records a problem at the place of `at`, a text of the line being run (its statement's
  // place when `at` is a copy).
  void report(ProblemKind kind, std::string message, std::string_view at = {});
  // The place of `at` for code that reports problems inside it (tag expansion).
  TemplatePlace placeOf(std::string_view at);
  int columnOf(std::string_view at) const;
  void flushProblems();
  VariableSlots& variableSlots() const;
  // A variable's value; none when it was never set.
  const std::string* variable(std::size_t slot) const {
    return slot < values_.size() ? &values_[slot] : nullptr;
  }
  const std::string* variable(std::string_view name) const;
  void setVariable(std::size_t slot, std::string value);
  void setVariable(std::string_view name, std::string value);
  TTextesPersonnes* textes() const;
  const CompiledTemplate* loadTemplate(const std::string& dir, const std::string& name);

  const TBD& db_;
  Host* host_;
  const Clock* clock_;
  std::vector<std::string> values_;  // by the slots of their names
  int includeDepth_ = 0;
  int evalDepth_ = 0;
  uint64_t steps_ = 0, bytes_ = 0;
  bool overLimit_ = false;
  bool stopped_ = false;  // a sort was cut short: the run ends, its text is worthless
  const CompiledTemplate* running_ = nullptr;  // the template being run
  std::string pageRef_;                        // the reference of the page (RunPage)
  std::size_t line_ = 0;                       // and its line being run
  PageProblems pageProblems_;
  // Template files read so far, shared with the pages this object runs.
  std::shared_ptr<TemplateCache> cache_;
};

// "Syntax Error" and the other statement errors end a run with this line.
std::string ErrorMarker(const std::string& errorText);

}  // namespace lignado
