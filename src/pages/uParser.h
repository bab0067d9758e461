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

 private:
  // Lower-cased name ("$" included) -> value, in one open-addressed table: a page sets and
  // reads its few dozen variables thousands of times, and no limit applies to their number.
  class Variables {
   public:
    const std::string* Find(std::string_view name) const;  // name already lower-cased
    void Set(std::string_view name, std::string value);
    void Clear();

   private:
    struct Slot {
      std::size_t hash = 0;
      std::string name, value;  // an empty name marks a free slot
    };
    std::size_t probe(std::string_view name, std::size_t hash) const;
    std::vector<Slot> slots_;
    std::size_t used_ = 0;
  };

  // Where a run's output goes: lines as they are, or one text with CR LF after each line.
  struct Output {
    std::vector<std::string>* lines;
    std::string* text;
  };
  void run(const CompiledTemplate& tpl, Output out);
  // Counts the cost of a step; false, with ErrorText set, once a limit is passed.
  bool spend(uint64_t steps, std::size_t bytes);
  void resetBudget();
  std::string eval(std::string_view expr);
  std::string evalCall(std::string_view expr);
  std::string evalChamp(std::string_view expr);
  std::string evalListe(std::string_view expr);
  std::string sortedList(const std::string& a, const std::string& b);
  std::string evalNombreMotCle(std::string_view expr);
  std::string evalEvalue(std::string_view expr);
  std::string evalInclude(std::string_view expr);
  std::string evalNombre(std::string_view expr);
  std::string evalLiteral(std::string_view expr);
  // Records a problem at the place of `at`, a text of the line being run (its statement's
  // place when `at` is a copy).
  void report(ProblemKind kind, std::string message, std::string_view at = {});
  // The place of `at` for code that reports problems inside it (tag expansion).
  TemplatePlace placeOf(std::string_view at);
  int columnOf(std::string_view at) const;
  void flushProblems();
  const std::string* variable(std::string_view name) const;
  void setVariable(std::string_view name, std::string value);
  TTextesPersonnes* textes() const;
  const CompiledTemplate* loadTemplate(const std::string& dir, const std::string& name);

  const TBD& db_;
  Host* host_;
  const Clock* clock_;
  Variables variables_;
  int includeDepth_ = 0;
  int evalDepth_ = 0;
  uint64_t steps_ = 0, bytes_ = 0;
  bool overLimit_ = false;
  bool stopped_ = false;  // a sort was cut short: the run ends, its text is worthless
  const CompiledTemplate* running_ = nullptr;  // the template being run
  std::size_t line_ = 0;                       // and its line being run
  PageProblems pageProblems_;
  // Template files read so far, shared with the pages this object runs.
  std::shared_ptr<TemplateCache> cache_;
};

// Splits a text into lines at every CR LF, CR or LF; a final line break ends the last line.
std::vector<std::string> SplitLines(const std::string& text);

// "Syntax Error" and the other statement errors end a run with this line.
std::string ErrorMarker(const std::string& errorText);

// The ordered list of page references met while generating a site; a reference that equals
// an entry without regard to case is already there.
class TWorkList {
 public:
  TWorkList();  // holds "index"
  std::size_t size() const { return entries_.size(); }
  const std::string& operator[](std::size_t i) const { return entries_[i]; }
  // The entry equal to ref ignoring case, or nullptr.
  const std::string* Find(std::string_view ref) const;
  bool Add(const std::string& ref);  // false when already there

 private:
  // Entries by their text folded to lower case, in one open-addressed table holding a part of
  // each hash: a page looks up every link it holds, mostly in a list of many thousands.
  struct Slot {
    uint32_t entry = 0;  // entry index + 1; 0 marks a free slot
    uint32_t hash = 0;
  };
  const Slot* slot(std::string_view ref, std::size_t hash) const;
  void place(std::size_t entry, std::size_t hash);
  std::deque<std::string> entries_;  // a deque keeps the texts that Find points to in place
  std::vector<Slot> table_;
};

struct SiteResult {
  bool noDestination = false;  // destDir is not a folder: nothing was run or written
  // The host's stop request ended the generation: no page was written once it was seen.
  bool stopped = false;
  int pagesWritten = 0;
  std::vector<std::string> written;  // file names of the pages written, relative to destDir,
                                     // then of the template files copied
  // French: the first write that failed, file and reason; the generation stopped there.
  std::string failure;
  // French, one line per page that went over a limit of its run (it holds the error marker).
  std::vector<std::string> limited;
};

// Runs "index" and every page reference its pages link to, breadth first, and writes each page
// into destDir (a folder that must exist, or the result says noDestination), creating the
// sub-folders a page names. Each file is written whole (a temporary file renamed over the old
// one), recorded first in the list when one is given. The first write that fails stops the
// generation: the result's failure says which file and why. Progress goes to the host, and
// its stop request, asked before each page is written, ends the generation (stopped).
// Pages run on `jobs` threads (0: one per core); the files and the progress are those of one
// thread, and the host is called on the calling thread only.
SiteResult GenerateSite(TKSParse& interpreter, const std::string& templateDir,
                        const std::string& destDir, Host* host, int jobs = 1,
                        TPageList* list = nullptr);
// The number of threads that `jobs` asks for: itself when above 0, else one per core.
int PageThreads(int jobs);
// With assets, a link or source ("src=") naming a file of the template folder copies it and
// stays as written.
std::string RewriteLinks(const std::string& pageText, TWorkList& workList,
                         TTemplateAssets* assets = nullptr);
std::string PageFileName(const std::string& reference);

}  // namespace lignado
