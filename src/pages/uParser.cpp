#include "pages/uParser.h"

#include <cstdio>
#include <functional>
#include <mutex>
#include <string_view>

#include "data/Base.h"
#include "genealogy/Statistiques.h"
#include "pages/Listes.h"
#include "pages/ListesMemo.h"
#include "pages/PageStatistiques.h"
#include "pages/Referencement.h"
#include "pages/Remplace.h"
#include "pages/TagMemo.h"
#include "pages/TemplateCode.h"
#include "pages/TemplateFiles.h"
#include "pages/WorkList.h"
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

// The first word of a script line, for the message of an unknown one.
std::string_view firstWord(std::string_view line) {
  std::size_t end = 0;
  while (end < line.size() && static_cast<unsigned char>(line[end]) > ' ' && end < 40) ++end;
  return line.substr(0, end);
}

bool needsSecondArgument(std::string_view kind) {
  return kind == "asc" || kind == "des" || kind == "commencepar" || kind == "trie" ||
         kind == "tranche" || kind == "initiale" || kind == "photo" || kind == "evenement";
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

}  // namespace

// The compiled templates of a generation, shared read-only by every thread's parser: each file
// is read and compiled once. Entries never move once made.
struct TemplateStore {
  std::mutex mutex;
  // Folder, NUL, file name as written -> the template; none when there is no such file.
  std::unordered_map<std::string, std::unique_ptr<const CompiledTemplate>> files;
  std::size_t compiled = 0;

  const CompiledTemplate* Load(const std::string& dir, const std::string& name) {
    std::string key = dir + '\0' + name;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = files.find(key);
    if (it == files.end()) {
      std::unique_ptr<CompiledTemplate> tpl;
      if (std::optional<fs::path> file = FindInFolder(dir, name))
        if (std::optional<std::string> bytes = ReadWholeFile(*file)) {
          tpl = std::make_unique<CompiledTemplate>(CompileTemplate(SplitLines(*bytes)));
          tpl->name = name;
        }
      if (tpl) ++compiled;
      it = files.emplace(std::move(key), std::move(tpl)).first;
    }
    return it->second.get();
  }
};

// A site runs the same few templates thousands of times and asks for the same relatives on
// many pages. The database does not change while pages run, so each template is read once
// and each list worked out once (sorts aside: the Escape key can cut one short).
struct TemplateCache {
  // Template folder -> file name as written -> the template from the store, none when there is
  // no such file. Looked up by views without a lock, so an include costs no copy of its name.
  struct TextHash {
    using is_transparent = void;
    std::size_t operator()(std::string_view s) const { return hashOf(s); }
  };
  using Files = std::unordered_map<std::string, const CompiledTemplate*, TextHash, std::equal_to<>>;
  std::unordered_map<std::string, Files, TextHash, std::equal_to<>> files;
  std::shared_ptr<TemplateStore> store = std::make_shared<TemplateStore>();
  std::unordered_map<std::string, std::string> lists;
  // The texts of persons by template, which the sorts and searches compare; made when first
  // asked for, as the living persons' rule then stands.
  std::shared_ptr<TTextesPersonnes> textes;
  // The tag texts of "champ(" and their values by person, shared likewise.
  std::shared_ptr<TTagMemo> tags;
  TTagMemo& tagMemo(const TBD& db, const Clock& clock, const TVivants* vivants) {
    if (!tags || !tags->Serves(db, vivants)) tags = std::make_shared<TTagMemo>(db, clock, vivants);
    return *tags;
  }
  // The lists made from whole-base lists, for the same database and rule as textes.
  std::shared_ptr<TListesMemo> memo;
  // The figures of "statistique(", made once when first asked for and shared by the threads.
  struct Figures {
    std::once_flag once;
    Statistiques st;
  };
  std::shared_ptr<Figures> figures = std::make_shared<Figures>();

  const std::string& list(std::string key, const std::function<std::string()>& make) {
    auto it = lists.find(key);
    if (it != lists.end()) return it->second;
    if (lists.size() >= kMaxRemembered) lists.clear();  // keeps huge databases within bounds
    return lists.emplace(std::move(key), make()).first->second;
  }
};

std::string ErrorMarker(const std::string& errorText) {
  return "<p>*** " + errorText + " ***<p>";
}

