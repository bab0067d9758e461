#include "pages/uParser.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <exception>
#include <functional>
#include <mutex>
#include <string_view>
#include <system_error>
#include <thread>

#include "data/Base.h"
#include "pages/Listes.h"
#include "pages/PageList.h"
#include "pages/Remplace.h"
#include "pages/TemplateAssets.h"
#include "pages/TemplateFiles.h"
#include "util/Host.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace fs = std::filesystem;

namespace {

// A template that includes itself would otherwise recurse until the stack runs out.
constexpr int kMaxIncludeDepth = 64;
// Calls nested inside one expression ("champ(champ(champ(...") recurse the same way.
constexpr int kMaxEvalDepth = 512;
// A value holding its own "$name" would be substituted without end.
constexpr int kMaxSubstitutions = 100;
constexpr std::size_t kMaxLiteralSize = std::size_t{16} << 20;
constexpr std::size_t kMaxRemembered = 200000;

const char kNoComparator[] = "Syntax Error : Il n'y a pas de comparateur dans le if";
const char kNoComparatorProblem[] =
    "Il n'y a pas de comparateur dans le if : il faut == ou <> entre ses deux c\xF4t\xE9s.";
const char kAssignProblem[] =
    "Erreur de syntaxe : une affectation s'\xE9"
    "crit $nom = expression, le signe = manque.";
const char kStrayGreaterProblem[] =
    "Un \xAB > \xBB vient avant le \xAB < \xBB suivant dans le texte de balises : les "
    "balises qui le suivent restent telles quelles.";
const char kTooManyIncludes[] = "Syntax Error : Trop d'include imbriqu\xE9s";
const char kTooDeep[] =
    "Syntax Error : Expression trop imbriqu\xE9"
    "e";

// FNV-1a: names and references are short.
constexpr std::size_t kFnvBasis = 14695981039346656037ull;
constexpr std::size_t kFnvPrime = 1099511628211ull;

std::size_t hashOf(std::string_view s) {
  std::size_t h = kFnvBasis;
  for (char c : s) h = (h ^ static_cast<unsigned char>(c)) * kFnvPrime;
  return h;
}

unsigned char folded(char c) {
  return LowerCp1252(static_cast<unsigned char>(c));
}

std::size_t foldedHash(std::string_view s) {
  std::size_t h = kFnvBasis;
  for (char c : s) h = (h ^ folded(c)) * kFnvPrime;
  return h;
}

bool equalFolded(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i)
    if (folded(a[i]) != folded(b[i])) return false;
  return true;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// s with its ASCII capitals lowered, in store only when there are any.
std::string_view lowered(std::string_view s, std::string& store) {
  if (!HasUpperAscii(s)) return s;
  store = LowerAscii(s);
  return store;
}

// Piece i of s cut at every sep; a missing piece is empty.
std::string_view piece(std::string_view s, char sep, std::size_t i) {
  std::size_t start = 0;
  for (; i > 0; --i) {
    std::size_t k = s.find(sep, start);
    if (k == std::string_view::npos) return {};
    start = k + 1;
  }
  return s.substr(start, s.find(sep, start) - start);
}

// The item count of a list: up to its last non-empty piece.
std::size_t itemCount(std::string_view list) {
  std::size_t count = 0, index = 0, start = 0;
  for (;;) {
    std::size_t k = list.find('|', start);
    std::size_t end = k == std::string_view::npos ? list.size() : k;
    ++index;
    if (end > start) count = index;
    if (k == std::string_view::npos) return count;
    start = k + 1;
  }
}

// The argument text of "name(...)": after the prefix, without the last character.
std::string_view argumentText(std::string_view expr, std::size_t prefixLength) {
  if (expr.size() <= prefixLength) return {};
  return expr.substr(prefixLength, expr.size() - prefixLength - 1);
}

// The length of the name of "name(...)" when the expression is written as a call (a lower-case
// word then "("), else 0.
std::size_t functionNameLength(std::string_view e) {
  std::size_t n = 0;
  while (n < e.size() &&
         ((e[n] >= 'a' && e[n] <= 'z') || e[n] == '_' || (n > 0 && e[n] >= '0' && e[n] <= '9')))
    ++n;
  return n > 0 && n < e.size() && e[n] == '(' ? n : 0;
}

// The offset of a ">" that tag expansion would meet before the next "<" while tags still follow
// it (the scan then stops and leaves them), or npos. Values never hold "<" or ">".
std::size_t strayGreater(std::string_view tags) {
  std::size_t pos = 0;
  for (;;) {
    std::size_t lt = tags.find('<', pos);
    if (lt == std::string_view::npos) return std::string_view::npos;
    std::size_t gt = tags.find('>', pos);
    if (gt == std::string_view::npos) return std::string_view::npos;
    if (gt < lt) return gt;
    pos = gt + 1;
  }
}

bool needsSecondArgument(std::string_view kind) {
  return kind == "asc" || kind == "des" || kind == "commencepar" || kind == "trie" ||
         kind == "tranche" || kind == "initiale" || kind == "photo";
}

std::string twoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string todayText(const Clock& clock) {
  LocalTime t = clock.now();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", t.day, t.month, t.year);
  return buf;
}

std::string timeText(const Clock& clock) {
  LocalTime t = clock.now();
  return twoDigits(t.hour) + ":" + twoDigits(t.minute) + ":" + twoDigits(t.second);
}

// The extension of the last path component, from its last ".".
std::string_view extensionOf(std::string_view name) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return name.substr(dot);
}

