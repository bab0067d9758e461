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

// The first word of a script line, for the message of an unknown one.
std::string_view firstWord(std::string_view line) {
  std::size_t end = 0;
  while (end < line.size() && static_cast<unsigned char>(line[end]) > ' ' && end < 40) ++end;
  return line.substr(0, end);
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
  VariableSlots slots;  // of every template and parser of the generation

  const CompiledTemplate* Load(const std::string& dir, const std::string& name) {
    std::string key = dir + '\0' + name;
    std::lock_guard<std::mutex> lock(mutex);
    auto it = files.find(key);
    if (it == files.end()) {
      std::unique_ptr<CompiledTemplate> tpl;
      if (std::optional<fs::path> file = FindInFolder(dir, name))
        if (std::optional<std::string> bytes = ReadWholeFile(*file)) {
          tpl = std::make_unique<CompiledTemplate>(CompileTemplate(SplitLines(*bytes), slots));
          tpl->shared = true;
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
  // The tag texts of the "champ(" calls of stored templates, found in tags once by each thread.
  std::unordered_map<const Expr*, TTagMemo::Memo*> champs;
  const TTagMemo* champsOf = nullptr;

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
  const CompiledTemplate tpl = CompileTemplate(lines, variableSlots());
  run(tpl, Output{&out, nullptr});
  flushProblems();
  return out;
}

void TKSParse::resetBudget() {
  steps_ = bytes_ = 0;
  overLimit_ = false;
  LimitText.clear();
}

bool TKSParse::overspent() {
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
        setVariable(l.slot, eval(l.eb));
        break;
      case CompiledLine::kAssignError:
        ErrorText = "Syntax Error";
        report(ProblemKind::Syntax, kAssignProblem, l.trimmed);
        break;
      case CompiledLine::kEcho:
        write(eval(l.ea));
        break;
      case CompiledLine::kIf: {
        std::string left = eval(l.ea);
        std::string right = eval(l.eb);
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
  const Expr x = CompileExpr(expression, variableSlots());
  std::string value = eval(x);
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

std::string TKSParse::eval(const Expr& x) {
  if (overLimit_) return {};
  if (evalDepth_ >= kMaxEvalDepth || x.kind == Expr::kTooDeep) {
    ErrorText = kTooDeep;
    report(ProblemKind::Syntax,
           "Expression trop imbriqu\xE9"
           "e : plus de " +
               std::to_string(kMaxEvalDepth) + " appels les uns dans les autres.",
           x.text);
    return {};
  }
  struct Depth {
    int& d;
    explicit Depth(int& depth) : d(depth) { ++d; }
    ~Depth() { --d; }
  } depth(evalDepth_);
  std::string value = evalCall(x);
  spend(1, value.size());
  return value;
}

std::string TKSParse::evalCall(const Expr& x) {
  switch (x.kind) {
    case Expr::kText:
      return x.value;
    case Expr::kUnknownFunction:
      report(ProblemKind::UnknownFunction,
             "Fonction inconnue \xAB " + std::string(x.text.substr(0, FunctionNameLength(x.text))) +
                 "( \xBB : l'expression est \xE9"
                 "crite telle quelle.",
             x.text);
      return x.value;
    case Expr::kVariable: {
      const std::string* v = variable(x.slot);
      return v ? *v : std::string();
    }
    case Expr::kLiteral:
      return evalLiteral(x);
    case Expr::kChamp:
      return evalChamp(x);
    case Expr::kListe:
      return evalListe(x);
    case Expr::kNombreMotCle: {
      const std::string& kind = x.value;
      return cache_->list("nombre_" + kind, [&] { return NombreMotCle(db_, kind); });
    }
    case Expr::kDate:
      return todayText(*clock_);
    case Expr::kHeure:
      return timeText(*clock_);
    case Expr::kEvalue:
      return evalEvalue(x);
    case Expr::kAdressePage: {
      std::string ref = eval(x.args[0]);
      if (SiteUrl.empty()) return {};
      return SiteFileAddress(SiteUrl, PageFileName(ref.empty() ? pageRef_ : ref));
    }
    case Expr::kStatistique: {
      std::string kind = eval(x.args[0]);
      int limit = Int32AfterBlanks(eval(x.args[1]));
      TemplateCache::Figures& f = *cache_->figures;
      std::call_once(f.once, [&] { f.st = ComputeStatistiques(db_, Vivants); });
      return StatistiqueHtml(f.st, kind, limit);
    }
    case Expr::kInclude:
      return evalInclude(x);
    case Expr::kNombre: {
      std::string value = eval(x.args[0]);
      if (value.empty()) return "0";
      return std::to_string(itemCount(value));
    }
    case Expr::kTooDeep:
      break;
  }
  return {};
}

std::string TKSParse::evalChamp(const Expr& x) {
  int32_t person = Int32AfterBlanks(eval(x.args[0]));
  if (x.args.size() > 1) {
    // A variable's value may change at every call: read for this one, not kept.
    const TTagText text(eval(x.args[1]));
    if (Problems)
      for (const TTagText::Unknown& u : text.UnknownTags())
        placeOf(x.args[1].text)
            .Report(u.form ? ProblemKind::UnknownTagForm : ProblemKind::UnknownTag, u.sentence);
    return ExpandTags(db_, person, text, *clock_, Vivants);
  }
  const std::string_view tags = x.tags;
  if (x.stray != std::string_view::npos)
    report(ProblemKind::StrayGreater, kStrayGreaterProblem, tags.substr(x.stray));
  TTagMemo& memo = cache_->tagMemo(db_, *clock_, Vivants);
  TTagMemo::Memo* text;
  if (running_ && running_->shared) {
    // A stored template's call keeps its place: its tag text is found once per thread.
    if (cache_->champsOf != &memo) {
      cache_->champs.clear();
      cache_->champsOf = &memo;
    }
    TTagMemo::Memo*& known = cache_->champs[&x];
    if (!known) known = &memo.Find(tags);
    text = known;
  } else {
    text = &memo.Find(tags);
  }
  if (Problems) {
    const TemplatePlace place = placeOf(tags);
    for (const TTagText::Unknown& u : TTagMemo::UnknownTags(*text))
      place.Report(u.form ? ProblemKind::UnknownTagForm : ProblemKind::UnknownTag, u.sentence,
                   u.offset);
  }
  return memo.Expand(*text, person);
}

std::string TKSParse::evalListe(const Expr& x) {
  const std::string& kind = x.value;
  std::string a = eval(x.args[0]);
  std::string b = x.secondArgument ? eval(x.args[1]) : std::string();
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

std::string TKSParse::evalEvalue(const Expr& x) {
  const std::string list = eval(x.args[0]);
  const std::size_t count = itemCount(list);
  std::string value;
  std::size_t start = 0;
  for (std::size_t i = 0; i < count && !overLimit_; ++i) {
    std::size_t bar = list.find('|', start);
    if (bar == std::string::npos) bar = list.size();
    setVariable(x.slot, list.substr(start, bar - start));
    start = bar + 1;
    value += eval(x.args[1]);
    if (i + 1 < count) value += eval(x.args[2]);
  }
  return value;
}

std::string TKSParse::evalInclude(const Expr& x) {
  std::string name = eval(x.args[0]);
  if (extensionOf(name).empty()) name += ".kshtml";
  // A name with folders is taken below the template folder too: anything else would read
  // files from wherever the program happens to run.
  const CompiledTemplate* tpl = loadTemplate(TemplateDir, name);
  if (!tpl) {
    report(
        ProblemKind::MissingInclude,
        "Le mod\xE8le inclus \xAB " + name + " \xBB est introuvable dans le dossier du mod\xE8le.",
        x.text);
    return {};
  }
  if (includeDepth_ >= kMaxIncludeDepth) {
    ErrorText = kTooManyIncludes;
    report(ProblemKind::LoopingInclude,
           "Plus de " + std::to_string(kMaxIncludeDepth) +
               " include les uns dans les autres : le mod\xE8le \xAB " + name +
               " \xBB s'inclut-il lui-m\xEAme sans fin ?",
           x.text);
    return {};
  }
  ++includeDepth_;
  std::string out;
  run(*tpl, Output{nullptr, &out});
  --includeDepth_;
  return out;
}

std::string TKSParse::evalLiteral(const Expr& x) {
  if (x.constant) return x.value;
  if (x.pieces.empty()) return LiteralValue(substitute(std::string(x.text), 0, 0));
  std::string s;
  s.reserve(x.text.size() + 32);
  const char* const end = x.text.data() + x.text.size();
  int done = 0;
  for (const Expr::Piece& p : x.pieces) {
    s += p.text;
    if (p.name.empty()) break;  // the text after the last variable
    // The literal from this variable on, as it stands.
    const std::string_view rest(p.name.data(), static_cast<std::size_t>(end - p.name.data()));
    if (s.size() + rest.size() > kMaxLiteralSize) {
      s += rest;  // too long already: nothing more is substituted
      break;
    }
    const std::string* value = variable(p.slot);
    if (value && value->find('$') != std::string::npos) {
      // Its "$" are substituted in their turn.
      const std::size_t from = s.size();
      s += rest;
      s = substitute(std::move(s), from, done);
      break;
    }
    if (!NamesByLetter(p.name) && (!value || value->empty()))
      s += p.name;  // "5 $ US", an unset "$1": the author's text
    else if (value)
      s += *value;
    ++done;
  }
  return LiteralValue(s);
}

std::string TKSParse::substitute(std::string s, std::size_t from, int done) const {
  // Every search would start again from the beginning; the text before the last
  // substitution holds no "$", so starting where it was made finds the same one.
  for (; done < kMaxSubstitutions && s.size() <= kMaxLiteralSize; ++done) {
    std::size_t dollar = s.find('$', from);
    if (dollar == std::string::npos || dollar + 1 >= s.size()) break;  // a final "$" stays
    std::size_t end = dollar + 2;
    while (end < s.size() && s[end] >= 'a' && s[end] <= 'z') ++end;
    const std::string_view name = std::string_view(s).substr(dollar, end - dollar);
    const std::string* value = variable(name);
    if ((!value || value->empty()) && !NamesByLetter(name)) {
      from = end;  // "5 $ US", an unset "$1": the author's text
      continue;
    }
    if (value)
      s.replace(dollar, end - dollar, *value);
    else
      s.erase(dollar, end - dollar);
    from = dollar;
  }
  return s;
}

VariableSlots& TKSParse::variableSlots() const {
  return cache_->store->slots;
}

const std::string* TKSParse::variable(std::string_view name) const {
  const std::size_t slot = variableSlots().Find(HasUpperAscii(name) ? LowerAscii(name) : name);
  return slot == VariableSlots::kNone ? nullptr : variable(slot);
}

void TKSParse::setVariable(std::size_t slot, std::string value) {
  if (slot >= values_.size()) values_.resize(slot + 1);
  values_[slot] = std::move(value);
}

void TKSParse::setVariable(std::string_view name, std::string value) {
  if (name.empty()) return;
  setVariable(variableSlots().Slot(HasUpperAscii(name) ? LowerAscii(name) : std::string(name)),
              std::move(value));
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
  for (std::string& value : values_) value.clear();  // an empty value reads as an unset one
  std::string_view text = parameterText;
  for (std::size_t start = 0;;) {
    std::size_t amp = text.find('&', start);
    std::string_view assignment = text.substr(start, amp - start);
    setVariable("$" + std::string(PieceOf(assignment, '=', 0)),
                std::string(PieceOf(assignment, '=', 1)));
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
