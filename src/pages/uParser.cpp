#include "pages/uParser.h"

#include <chrono>
#include <cstdio>
#include <ctime>
#include <string_view>
#include <system_error>

#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "genealogy/Rech.h"
#include "pages/Remplace.h"
#include "pages/TemplateFiles.h"
#include "util/Host.h"

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

const char kNoComparator[] = "Syntax Error : Il n'y a pas de comparateur dans le if";
const char kTooManyIncludes[] = "Syntax Error : Trop d'include imbriqu\xE9s";
const char kTooDeep[] =
    "Syntax Error : Expression trop imbriqu\xE9"
    "e";

int gFixedHour = -1, gFixedMinute = 0, gFixedSecond = 0;

bool isBlank(char c) {
  return static_cast<unsigned char>(c) < 33;
}

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

std::string_view trimLeft(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  return s.substr(i);
}

std::string_view trimRight(std::string_view s) {
  std::size_t n = s.size();
  while (n > 0 && isBlank(s[n - 1])) --n;
  return s.substr(0, n);
}

std::string trim(std::string_view s) {
  return std::string(trimRight(trimLeft(s)));
}

std::string lowerAscii(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::vector<std::string> splitAt(std::string_view s, char sep) {
  std::vector<std::string> parts;
  std::size_t start = 0;
  for (;;) {
    std::size_t k = s.find(sep, start);
    if (k == std::string_view::npos) break;
    parts.emplace_back(s.substr(start, k - start));
    start = k + 1;
  }
  parts.emplace_back(s.substr(start));
  return parts;
}

// The item count of a split list: up to its last non-empty piece.
std::size_t itemCount(const std::vector<std::string>& pieces) {
  std::size_t n = pieces.size();
  while (n > 0 && pieces[n - 1].empty()) --n;
  return n;
}

// The arguments of "name(...)": the text after the prefix without its last character, cut at
// every comma.
std::vector<std::string> arguments(const std::string& expr, std::size_t prefixLength) {
  std::string_view inner;
  if (expr.size() > prefixLength)
    inner = std::string_view(expr).substr(prefixLength, expr.size() - prefixLength - 1);
  return splitAt(inner, ',');
}

const std::string& argument(const std::vector<std::string>& args, std::size_t i) {
  static const std::string empty;
  return i < args.size() ? args[i] : empty;
}

// A decimal integer with leading blanks allowed; anything else is 0.
int32_t toNumber(std::string_view s) {
  std::size_t i = 0;
  while (i < s.size() && isBlank(s[i])) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  if (i == s.size()) return 0;
  long long v = 0;
  for (; i < s.size(); ++i) {
    if (s[i] < '0' || s[i] > '9') return 0;
    v = v * 10 + (s[i] - '0');
    if (v > 2147483648LL) return 0;
  }
  if (negative) v = -v;
  if (v > 2147483647LL) return 0;
  return static_cast<int32_t>(v);
}

std::string joinLines(const std::vector<std::string>& lines) {
  std::size_t size = 0;
  for (const std::string& l : lines) size += l.size() + 2;
  std::string text;
  text.reserve(size);
  for (const std::string& l : lines) {
    text += l;
    text += "\r\n";
  }
  return text;
}

bool needsSecondArgument(const std::string& kind) {
  return kind == "asc" || kind == "des" || kind == "commencepar" || kind == "trie";
}

std::string twoDigits(int v) {
  char buf[16];
  std::snprintf(buf, sizeof buf, "%02d", v);
  return buf;
}

std::string todayText() {
  Today t = CurrentDay();
  char buf[32];
  std::snprintf(buf, sizeof buf, "%02d/%02d/%04d", t.day, t.month, t.year);
  return buf;
}

std::string timeText() {
  if (gFixedHour >= 0)
    return twoDigits(gFixedHour) + ":" + twoDigits(gFixedMinute) + ":" + twoDigits(gFixedSecond);
  std::time_t now = std::chrono::system_clock::to_time_t(std::chrono::system_clock::now());
  std::tm local{};
  localtime_r(&now, &local);
  return twoDigits(local.tm_hour) + ":" + twoDigits(local.tm_min) + ":" + twoDigits(local.tm_sec);
}

// The extension of the last path component, from its last ".".
std::string_view extensionOf(std::string_view name) {
  std::size_t slash = name.find_last_of("/\\");
  std::size_t start = slash == std::string_view::npos ? 0 : slash + 1;
  std::size_t dot = name.rfind('.');
  if (dot == std::string_view::npos || dot < start) return {};
  return name.substr(dot);
}

}  // namespace