// "50 000 000": digits in groups of three, as French writes numbers.
std::string groupedDigits(uint64_t n) {
  std::string digits = std::to_string(n), out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out += ' ';
    out += digits[i];
  }
  return out;
}

// Whether the file system can hold a name this long (Linux: 255 bytes a part, 4096 in all).
bool nameFits(const fs::path& file) {
  if (file.native().size() >= 4096) return false;
  for (const fs::path& part : file)
    if (part.native().size() > 255) return false;
  return true;
}

}  // namespace

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
// and each list worked out once (sorts aside: the Escape key can cut one short).
struct TemplateCache {
  // Template folder -> file name as written -> the template, none when there is no such file.
  // Looked up by views, so an include costs no copy of its name.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return hashOf(s); }
  };
  using Files =
      std::unordered_map<std::string, std::optional<CompiledTemplate>, TextHash, std::equal_to<>>;
  std::unordered_map<std::string, Files, TextHash, std::equal_to<>> files;
  std::unordered_map<std::string, std::string> lists;
  // The texts of persons by template, which the sorts and searches compare; made when first
  // asked for, as the living persons' rule then stands.
  std::shared_ptr<TTextesPersonnes> textes;

  const std::string& list(std::string key, const std::function<std::string()>& make) {
    auto it = lists.find(key);
    if (it != lists.end()) return it->second;
    if (lists.size() >= kMaxRemembered) lists.clear();  // keeps huge databases within bounds
    return lists.emplace(std::move(key), make()).first->second;
  }
};

namespace {

// The first word of a script line, for the message of an unknown one.
std::string_view firstWord(std::string_view line) {
  std::size_t end = 0;
  while (end < line.size() && static_cast<unsigned char>(line[end]) > ' ' && end < 40) ++end;
  return line.substr(0, end);
}

CompiledTemplate compile(std::vector<std::string> lines) {
  CompiledTemplate t;
  t.raw = std::move(lines);
  const std::vector<std::string>& raw = t.raw;
  t.lines.resize(raw.size());
  std::size_t nextElseOrEndif = raw.size(), nextEndif = raw.size();
  for (std::size_t i = raw.size(); i-- > 0;) {
    CompiledLine& l = t.lines[i];
    l.skipIf = nextElseOrEndif;
    l.skipElse = nextEndif;
    if (raw[i] == "endif") nextElseOrEndif = nextEndif = i;
    if (raw[i] == "else") nextElseOrEndif = i;

    std::string_view line = TrimLeftBlanks(raw[i]);
    l.trimmed = line;
    if (line == "#") {
      l.kind = CompiledLine::kSwitch;
    } else if (TrimRightBlanks(line).empty() || startsWith(line, "//")) {
      l.kind = CompiledLine::kIgnored;
    } else if (startsWith(line, "$")) {
      std::size_t eq = line.find('=');
      if (eq == std::string_view::npos) {
        l.kind = CompiledLine::kAssignError;
      } else {
        l.kind = CompiledLine::kAssign;
        l.a = TrimBlanks(line.substr(0, eq));
        l.name = LowerAscii(l.a);
        l.b = TrimBlanks(line.substr(eq + 1));
      }
    } else if (startsWith(line, "echo")) {
      l.kind = CompiledLine::kEcho;
      l.a = TrimBlanks(line.substr(4));
    } else if (startsWith(line, "if")) {
      // Exactly one character separates "if" from its condition.
      std::string_view cond = line.size() > 3 ? line.substr(3) : std::string_view();
      std::size_t op = cond.find("==");
      if (op == std::string_view::npos) {
        op = cond.find("<>");
        l.equal = false;
      }
      if (op == std::string_view::npos) {
        l.kind = CompiledLine::kIfError;
      } else {
        l.kind = CompiledLine::kIf;
        l.a = TrimBlanks(cond.substr(0, op));
        l.b = TrimBlanks(cond.substr(op + 2));
      }
    } else if (startsWith(line, "else")) {
      l.kind = CompiledLine::kElse;
    } else if (!startsWith(line, "endif")) {
      // Ignored as the language says, but likely a mistake.
      l.kind = CompiledLine::kUnknown;
    }
  }
  return t;
}

}  // namespace

std::vector<std::string> SplitLines(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t start = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\r' && text[i] != '\n') continue;
    lines.emplace_back(text, start, i - start);
    if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
    start = i + 1;
  }
  if (start < text.size()) lines.emplace_back(text, start);
  return lines;
}

std::string ErrorMarker(const std::string& errorText) {
  return "<p>*** " + errorText + " ***<p>";
}

TKSParse::TKSParse(const TBD& db, Host* host, const Clock& clock)
    : db_(db), host_(host), clock_(&clock), cache_(std::make_shared<TemplateCache>()) {}

TTextesPersonnes* TKSParse::textes() const {
  std::shared_ptr<TTextesPersonnes>& t = cache_->textes;
  if (!t || !t->Serves(db_, Vivants)) t = std::make_shared<TTextesPersonnes>(db_, *clock_, Vivants);
  return t.get();
}

