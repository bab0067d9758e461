#include "pages/TemplateCode.h"

#include "util/Text.h"

namespace lignado {
namespace {

// Deeper calls end a run before they are evaluated (see TKSParse).
constexpr int kMaxDepth = 512;
// More variables in one literal than a run substitutes: it is read as it runs.
constexpr std::size_t kMaxPieces = 100;

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
}

// The argument text of "name(...)": after the prefix, without the last character.
std::string_view argumentText(std::string_view expr, std::size_t prefixLength) {
  if (expr.size() <= prefixLength) return {};
  return expr.substr(prefixLength, expr.size() - prefixLength - 1);
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
         kind == "tranche" || kind == "initiale" || kind == "photo" || kind == "evenement" ||
         kind == "media_union";
}

void compileLiteral(Expr& x, VariableSlots& slots) {
  const std::string_view e = x.text;
  if (e.find('$') == std::string_view::npos) {
    x.constant = true;
    x.value = LiteralValue(e);
    return;
  }
  std::size_t pos = 0;
  for (;;) {
    std::size_t dollar = e.find('$', pos);
    if (dollar == std::string_view::npos || dollar + 1 >= e.size()) break;  // a final "$" stays
    std::size_t end = dollar + 2;
    while (end < e.size() && e[end] >= 'a' && e[end] <= 'z') ++end;
    const std::string_view name = e.substr(dollar, end - dollar);
    x.pieces.push_back({e.substr(pos, dollar - pos), name, slots.Slot(LowerAscii(name))});
    pos = end;
  }
  x.pieces.push_back({e.substr(pos), {}, VariableSlots::kNone});
  if (x.pieces.size() > kMaxPieces) x.pieces.clear();  // read as it runs
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

std::size_t VariableSlots::Slot(std::string_view name) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = slots_.find(std::string(name));
  if (it == slots_.end()) it = slots_.emplace(std::string(name), slots_.size()).first;
  return it->second;
}

std::size_t VariableSlots::Find(std::string_view name) const {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = slots_.find(std::string(name));
  return it == slots_.end() ? kNone : it->second;
}

std::string_view PieceOf(std::string_view s, char sep, std::size_t i) {
  std::size_t start = 0;
  for (; i > 0; --i) {
    std::size_t k = s.find(sep, start);
    if (k == std::string_view::npos) return {};
    start = k + 1;
  }
  return s.substr(start, s.find(sep, start) - start);
}

std::size_t FunctionNameLength(std::string_view e) {
  std::size_t n = 0;
  while (n < e.size() &&
         ((e[n] >= 'a' && e[n] <= 'z') || e[n] == '_' || (n > 0 && e[n] >= '0' && e[n] <= '9')))
    ++n;
  return n > 0 && n < e.size() && e[n] == '(' ? n : 0;
}

bool NamesByLetter(std::string_view name) {
  return name.size() > 1 &&
         ((name[1] >= 'a' && name[1] <= 'z') || (name[1] >= 'A' && name[1] <= 'Z'));
}

std::string LiteralValue(std::string_view text) {
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

Expr CompileExpr(std::string_view e, VariableSlots& slots, int depth) {
  Expr x;
  x.text = e;
  if (depth >= kMaxDepth) {
    x.kind = Expr::kTooDeep;
    return x;
  }
  auto sub = [&](std::string_view s) { return CompileExpr(s, slots, depth + 1); };
  // The tests in their order, sorted by first character; none of them shares its beginning
  // with another but "nombre_" and "nombre(", which differ further on.
  switch (e.empty() ? '\0' : e[0]) {
    case 'a':
      if (startsWith(e, "adresse_page(")) {
        x.kind = Expr::kAdressePage;
        x.args.push_back(sub(PieceOf(argumentText(e, 13), ',', 0)));
        return x;
      }
      break;
    case 's':
      if (startsWith(e, "statistique(")) {
        x.kind = Expr::kStatistique;
        const std::string_view args = argumentText(e, 12);
        x.args.push_back(sub(PieceOf(args, ',', 0)));
        x.args.push_back(sub(PieceOf(args, ',', 1)));
        return x;
      }
      break;
    case 'c':
      if (startsWith(e, "champ(")) {
        x.kind = Expr::kChamp;
        const std::string_view args = argumentText(e, 6);
        x.args.push_back(sub(PieceOf(args, ',', 0)));
        std::string_view tags = TrimBlanks(PieceOf(args, ',', 1));
        if (!tags.empty() && tags[0] == '$') {  // a variable's value is the tag text
          x.args.push_back(sub(tags));
          return x;
        }
        x.tags = tags.size() >= 2 ? tags.substr(1, tags.size() - 2) : std::string_view();
        x.stray = strayGreater(x.tags);
        return x;
      }
      break;
    case 'l':
      if (startsWith(e, "liste_")) {
        std::size_t open = e.find('('), close = e.find(')');
        if (open == std::string_view::npos || close == std::string_view::npos || close < open)
          return x;  // the empty text
        x.kind = Expr::kListe;
        x.value = e.substr(6, open - 6);
        const std::string_view args = e.substr(open + 1, close - open - 1);
        x.args.push_back(sub(PieceOf(args, ',', 0)));
        x.secondArgument = needsSecondArgument(x.value);
        if (x.secondArgument) x.args.push_back(sub(PieceOf(args, ',', 1)));
        return x;
      }
      break;
    case 'n':
      if (startsWith(e, "nombre_")) {
        std::size_t open = e.find('(');
        if (open == std::string_view::npos) return x;  // the empty text
        x.kind = Expr::kNombreMotCle;
        x.value = e.substr(7, open - 7);
        return x;
      }
      if (startsWith(e, "nombre(")) {
        x.kind = Expr::kNombre;
        x.args.push_back(sub(PieceOf(argumentText(e, 7), ',', 0)));
        return x;
      }
      break;
    case 'd':
      if (e == "date()") x.kind = Expr::kDate;
      if (x.kind == Expr::kDate) return x;
      break;
    case 'h':
      if (e == "heure()") x.kind = Expr::kHeure;
      if (x.kind == Expr::kHeure) return x;
      break;
    case 'e':
      if (startsWith(e, "evalue(")) {
        x.kind = Expr::kEvalue;
        const std::string_view args = argumentText(e, 7);
        std::string_view list = TrimBlanks(PieceOf(args, ',', 0));
        std::string_view item = TrimBlanks(PieceOf(args, ',', 1));
        // The list and the item are lower-cased before they are read.
        for (int k = 0; k < 2; ++k) {
          std::string_view& arg = k == 0 ? list : item;
          if (!HasUpperAscii(arg)) continue;
          x.owned[k] = std::make_shared<const std::string>(LowerAscii(arg));
          arg = *x.owned[k];
        }
        x.args.push_back(sub(list));
        x.args.push_back(sub(item));
        x.args.push_back(sub(TrimBlanks(PieceOf(args, ',', 2))));
        x.slot = slots.Slot("$1");
        return x;
      }
      break;
    case '$':
      x.kind = Expr::kVariable;
      x.slot = slots.Slot(LowerAscii(e));
      return x;
    case 'i':
      if (startsWith(e, "include(")) {
        x.kind = Expr::kInclude;
        x.args.push_back(sub(PieceOf(argumentText(e, 8), ',', 0)));
        return x;
      }
      break;
    case '"':
      x.kind = Expr::kLiteral;
      compileLiteral(x, slots);
      return x;
    default:
      break;
  }
  x.kind = FunctionNameLength(e) ? Expr::kUnknownFunction : Expr::kText;
  x.value = e;
  return x;
}

CompiledTemplate CompileTemplate(std::vector<std::string> lines, VariableSlots& slots) {
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
        l.b = TrimBlanks(line.substr(eq + 1));
        l.slot = slots.Slot(LowerAscii(l.a));
        l.eb = CompileExpr(l.b, slots);
      }
    } else if (startsWith(line, "echo")) {
      l.kind = CompiledLine::kEcho;
      l.a = TrimBlanks(line.substr(4));
      l.ea = CompileExpr(l.a, slots);
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
        l.ea = CompileExpr(l.a, slots);
        l.eb = CompileExpr(l.b, slots);
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

}  // namespace lignado