// A site runs the same few templates thousands of times: each is looked up and read once.
struct TemplateCache {
  std::unordered_map<std::string, std::optional<std::vector<std::string>>> files;
};

void SetTimeForTests(int hour, int minute, int second) {
  gFixedHour = hour;
  gFixedMinute = minute;
  gFixedSecond = second;
}

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

TKSParse::TKSParse(const TBD& db, Host* host)
    : db_(db), host_(host), cache_(std::make_shared<TemplateCache>()) {}

const std::vector<std::string>* TKSParse::loadTemplate(const std::string& dir,
                                                       const std::string& name) {
  std::string key = dir;
  key += '\0';
  key += name;
  auto it = cache_->files.find(key);
  if (it == cache_->files.end()) {
    std::optional<std::vector<std::string>> lines;
    if (std::optional<fs::path> file = FindNoCase(dir, name))
      if (std::optional<std::string> bytes = ReadWholeFile(*file)) lines = SplitLines(*bytes);
    it = cache_->files.emplace(std::move(key), std::move(lines)).first;
  }
  return it->second ? &*it->second : nullptr;
}

std::vector<std::string> TKSParse::RunTemplate(const std::vector<std::string>& lines,
                                               const std::string& templateDir) {
  TemplateDir = templateDir;
  ErrorText.clear();
  std::vector<std::string> out;
  bool script = false;
  const std::size_t n = lines.size();
  // A failed condition or an "else" passes over lines up to one that stands alone, unindented.
  auto skipTo = [&](std::size_t from, bool elseEnds) {
    std::size_t j = from + 1;
    while (j < n && lines[j] != "endif" && !(elseEnds && lines[j] == "else")) ++j;
    return j;
  };
  for (std::size_t i = 0; i < n; ++i) {
    std::string_view line = trimLeft(lines[i]);
    if (line == "#") {
      script = !script;
      continue;
    }
    if (!script) {
      out.emplace_back(line);
    } else if (trimRight(line).empty() || startsWith(line, "//")) {
      // blank line or comment
    } else if (startsWith(line, "$")) {
      std::size_t eq = line.find('=');
      if (eq == std::string_view::npos)
        ErrorText = "Syntax Error";
      else
        SetVariable(trim(line.substr(0, eq)), Evaluate(trim(line.substr(eq + 1))));
    } else if (startsWith(line, "echo")) {
      out.push_back(Evaluate(trim(line.substr(4))));
    } else if (startsWith(line, "if")) {
      std::string_view cond = line.size() > 3 ? line.substr(3) : std::string_view();
      std::size_t op = cond.find("==");
      bool equal = true;
      if (op == std::string_view::npos) {
        op = cond.find("<>");
        equal = false;
      }
      if (op == std::string_view::npos) {
        ErrorText = kNoComparator;
      } else {
        std::string left = Evaluate(trim(cond.substr(0, op)));
        std::string right = Evaluate(trim(cond.substr(op + 2)));
        if ((left == right) != equal) i = skipTo(i, true);
      }
    } else if (startsWith(line, "else")) {
      i = skipTo(i, false);
    }
    if (!ErrorText.empty()) {
      out.push_back(ErrorMarker(ErrorText));
      break;
    }
  }
  return out;
}

std::string TKSParse::Evaluate(const std::string& e) {
  if (evalDepth_ >= kMaxEvalDepth) {
    ErrorText = kTooDeep;
    return {};
  }
  struct Depth {
    int& d;
    explicit Depth(int& depth) : d(depth) { ++d; }
    ~Depth() { --d; }
  } depth(evalDepth_);

  if (startsWith(e, "champ(")) return evalChamp(e);
  if (startsWith(e, "liste_")) return evalListe(e);
  if (startsWith(e, "nombre_")) return evalNombreMotCle(e);
  if (e == "date()") return todayText();
  if (e == "heure()") return timeText();
  if (startsWith(e, "evalue(")) return evalEvalue(e);
  if (startsWith(e, "$")) return GetVariable(e);
  if (startsWith(e, "include(")) return evalInclude(e);
  if (startsWith(e, "nombre(")) return evalNombre(e);
  if (startsWith(e, "\"")) return evalLiteral(e);
  return e;
}