const CompiledTemplate* TKSParse::loadTemplate(const std::string& dir, const std::string& name) {
  auto folder = cache_->files.find(std::string_view(dir));
  if (folder == cache_->files.end())
    folder = cache_->files.emplace(dir, TemplateCache::Files()).first;
  auto it = folder->second.find(std::string_view(name));
  if (it == folder->second.end()) {
    std::optional<CompiledTemplate> tpl;
    if (std::optional<fs::path> file = FindInFolder(dir, name))
      if (std::optional<std::string> bytes = ReadWholeFile(*file)) {
        tpl = compile(SplitLines(*bytes));
        tpl->name = name;
      }
    it = folder->second.emplace(name, std::move(tpl)).first;
  }
  return it->second ? &*it->second : nullptr;
}

std::vector<std::string> TKSParse::RunTemplate(const std::vector<std::string>& lines,
                                               const std::string& templateDir) {
  TemplateDir = templateDir;
  resetBudget();
  std::vector<std::string> out;
  const CompiledTemplate tpl = compile(lines);
  run(tpl, Output{&out, nullptr});
  flushProblems();
  return out;
}

void TKSParse::resetBudget() {
  steps_ = bytes_ = 0;
  overLimit_ = false;
  LimitText.clear();
}

bool TKSParse::spend(uint64_t steps, std::size_t bytes) {
  steps_ += steps;
  bytes_ += bytes;
  if (steps_ <= MaxSteps && bytes_ <= MaxBytes && !overLimit_) return true;
  if (!overLimit_) {
    overLimit_ = true;
    const std::string what = steps_ > MaxSteps ? groupedDigits(MaxSteps) + " \xE9tapes"
                             : MaxBytes % (1 << 20) == 0
                                 ? groupedDigits(MaxBytes >> 20) + " Mo de texte"
                                 : groupedDigits(MaxBytes) + " octets de texte";
    LimitText = "Le mod\xE8le \"" + (running_ ? running_->name : std::string()) +
                "\" d\xE9passe la limite de " + what +
                " par page : la page est arr\xEAt\xE9"
                "e.";
    report(ProblemKind::Limit, LimitText);
  }
  ErrorText = LimitText;
  return false;
}

void TKSParse::run(const CompiledTemplate& tpl, Output out) {
  ErrorText.clear();
  if (overLimit_) {
    ErrorText = LimitText;
    return;
  }
  // An include runs inside a line of the including template, which goes on after it.
  struct Running {
    TKSParse& parser;
    const CompiledTemplate* outer;
    std::size_t outerLine;
    Running(TKSParse& p, const CompiledTemplate& tpl)
        : parser(p), outer(p.running_), outerLine(p.line_) {
      parser.running_ = &tpl;
    }
    ~Running() {
      parser.running_ = outer;
      parser.line_ = outerLine;
    }
  } running(*this, tpl);
  auto write = [this, &out](std::string_view line) {
    spend(0, line.size() + 2);
    if (out.lines) {
      out.lines->emplace_back(line);
    } else {
      out.text->append(line);
      out.text->append("\r\n");
    }
  };
  bool script = false;
  const std::size_t n = tpl.lines.size();
  for (std::size_t i = 0; i < n; ++i) {
    const CompiledLine& l = tpl.lines[i];
    line_ = i;
    if (!spend(1, 0)) {
      write(ErrorMarker(ErrorText));
      break;
    }
    if (l.kind == CompiledLine::kSwitch) {
      script = !script;
      continue;
    }
    if (!script) {
      write(l.trimmed);
      continue;
    }
    switch (l.kind) {
      case CompiledLine::kAssign:
        setVariable(l.name, eval(l.b));
        break;
      case CompiledLine::kAssignError:
        ErrorText = "Syntax Error";
        report(ProblemKind::Syntax, kAssignProblem, l.trimmed);
        break;
      case CompiledLine::kEcho:
        write(eval(l.a));
        break;
      case CompiledLine::kIf: {
        std::string left = eval(l.a);
        std::string right = eval(l.b);
        // A failed condition passes over lines up to a raw "else" or "endif".
        if ((left == right) != l.equal) i = l.skipIf;
        break;
      }
      case CompiledLine::kIfError:
        ErrorText = kNoComparator;
        report(ProblemKind::NoComparator, kNoComparatorProblem, l.trimmed);
        break;
      case CompiledLine::kUnknown:
        report(ProblemKind::UnknownKeyword,
               "Mot-cl\xE9 inconnu \xAB " + std::string(firstWord(l.trimmed)) +
                   " \xBB : la ligne est ignor\xE9"
                   "e (une ligne de script commence par $, echo, if, else, endif ou //).",
               l.trimmed);
        break;
      case CompiledLine::kElse:
        i = l.skipElse;
        break;
      default:
        break;
    }
    if (!ErrorText.empty()) {
      write(ErrorMarker(ErrorText));
      break;
    }
  }
}

std::string TKSParse::Evaluate(const std::string& expression) {
  resetBudget();
  std::string value = eval(expression);
  flushProblems();
  return value;
}

void TKSParse::report(ProblemKind kind, std::string message, std::string_view at) {
  if (!Problems) return;
  placeOf(at).Report(kind, std::move(message));
}

TemplatePlace TKSParse::placeOf(std::string_view at) {
  if (!Problems) return TemplatePlace();
  return TemplatePlace(&pageProblems_, running_ ? std::string_view(running_->name) : "",
                       running_ ? static_cast<int>(line_) + 1 : 0, columnOf(at));
}

