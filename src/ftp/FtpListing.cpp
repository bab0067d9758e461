#include "ftp/FtpListing.h"

#include <algorithm>
#include <cctype>

namespace lignado {

namespace {

std::vector<std::string> lines(const std::string& text) {
  std::vector<std::string> out;
  size_t pos = 0;
  while (pos < text.size()) {
    size_t nl = text.find('\n', pos);
    if (nl == std::string::npos) nl = text.size();
    std::string line = text.substr(pos, nl - pos);
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (!line.empty()) out.push_back(std::move(line));
    pos = nl + 1;
  }
  return out;
}

std::string lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

bool allDigits(const std::string& s, size_t maxDigits = 18) {
  return !s.empty() && s.size() <= maxDigits &&
         std::all_of(s.begin(), s.end(), [](char c) { return c >= '0' && c <= '9'; });
}

int64_t number(const std::string& s) {
  int64_t v = 0;
  for (char c : s) v = v * 10 + (c - '0');
  return v;
}

bool usable(const std::string& name) {
  return !name.empty() && name != "." && name != "..";
}

struct Token {
  std::string text;
  size_t end = 0;  // just after it in the line
};

std::vector<Token> tokens(const std::string& line) {
  std::vector<Token> out;
  size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && line[i] == ' ') ++i;
    size_t start = i;
    while (i < line.size() && line[i] != ' ') ++i;
    if (i > start) out.push_back({line.substr(start, i - start), i});
  }
  return out;
}

bool isMonth(const std::string& s) {
  static const char* const kMonths[] = {"jan", "feb", "mar", "apr", "may", "jun",
                                        "jul", "aug", "sep", "oct", "nov", "dec"};
  const std::string m = lower(s);
  return std::any_of(std::begin(kMonths), std::end(kMonths), [&](const char* k) { return m == k; });
}

bool isTimeOrYear(const std::string& s) {
  if (allDigits(s, 4)) return s.size() == 4;
  auto colon = s.find(':');
  return colon != std::string::npos && allDigits(s.substr(0, colon), 2) &&
         allDigits(s.substr(colon + 1), 2);
}

// "-rw-r--r-- 1 owner group 1234 Jan 31 09:05 name": the date is found first, the size is the
// field before it, the name all that follows it after one blank.
bool parseUnix(const std::string& line, FtpEntry& e) {
  std::vector<Token> t = tokens(line);
  if (t.size() < 5 || t[0].text.size() < 10) return false;
  char kind = t[0].text[0];
  if (std::string("-dl").find(kind) == std::string::npos) return false;
  for (size_t m = 2; m + 2 < t.size(); ++m) {
    if (!isMonth(t[m].text) || !allDigits(t[m + 1].text, 2) || !isTimeOrYear(t[m + 2].text) ||
        !allDigits(t[m - 1].text))
      continue;
    size_t start = t[m + 2].end + 1;
    if (start >= line.size()) return false;
    e.name = line.substr(start);
    e.folder = kind == 'd';
    e.link = kind == 'l';
    e.size = number(t[m - 1].text);
    if (e.link) {
      auto arrow = e.name.find(" -> ");
      if (arrow != std::string::npos) e.name.resize(arrow);
    }
    return true;
  }
  return false;
}

// "01-31-24  09:05PM  <DIR>  name" or "01-31-2024  09:05AM  1234 name".
bool parseDos(const std::string& line, FtpEntry& e) {
  std::vector<Token> t = tokens(line);
  if (t.size() < 4) return false;
  const std::string& date = t[0].text;
  if (date.size() < 8 || !std::isdigit(static_cast<unsigned char>(date[0])) ||
      (date[2] != '-' && date[2] != '/'))
    return false;
  std::string time = lower(t[1].text);
  if (time.find(':') == std::string::npos) return false;
  size_t start = t[2].end;
  while (start < line.size() && line[start] == ' ') ++start;
  if (start >= line.size()) return false;
  if (t[2].text == "<DIR>") {
    e.folder = true;
  } else if (allDigits(t[2].text)) {
    e.size = number(t[2].text);
  } else {
    return false;
  }
  e.name = line.substr(start);
  return true;
}

}  // namespace

std::vector<FtpEntry> ParseMlsd(const std::string& text, size_t* unread) {
  std::vector<FtpEntry> out;
  size_t bad = 0;
  for (const std::string& line : lines(text)) {
    auto space = line.find(' ');
    if (space == std::string::npos) {
      ++bad;
      continue;
    }
    FtpEntry e;
    e.name = line.substr(space + 1);
    std::string type;
    bool ok = true;
    size_t pos = 0;
    const std::string facts = line.substr(0, space);
    while (pos < facts.size()) {
      size_t semi = facts.find(';', pos);
      if (semi == std::string::npos) semi = facts.size();
      std::string fact = facts.substr(pos, semi - pos);
      pos = semi + 1;
      auto eq = fact.find('=');
      if (eq == std::string::npos) continue;
      std::string key = lower(fact.substr(0, eq)), value = fact.substr(eq + 1);
      if (key == "type") type = lower(value);
      if (key == "size" || key == "sizd") {
        if (allDigits(value))
          e.size = number(value);
        else
          ok = false;
      }
    }
    if (!ok || e.name.empty()) ++bad;
    if (!ok || type == "cdir" || type == "pdir" || !usable(e.name)) continue;
    e.folder = type == "dir";
    e.link = type != "file" && !e.folder;  // links and what a server names otherwise
    out.push_back(std::move(e));
  }
  if (unread) *unread = bad;
  return out;
}

std::vector<FtpEntry> ParseList(const std::string& text, size_t* unread) {
  std::vector<FtpEntry> out;
  size_t bad = 0;
  for (const std::string& line : lines(text)) {
    FtpEntry e;
    if (!parseUnix(line, e) && !parseDos(line, e)) {
      if (line.rfind("total ", 0) != 0) ++bad;
      continue;
    }
    if (usable(e.name)) out.push_back(std::move(e));
  }
  if (unread) *unread = bad;
  return out;
}

}  // namespace lignado
