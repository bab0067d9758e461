#include "pages/TemplateCode.h"

#include "util/Text.h"

namespace lignado {
namespace {

bool startsWith(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && s.compare(0, prefix.size(), prefix) == 0;
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

CompiledTemplate CompileTemplate(std::vector<std::string> lines) {
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

}  // namespace lignado