int TKSParse::columnOf(std::string_view at) const {
  if (!running_ || line_ >= running_->raw.size()) return 0;
  const std::string& raw = running_->raw[line_];
  std::less_equal<const char*> le;
  if (at.data() && le(raw.data(), at.data()) && le(at.data(), raw.data() + raw.size()))
    return static_cast<int>(at.data() - raw.data()) + 1;
  // A copy (a lowered argument, a value): the place of the statement.
  return static_cast<int>(running_->lines[line_].trimmed.data() - raw.data()) + 1;
}

void TKSParse::flushProblems() {
  if (Problems) Problems->AddPage(pageProblems_);
  pageProblems_.Clear();
}

std::string TKSParse::eval(std::string_view e) {
  if (overLimit_) return {};
  if (evalDepth_ >= kMaxEvalDepth) {
    ErrorText = kTooDeep;
    report(ProblemKind::Syntax,
           "Expression trop imbriqu\xE9"
           "e : plus de " +
               std::to_string(kMaxEvalDepth) + " appels les uns dans les autres.",
           e);
    return {};
  }
  struct Depth {
    int& d;
    explicit Depth(int& depth) : d(depth) { ++d; }
    ~Depth() { --d; }
  } depth(evalDepth_);
  std::string value = evalCall(e);
  spend(1, value.size());
  return value;
}

std::string TKSParse::evalCall(std::string_view e) {
  // The table's tests, sorted by first character; none of them shares its beginning with
  // another but "nombre_" and "nombre(", which differ further on.
  switch (e.empty() ? '\0' : e[0]) {
    case 'c':
      if (startsWith(e, "champ(")) return evalChamp(e);
      break;
    case 'l':
      if (startsWith(e, "liste_")) return evalListe(e);
      break;
    case 'n':
      if (startsWith(e, "nombre_")) return evalNombreMotCle(e);
      if (startsWith(e, "nombre(")) return evalNombre(e);
      break;
    case 'd':
      if (e == "date()") return todayText(*clock_);
      break;
    case 'h':
      if (e == "heure()") return timeText(*clock_);
      break;
    case 'e':
      if (startsWith(e, "evalue(")) return evalEvalue(e);
      break;
    case '$': {
      const std::string* v = variable(e);
      return v ? *v : std::string();
    }
    case 'i':
      if (startsWith(e, "include(")) return evalInclude(e);
      break;
    case '"':
      return evalLiteral(e);
    default:
      break;
  }
  if (std::size_t open = functionNameLength(e)) {
    report(ProblemKind::UnknownFunction,
           "Fonction inconnue \xAB " + std::string(e.substr(0, open)) +
               "( \xBB : l'expression est \xE9"
               "crite telle quelle.",
           e);
  }
  return std::string(e);
}

std::string TKSParse::evalChamp(std::string_view e) {
  std::string_view args = argumentText(e, 6);
  int32_t person = Int32AfterBlanks(eval(piece(args, ',', 0)));
  std::string_view tags = TrimBlanks(piece(args, ',', 1));
  tags = tags.size() >= 2 ? tags.substr(1, tags.size() - 2) : std::string_view();
  if (std::size_t stray = strayGreater(tags); stray != std::string_view::npos)
    report(ProblemKind::StrayGreater, kStrayGreaterProblem, tags.substr(stray));
  return ExpandTags(db_, person, std::string(tags), *clock_, Vivants);
}

std::string TKSParse::evalListe(std::string_view e) {
  std::size_t open = e.find('(');
  std::size_t close = e.find(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open) return {};
  std::string kind(e.substr(6, open - 6));
  std::string_view args = e.substr(open + 1, close - open - 1);
  std::string a = eval(piece(args, ',', 0));
  std::string b = needsSecondArgument(kind) ? eval(piece(args, ',', 1)) : std::string();
  auto make = [&] { return ListeMotCle(db_, kind, a, b, host_, *clock_, Vivants, textes()); };
  // Relatives come from the link index faster than from a cache of texts; lists that walk the
  // tree or the whole base are kept (a sort is not: the stop request can cut one short).
  if (kind == "trie") return sortedList(a, b);
  if (kind != "tous" && kind != "commencepar" && kind != "asc" && kind != "des") return make();
  return cache_->list(kind + '\0' + a + '\0' + b, make);
}

std::string TKSParse::sortedList(const std::string& a, const std::string& b) {
  bool stopped = false;
  std::string list = ListeMotCle(db_, "trie", a, b, host_, *clock_, Vivants, textes(), &stopped);
  if (stopped) {
    // The page ends here, as one over a limit, and gives no text.
    stopped_ = overLimit_ = true;
    ErrorText.clear();
  }
  return list;
}

std::string TKSParse::evalNombreMotCle(std::string_view e) {
  std::size_t open = e.find('(');
  if (open == std::string_view::npos) return {};
  std::string kind(e.substr(7, open - 7));
  return cache_->list("nombre_" + kind, [&] { return NombreMotCle(db_, kind); });
}