std::string TKSParse::evalChamp(const std::string& e) {
  std::vector<std::string> args = arguments(e, 6);
  int32_t person = toNumber(Evaluate(argument(args, 0)));
  std::string tags = trim(argument(args, 1));
  tags = tags.size() >= 2 ? tags.substr(1, tags.size() - 2) : std::string();
  return ExpandTags(db_, person, tags);
}

std::string TKSParse::evalListe(const std::string& e) {
  std::size_t open = e.find('(');
  std::size_t close = e.find(')');
  if (open == std::string::npos || close == std::string::npos || close < open) return {};
  std::string kind = e.substr(6, open - 6);
  std::vector<std::string> args =
      splitAt(std::string_view(e).substr(open + 1, close - open - 1), ',');
  std::string a = Evaluate(argument(args, 0));
  std::string b = needsSecondArgument(kind) ? Evaluate(argument(args, 1)) : std::string();
  return ListeMotCle(db_, kind, a, b, host_);
}

std::string TKSParse::evalNombreMotCle(const std::string& e) {
  std::size_t open = e.find('(');
  if (open == std::string::npos) return {};
  return NombreMotCle(db_, e.substr(7, open - 7));
}

std::string TKSParse::evalEvalue(const std::string& e) {
  std::vector<std::string> args = arguments(e, 7);
  std::string listExpr = lowerAscii(trim(argument(args, 0)));
  std::string itemExpr = lowerAscii(trim(argument(args, 1)));
  std::string sepExpr = trim(argument(args, 2));
  std::vector<std::string> items = splitAt(Evaluate(listExpr), '|');
  std::size_t count = itemCount(items);
  std::string value;
  for (std::size_t i = 0; i < count; ++i) {
    SetVariable("$1", items[i]);
    value += Evaluate(itemExpr);
    if (i + 1 < count) value += Evaluate(sepExpr);
  }
  return value;
}

std::string TKSParse::evalInclude(const std::string& e) {
  std::vector<std::string> args = arguments(e, 8);
  std::string name = Evaluate(argument(args, 0));
  if (extensionOf(name).empty()) name += ".kshtml";
  // A name with folders is taken below the template folder too: anything else would read
  // files from wherever the program happens to run.
  const std::vector<std::string>* lines = loadTemplate(TemplateDir, name);
  if (!lines) return {};
  if (includeDepth_ >= kMaxIncludeDepth) {
    ErrorText = kTooManyIncludes;
    return {};
  }
  ++includeDepth_;
  std::vector<std::string> out = RunTemplate(*lines, TemplateDir);
  --includeDepth_;
  return joinLines(out);
}

std::string TKSParse::evalNombre(const std::string& e) {
  std::vector<std::string> args = arguments(e, 7);
  std::string value = Evaluate(argument(args, 0));
  if (value.empty()) return "0";
  return std::to_string(itemCount(splitAt(value, '|')));
}

std::string TKSParse::evalLiteral(const std::string& e) {
  std::string s = e;
  // Every search would start again from the beginning; the text before the last
  // substitution holds no "$", so starting where it was made finds the same one.
  std::size_t from = 0;
  for (int done = 0; done < kMaxSubstitutions && s.size() <= kMaxLiteralSize; ++done) {
    std::size_t dollar = s.find('$', from);
    if (dollar == std::string::npos || dollar + 1 >= s.size()) break;  // a final "$" stays
    std::size_t end = dollar + 2;
    while (end < s.size() && s[end] >= 'a' && s[end] <= 'z') ++end;
    s.replace(dollar, end - dollar, GetVariable(s.substr(dollar, end - dollar)));
    from = dollar;
  }
  std::string out;
  out.reserve(s.size());
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (s[i] == '\\' && i + 1 < s.size() && s[i + 1] == 'n') {
      out += "\r\n";
      ++i;
    } else {
      out += s[i];
    }
  }
  if (out.size() < 2) return {};
  return out.substr(1, out.size() - 2);
}

void TKSParse::SetVariable(const std::string& name, const std::string& value) {
  if (name.empty()) return;
  variables_[lowerAscii(name)] = value;
}