TKSParse::TKSParse(const TBD& db, Host* host, const Clock& clock)
    : db_(db), host_(host), clock_(&clock), cache_(std::make_shared<TemplateCache>()) {}

TTextesPersonnes* TKSParse::textes() const {
  std::shared_ptr<TTextesPersonnes>& t = cache_->textes;
  if (!t || !t->Serves(db_, Vivants)) {
    t = std::make_shared<TTextesPersonnes>(db_, *clock_, Vivants);
    cache_->memo = std::make_shared<TListesMemo>();
  }
  return t.get();
}

const CompiledTemplate* TKSParse::loadTemplate(const std::string& dir, const std::string& name) {
  auto folder = cache_->files.find(std::string_view(dir));
  if (folder == cache_->files.end())
    folder = cache_->files.emplace(dir, TemplateCache::Files()).first;
  auto it = folder->second.find(std::string_view(name));
  if (it == folder->second.end())
    it = folder->second.emplace(name, cache_->store->Load(dir, name)).first;
  return it->second;
}

std::vector<std::string> TKSParse::RunTemplate(const std::vector<std::string>& lines,
                                               const std::string& templateDir) {
  TemplateDir = templateDir;
  resetBudget();
  std::vector<std::string> out;
  const CompiledTemplate tpl = CompileTemplate(lines);
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
  if (Problems) pageProblems_.Ran(tpl.name);
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
    case 'a':
      if (startsWith(e, "adresse_page(")) return evalAdressePage(e);
      break;
    case 'c':
      if (startsWith(e, "champ(")) return evalChamp(e);
      break;
    case 's':
      if (startsWith(e, "statistique(")) return evalStatistique(e);
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
  TTagMemo& memo = cache_->tagMemo(db_, *clock_, Vivants);
  TTagMemo::Memo& text = memo.Find(tags);
  if (Problems) {
    const TemplatePlace place = placeOf(tags);
    for (const TTagText::Unknown& u : TTagMemo::UnknownTags(text))
      place.Report(u.form ? ProblemKind::UnknownTagForm : ProblemKind::UnknownTag, u.sentence,
                   u.offset);
  }
  return memo.Expand(text, person);
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
  // tree or the whole base are kept, and so are those made from long lists (a sort is kept
  // only when it went to its end: the stop request can cut one short).
  if (kind == "trie" || kind == "tranche" || kind == "tranches" || kind == "initiale" ||
      kind == "initiales") {
    textes();  // and with them the memo
    return cache_->memo->Get(kind, a, b, [&](bool& keep) {
      if (kind != "trie") return make();
      std::string list = sortedList(a, b);
      keep = !stopped_;
      return list;
    });
  }
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

std::string TKSParse::evalAdressePage(std::string_view e) {
  std::string ref = eval(piece(argumentText(e, 13), ',', 0));
  if (SiteUrl.empty()) return {};
  return SiteFileAddress(SiteUrl, PageFileName(ref.empty() ? pageRef_ : ref));
}

std::string TKSParse::evalStatistique(std::string_view e) {
  std::string_view args = argumentText(e, 12);
  std::string kind = eval(piece(args, ',', 0));
  int limit = Int32AfterBlanks(eval(piece(args, ',', 1)));
  TemplateCache::Figures& f = *cache_->figures;
  std::call_once(f.once, [&] { f.st = ComputeStatistiques(db_, Vivants); });
  return StatistiqueHtml(f.st, kind, limit);
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

std::size_t TKSParse::TemplatesCompiled() const {
  std::lock_guard<std::mutex> lock(cache_->store->mutex);
  return cache_->store->compiled;
}

TKSParse TKSParse::ForThread(Host* host) const {
  TKSParse parser(db_, host, *clock_);
  parser.Vivants = Vivants;
  parser.Problems = Problems;
  parser.MaxSteps = MaxSteps;
  parser.MaxBytes = MaxBytes;
  textes();  // made here, so that every thread shares it
  parser.cache_->textes = cache_->textes;
  cache_->tagMemo(db_, *clock_, Vivants);
  parser.cache_->tags = cache_->tags;
  parser.cache_->memo = cache_->memo;
  parser.cache_->store = cache_->store;
  parser.cache_->figures = cache_->figures;
  parser.SiteUrl = SiteUrl;
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
  page.SiteUrl = SiteUrl;
  page.pageRef_ = pageReference;
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

}  // namespace lignado