std::string TKSParse::evalEvalue(std::string_view e) {
  std::string_view args = argumentText(e, 7);
  std::string listStore, itemStore;
  std::string_view listExpr = lowered(TrimBlanks(piece(args, ',', 0)), listStore);
  std::string_view itemExpr = lowered(TrimBlanks(piece(args, ',', 1)), itemStore);
  std::string_view sepExpr = TrimBlanks(piece(args, ',', 2));
  const std::string list = eval(listExpr);
  const std::size_t count = itemCount(list);
  std::string value;
  std::size_t start = 0;
  for (std::size_t i = 0; i < count && !overLimit_; ++i) {
    std::size_t bar = list.find('|', start);
    if (bar == std::string::npos) bar = list.size();
    setVariable("$1", list.substr(start, bar - start));
    start = bar + 1;
    value += eval(itemExpr);
    if (i + 1 < count) value += eval(sepExpr);
  }
  return value;
}

std::string TKSParse::evalInclude(std::string_view e) {
  std::string name = eval(piece(argumentText(e, 8), ',', 0));
  if (extensionOf(name).empty()) name += ".kshtml";
  // A name with folders is taken below the template folder too: anything else would read
  // files from wherever the program happens to run.
  const CompiledTemplate* tpl = loadTemplate(TemplateDir, name);
  if (!tpl) {
    report(
        ProblemKind::MissingInclude,
        "Le mod\xE8le inclus \xAB " + name + " \xBB est introuvable dans le dossier du mod\xE8le.",
        e);
    return {};
  }
  if (includeDepth_ >= kMaxIncludeDepth) {
    ErrorText = kTooManyIncludes;
    report(ProblemKind::LoopingInclude,
           "Plus de " + std::to_string(kMaxIncludeDepth) +
               " include les uns dans les autres : le mod\xE8le \xAB " + name +
               " \xBB s'inclut-il lui-m\xEAme sans fin ?",
           e);
    return {};
  }
  ++includeDepth_;
  std::string out;
  run(*tpl, Output{nullptr, &out});
  --includeDepth_;
  return out;
}

std::string TKSParse::evalNombre(std::string_view e) {
  std::string value = eval(piece(argumentText(e, 7), ',', 0));
  if (value.empty()) return "0";
  return std::to_string(itemCount(value));
}

std::string TKSParse::evalLiteral(std::string_view e) {
  std::string s;
  std::string_view text = e;
  if (e.find('$') != std::string_view::npos) {
    s.assign(e);
    // Every search would start again from the beginning; the text before the last
    // substitution holds no "$", so starting where it was made finds the same one.
    std::size_t from = 0;
    for (int done = 0; done < kMaxSubstitutions && s.size() <= kMaxLiteralSize; ++done) {
      std::size_t dollar = s.find('$', from);
      if (dollar == std::string::npos || dollar + 1 >= s.size()) break;  // a final "$" stays
      std::size_t end = dollar + 2;
      while (end < s.size() && s[end] >= 'a' && s[end] <= 'z') ++end;
      const std::string* value = variable(std::string_view(s).substr(dollar, end - dollar));
      if (value)
        s.replace(dollar, end - dollar, *value);
      else
        s.erase(dollar, end - dollar);
      from = dollar;
    }
    text = s;
  }
  // "\n" becomes CR LF, then the first and last characters go.
  std::size_t nl = text.find("\\n");
  if (nl == std::string_view::npos)
    return text.size() < 2 ? std::string() : std::string(text.substr(1, text.size() - 2));
  std::string out;
  out.reserve(text.size() + 8);
  std::size_t pos = 0;
  for (; nl != std::string_view::npos; nl = text.find("\\n", pos)) {
    out += text.substr(pos, nl - pos);
    out += "\r\n";
    pos = nl + 2;
  }
  out += text.substr(pos);
  if (out.size() < 2) return {};
  out.pop_back();
  out.erase(0, 1);
  return out;
}

std::size_t TKSParse::Variables::probe(std::string_view name, std::size_t hash) const {
  const std::size_t mask = slots_.size() - 1;
  std::size_t i = hash & mask;
  while (!slots_[i].name.empty() && (slots_[i].hash != hash || slots_[i].name != name))
    i = (i + 1) & mask;
  return i;
}

const std::string* TKSParse::Variables::Find(std::string_view name) const {
  if (slots_.empty()) return nullptr;
  const Slot& s = slots_[probe(name, hashOf(name))];
  return s.name.empty() ? nullptr : &s.value;
}

void TKSParse::Variables::Set(std::string_view name, std::string value) {
  // At most half full, so a search meets a free slot soon.
  if ((used_ + 1) * 2 > slots_.size()) {
    std::vector<Slot> old(std::max<std::size_t>(64, slots_.size() * 2));
    old.swap(slots_);
    for (Slot& s : old)
      if (!s.name.empty()) slots_[probe(s.name, s.hash)] = std::move(s);
  }
  const std::size_t hash = hashOf(name);
  Slot& s = slots_[probe(name, hash)];
  if (s.name.empty()) {
    s.hash = hash;
    s.name = name;
    ++used_;
  }
  s.value = std::move(value);
}

void TKSParse::Variables::Clear() {
  slots_.clear();
  used_ = 0;
}

const std::string* TKSParse::variable(std::string_view name) const {
  if (!HasUpperAscii(name)) return variables_.Find(name);
  return variables_.Find(LowerAscii(name));
}

void TKSParse::setVariable(std::string_view name, std::string value) {
  if (name.empty()) return;
  std::string store;
  variables_.Set(lowered(name, store), std::move(value));
}