std::string TKSParse::GetVariable(const std::string& name) const {
  auto it = variables_.find(lowerAscii(name));
  return it == variables_.end() ? std::string() : it->second;
}

void TKSParse::SetParameters(const std::string& parameterText) {
  if (parameterText.empty()) return;
  variables_.clear();
  for (const std::string& piece : splitAt(parameterText, '&')) {
    std::vector<std::string> parts = splitAt(piece, '=');
    SetVariable("$" + parts[0], argument(parts, 1));
  }
}

std::optional<std::string> TKSParse::RunPage(const std::string& pageReference,
                                             const std::string& templateDir) {
  std::size_t bar = pageReference.find('|');
  std::string fileName = pageReference.substr(0, bar);
  std::string parameters = bar == std::string::npos ? std::string() : pageReference.substr(bar + 1);
  const std::vector<std::string>* lines = loadTemplate(templateDir, fileName + ".kshtml");
  if (!lines) return std::nullopt;
  TKSParse page(db_, host_);
  page.cache_ = cache_;
  page.SetParameters(parameters);
  return joinLines(page.RunTemplate(*lines, templateDir));
}

TWorkList::TWorkList() {
  Add("index");
}

const std::string* TWorkList::Find(const std::string& ref) const {
  auto it = folded_.find(FoldCase(ref));
  return it == folded_.end() ? nullptr : &entries_[it->second];
}

bool TWorkList::Add(const std::string& ref) {
  if (!folded_.emplace(FoldCase(ref), entries_.size()).second) return false;
  entries_.push_back(ref);
  return true;
}

std::string PageFileName(const std::string& reference) {
  if (startsWith(reference, "http:") || startsWith(reference, "mailto:")) return reference;
  std::string name = reference;
  for (char& c : name)
    if (c == '=' || c == '|') c = '_';
  if (name.size() < 5 || name.compare(name.size() - 5, 5, ".html") != 0) name += ".html";
  return name;
}

std::string RewriteLinks(const std::string& pageText, TWorkList& workList) {
  std::string out;
  out.reserve(pageText.size() + pageText.size() / 8);
  std::size_t pos = 0;
  for (;;) {
    std::size_t found = pageText.find("ref=", pos);
    if (found == std::string::npos) break;
    // Keep "ref=" and the opening mark that follows it.
    std::size_t start = std::min(found + 5, pageText.size());
    out.append(pageText, pos, start - pos);
    pos = start;
    std::size_t close = pageText.find('"', pos);
    if (close == std::string::npos) continue;
    std::string target = pageText.substr(pos, close - pos);
    if (startsWith(target, "http:") || startsWith(target, "mailto:") ||
        extensionOf(target) == ".html") {
      out += PageFileName(target);
    } else if (const std::string* entry = workList.Find(target)) {
      // Links that differ only in case name the one file written for the first of them.
      out += PageFileName(*entry);
    } else {
      workList.Add(target);
      out += PageFileName(target);
    }
    pos = close;
  }
  out.append(pageText, pos, std::string::npos);
  return out;
}

SiteResult GenerateSite(TKSParse& interpreter, const std::string& templateDir,
                        const std::string& destDir, Host* host) {
  SiteResult result;
  std::error_code ec;
  if (!fs::is_directory(fs::path(destDir), ec)) return result;
  hostProgressMax(host, 0);
  hostProgressPos(host, 0);
  TWorkList work;
  interpreter.TemplateDir = templateDir;
  for (std::size_t i = 0; i < work.size(); ++i) {
    const std::string ref = work[i];
    const std::string fileName = PageFileName(ref);
    // A reference whose file would land outside the destination counts as a missing template.
    if (StaysInside(fileName)) {
      std::optional<std::string> page = interpreter.RunPage(ref, templateDir);
      if (page && !page->empty()) {
        std::string text = RewriteLinks(*page, work);
        text += "\r\n";
        if (WriteWholeFile(fs::path(destDir) / NativeName(fileName), text)) {
          ++result.pagesWritten;
        } else {
          result.failed.push_back(ref);
          hostMessage(host, "Impossible d'enregistrer le fichier \"" + ref + "\"");
        }
      }
    }
    hostProgressMax(host, static_cast<long long>(work.size()));
    hostProgressPos(host, static_cast<long long>(i));
  }
  hostProgressPos(host, 0);
  return result;
}

}  // namespace lignado