void TKSParse::SetVariable(const std::string& name, const std::string& value) {
  setVariable(name, value);
}

std::string TKSParse::GetVariable(const std::string& name) const {
  const std::string* v = variable(name);
  return v ? *v : std::string();
}

void TKSParse::SetParameters(const std::string& parameterText) {
  if (parameterText.empty()) return;
  variables_.Clear();
  std::string_view text = parameterText;
  for (std::size_t start = 0;;) {
    std::size_t amp = text.find('&', start);
    std::string_view assignment = text.substr(start, amp - start);
    setVariable("$" + std::string(piece(assignment, '=', 0)),
                std::string(piece(assignment, '=', 1)));
    if (amp == std::string_view::npos) break;
    start = amp + 1;
  }
}

TKSParse TKSParse::ForThread(Host* host) const {
  TKSParse parser(db_, host, *clock_);
  parser.Vivants = Vivants;
  parser.Problems = Problems;
  parser.MaxSteps = MaxSteps;
  parser.MaxBytes = MaxBytes;
  textes();  // made here, so that every thread shares it
  parser.cache_->textes = cache_->textes;
  return parser;
}

std::optional<std::string> TKSParse::RunPage(const std::string& pageReference,
                                             const std::string& templateDir) {
  std::size_t bar = pageReference.find('|');
  std::string fileName = pageReference.substr(0, bar);
  std::string parameters = bar == std::string::npos ? std::string() : pageReference.substr(bar + 1);
  LimitText.clear();
  Stopped = false;
  const CompiledTemplate* tpl = loadTemplate(templateDir, fileName + ".kshtml");
  if (!tpl) return std::nullopt;
  TKSParse page(db_, host_, *clock_);
  page.MaxSteps = MaxSteps;
  page.MaxBytes = MaxBytes;
  page.cache_ = cache_;
  page.Vivants = Vivants;
  page.Problems = Problems;
  page.SetParameters(parameters);
  page.TemplateDir = templateDir;
  std::string text;
  page.run(*tpl, Output{nullptr, &text});
  page.flushProblems();
  Stopped = page.stopped_;
  if (Stopped) return std::nullopt;
  LimitText = page.LimitText;
  // What a page over a limit made so far may be anything: only the reason is kept.
  if (page.overLimit_) return ErrorMarker(LimitText) + "\r\n";
  return text;
}

TWorkList::TWorkList() : table_(64) {
  Add("index");
}

const TWorkList::Slot* TWorkList::slot(std::string_view ref, std::size_t hash) const {
  const std::size_t mask = table_.size() - 1;
  const auto part = static_cast<uint32_t>(hash >> 32);
  for (std::size_t i = hash & mask;; i = (i + 1) & mask) {
    const Slot& s = table_[i];
    if (s.entry == 0 || (s.hash == part && equalFolded(entries_[s.entry - 1], ref))) return &s;
  }
}

void TWorkList::place(std::size_t entry, std::size_t hash) {
  const std::size_t mask = table_.size() - 1;
  std::size_t i = hash & mask;
  while (table_[i].entry != 0) i = (i + 1) & mask;
  table_[i] = Slot{static_cast<uint32_t>(entry + 1), static_cast<uint32_t>(hash >> 32)};
}

const std::string* TWorkList::Find(std::string_view ref) const {
  const Slot* s = slot(ref, foldedHash(ref));
  return s->entry == 0 ? nullptr : &entries_[s->entry - 1];
}

bool TWorkList::Add(const std::string& ref) {
  const std::size_t hash = foldedHash(ref);
  if (slot(ref, hash)->entry != 0) return false;
  entries_.push_back(ref);
  // At most half full, so a search meets a free slot soon.
  if (entries_.size() * 2 > table_.size()) {
    table_.assign(table_.size() * 2, Slot());
    for (std::size_t e = 0; e + 1 < entries_.size(); ++e) place(e, foldedHash(entries_[e]));
  }
  place(entries_.size() - 1, hash);
  return true;
}

namespace {

// Appends PageFileName(reference) to out.
void appendPageFileName(std::string& out, std::string_view reference) {
  const std::size_t start = out.size();
  out += reference;
  if (startsWith(reference, "http:") || startsWith(reference, "mailto:")) return;
  for (std::size_t i = start; i < out.size(); ++i)
    if (out[i] == '=' || out[i] == '|') out[i] = '_';
  if (reference.size() < 5 || reference.substr(reference.size() - 5) != ".html") out += ".html";
}

}  // namespace

std::string PageFileName(const std::string& reference) {
  std::string name;
  appendPageFileName(name, reference);
  return name;
}

std::string RewriteLinks(const std::string& pageText, TWorkList& workList,
                         TTemplateAssets* assets) {
  std::string out;
  out.reserve(pageText.size() + pageText.size() / 8);
  std::size_t pos = 0;
  // Sources matter only for the template's own files; each search is kept until passed.
  std::size_t nextRef = pageText.find("ref=");
  std::size_t nextSrc = assets ? pageText.find("src=") : std::string::npos;
  for (;;) {
    if (nextRef != std::string::npos && nextRef < pos) nextRef = pageText.find("ref=", pos);
    if (nextSrc != std::string::npos && nextSrc < pos) nextSrc = pageText.find("src=", pos);
    const bool source = nextSrc < nextRef;
    std::size_t found = source ? nextSrc : nextRef;
    if (found == std::string::npos) break;
    // Keep "ref=" and the opening mark that follows it.
    std::size_t start = std::min(found + 5, pageText.size());
    out.append(pageText, pos, start - pos);
    pos = start;
    std::size_t close = pageText.find('"', pos);
    if (close == std::string::npos) continue;
    std::string_view target = std::string_view(pageText).substr(pos, close - pos);
    if (assets) {
      const std::string written(target);
      if (source && !assets->Take(written) && assets->TakeScript(written)) {
        if (const std::string* entry = workList.Find(target))
          out += ScriptFileName(*entry);
        else if (workList.Add(written))
          out += ScriptFileName(written);
        pos = close;
        continue;
      }
      if (source || assets->Take(written)) {
        out += target;
        pos = close;
        continue;
      }
    }
    if (startsWith(target, "http:") || startsWith(target, "mailto:") ||
        extensionOf(target) == ".html") {
      appendPageFileName(out, target);
    } else if (const std::string* entry = workList.Find(target)) {
      // Links that differ only in case name the one file written for the first of them.
      appendPageFileName(out, *entry);
    } else {
      workList.Add(std::string(target));
      appendPageFileName(out, target);
    }
    pos = close;
  }
  out.append(pageText, pos, std::string::npos);
  return out;
}

namespace {

// The file a reference is written to. The pages before it in the work list decide whether it is
// a script page, so the calling thread asks when its turn comes.
std::string fileNameOf(const std::string& ref, const TTemplateAssets& assets) {
  return assets.IsScript(ref) ? ScriptFileName(ref) : PageFileName(ref);
}

// One page's run: its text (empty for a missing template or an empty page), and the limit
// it went over, if any.
struct PageRun {
  std::string text;
  std::string limit;
  bool stopped = false;  // the stop request cut it short: it must not be written
};

PageRun runPage(TKSParse& parser, const std::string& ref, const std::string& templateDir) {
  PageRun run;
  if (std::optional<std::string> page = parser.RunPage(ref, templateDir))
    run.text = std::move(*page);
  run.limit = parser.LimitText;
  run.stopped = parser.Stopped;
  return run;
}

// What follows a page's run, on the calling thread and in work-list order: its links are
// rewritten (which queues the pages they name and copies the template's files), the file
// written. A reference whose file would land outside the destination counts as a missing
// template. False when a write failed: the result says which, and the generation stops.
bool writePage(const std::string& ref, const PageRun& page, TWorkList& work,
               TTemplateAssets& assets, const std::string& destDir, TPageList* list,
               SiteResult& result, PageCharset& siteCharset) {
  if (!page.limit.empty()) result.limited.push_back("Page \"" + ref + "\" : " + page.limit);
  if (page.text.empty()) return true;
  const std::string fileName = fileNameOf(ref, assets);
  if (!StaysInside(fileName)) return true;
  const fs::path file = fs::path(destDir) / NativeName(fileName);
  if (!nameFits(file)) {
    result.failure = WriteFailureText(file, ENAMETOOLONG);
    return false;
  }
  std::string text = RewriteLinks(page.text, work, &assets);
  text += "\r\n";
  result.failure = assets.Failure();
  if (result.failure.empty())
    result.failure = WriteSiteFile(destDir, fileName, PageBytes(text, siteCharset), list);
  if (!result.failure.empty()) return false;
  ++result.pagesWritten;
  result.written.push_back(fileName);
  return true;
}

void showProgress(Host* host, const TWorkList& work, std::size_t i) {
  hostProgressMax(host, static_cast<long long>(work.size()));
  hostProgressPos(host, static_cast<long long>(i));
}

// A host for page runs on other threads: it only answers the stop request, from a flag that
// the calling thread sets after asking the real host.
class StopFlagHost final : public Host {
 public:
  explicit StopFlagHost(const std::atomic<bool>& stop) : stop_(stop) {}
  void showMessage(const std::string&) override {}
  void setStatus(const std::string&) override {}
  void setProgressMax(long long) override {}
  void setProgressPos(long long) override {}
  void processMessages() override {}
  bool abortRequested() override { return stop_.load(std::memory_order_relaxed); }

 private:
  const std::atomic<bool>& stop_;
};

// The calling thread's host for its own page runs: it asks the real host (which keeps the window
// answering) and raises the flag once it says stop, so that the other threads see it.
class CallerStopHost final : public Host {
 public:
  CallerStopHost(Host* host, std::atomic<bool>& stop) : host_(host), stop_(stop) {}
  void showMessage(const std::string&) override {}
  void setStatus(const std::string&) override {}
  void setProgressMax(long long) override {}
  void setProgressPos(long long) override {}
  void processMessages() override {}
  bool abortRequested() override { return Poll(); }
  // Once seen, the stop stays: the generation ends.
  bool Poll() {
    if (hostAbort(host_)) stop_.store(true, std::memory_order_relaxed);
    return stop_.load(std::memory_order_relaxed);
  }

 private:
  Host* host_;
  std::atomic<bool>& stop_;
};

// Pages run on several threads while the calling thread takes their texts in work-list order,
// so the work list, the files and the messages are those of a run on one thread. A thread
// runs pages at most kAhead entries beyond the one the calling thread waits for.
class ParallelPages {
 public:
  ParallelPages(TKSParse& interpreter, const std::string& templateDir, int threads, Host* host)
      : templateDir_(templateDir),
        callerHost_(host, stop_),
        caller_(interpreter.ForThread(&callerHost_)) {
    for (int t = 1; t < threads; ++t)
      workers_.emplace_back(
          [this, parser = interpreter.ForThread(&stopHost_)]() mutable { work(parser); });
  }
  ~ParallelPages() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    more_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  ParallelPages(const ParallelPages&) = delete;
  ParallelPages& operator=(const ParallelPages&) = delete;

  // The work list grew: its new entries may run.
  void Queue(const TWorkList& work) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (std::size_t k = refs_.size(); k < work.size(); ++k) {
        refs_.push_back(work[k]);
        slots_.emplace_back();
      }
    }
    more_.notify_all();
  }

  // The stop request as the host last answered it.
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }

  // The run of entry i. Until it is there the calling thread runs pages too, and asks the
  // host for the stop request now and then: the threads read the answer from a flag.
  PageRun Take(std::size_t i) {
    callerHost_.Poll();
    std::unique_lock<std::mutex> lock(mutex_);
    waitingFor_ = i;
    more_.notify_all();  // the window moved on
    while (!slots_[i].done) {
      if (next_ < refs_.size() && next_ < i + kAhead) {
        runOne(caller_, lock);
        continue;
      }
      if (done_.wait_for(lock, std::chrono::milliseconds(20)) == std::cv_status::timeout) {
        lock.unlock();
        callerHost_.Poll();
        lock.lock();
      }
    }
    Slot slot = std::move(slots_[i]);
    slots_[i] = Slot();
    lock.unlock();
    if (slot.error) std::rethrow_exception(slot.error);
    return std::move(slot.page);
  }

 private:
  static constexpr std::size_t kAhead = 4096;

  struct Slot {
    bool done = false;
    PageRun page;
    std::exception_ptr error;
  };

  void work(TKSParse& parser) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      more_.wait(lock, [this] {
        return closing_ || (next_ < refs_.size() && next_ < waitingFor_ + kAhead);
      });
      if (closing_) return;
      runOne(parser, lock);
    }
  }

  // Takes the next entry and runs it with the lock released.
  void runOne(TKSParse& parser, std::unique_lock<std::mutex>& lock) {
    const std::size_t k = next_++;
    const std::string ref = std::move(refs_[k]);  // each entry runs once
    lock.unlock();
    Slot slot;
    try {
      slot.page = runPage(parser, ref, templateDir_);
    } catch (...) {
      // Raised again on the calling thread when it reaches this page, as one thread would.
      slot.error = std::current_exception();
    }
    slot.done = true;
    lock.lock();
    slots_[k] = std::move(slot);
    done_.notify_all();
  }

  const std::string templateDir_;
  std::atomic<bool> stop_{false};
  StopFlagHost stopHost_{stop_};
  CallerStopHost callerHost_;
  TKSParse caller_;  // the calling thread's runs
  std::mutex mutex_;
  std::condition_variable more_, done_;
  std::vector<std::string> refs_;  // the work list as far as it is known
  std::vector<Slot> slots_;
  std::size_t next_ = 0;        // the next entry to run
  std::size_t waitingFor_ = 0;  // the entry the calling thread waits for
  bool closing_ = false;
  std::vector<std::thread> workers_;  // last: they stop before the rest goes
};

}  // namespace

int PageThreads(int jobs) {
  if (jobs > 0) return jobs;
  unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

SiteResult GenerateSite(TKSParse& interpreter, const std::string& templateDir,
                        const std::string& destDir, Host* host, int jobs, TPageList* list) {
  SiteResult result;
  std::error_code ec;
  if (!fs::is_directory(fs::path(destDir), ec)) {
    result.noDestination = true;
    return result;
  }
  hostProgressMax(host, 0);
  hostProgressPos(host, 0);
  TWorkList work;
  TTemplateAssets assets(templateDir, destDir, list);
  interpreter.TemplateDir = templateDir;
  const int threads = PageThreads(jobs);
  PageCharset siteCharset = PageCharset::None;
  if (threads == 1) {
    for (std::size_t i = 0; i < work.size(); ++i) {
      const std::string ref = work[i];
      PageRun page;
      if (StaysInside(fileNameOf(ref, assets))) page = runPage(interpreter, ref, templateDir);
      if (page.stopped || hostAbort(host)) {
        result.stopped = true;
        break;
      }
      if (!writePage(ref, page, work, assets, destDir, list, result, siteCharset)) break;
      showProgress(host, work, i);
    }
  } else {
    // Other threads run whatever the work list holds; writePage keeps what one thread keeps.
    ParallelPages pages(interpreter, templateDir, threads, host);
    pages.Queue(work);
    for (std::size_t i = 0; i < work.size(); ++i) {
      const std::string ref = work[i];
      PageRun page = pages.Take(i);
      if (page.stopped || pages.Stopped()) {
        result.stopped = true;
        break;
      }
      if (!writePage(ref, page, work, assets, destDir, list, result, siteCharset)) break;
      pages.Queue(work);
      showProgress(host, work, i);
    }
  }
  result.written.insert(result.written.end(), assets.Copied().begin(), assets.Copied().end());
  hostProgressPos(host, 0);
  return result;
}

}  // namespace lignado
