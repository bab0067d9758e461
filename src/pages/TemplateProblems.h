#pragma once

#include <cstddef>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lignado {

enum class ProblemKind {
  Syntax,           // a statement or an expression the language cannot read
  NoComparator,     // an if without == or <>
  UnknownKeyword,   // a script line that is no statement
  UnknownFunction,  // name( ... ) that is no function of the language
  MissingInclude,   // include( ) of a file that is not in the template folder
  LoopingInclude,   // includes nested too deep: a template that includes itself
  StrayGreater,     // a ">" before the next "<" of a tag text: the tags after it stay as written
  Limit,            // a page went over a limit of its run
  UnknownTag,       // a tag that no row of the table of tags names
  UnknownTagForm,   // a form (":clair" ...) that the tag does not take
};

// One problem of a template: where (the template file as the page or include names it, relative
// to the template folder; line and column from 1, the column counted in bytes of the raw line)
// and what, as a French sentence (Windows-1252).
struct TemplateProblem {
  std::string file;
  int line = 0;
  int column = 0;
  ProblemKind kind = ProblemKind::Syntax;
  std::string message;

  // "file:line:column : message"
  std::string Text() const;
  bool operator==(const TemplateProblem&) const = default;
};

// The problems met while one page runs, each once however often its line ran.
class PageProblems {
 public:
  void Add(TemplateProblem problem);
  // A template file that the page ran (itself or an include).
  void Ran(std::string_view file);
  const std::vector<TemplateProblem>& All() const { return problems_; }
  bool Empty() const { return problems_.empty() && ran_.empty(); }
  void Clear() {
    problems_.clear();
    ran_.clear();
  }

 private:
  friend class TemplateProblems;
  std::vector<TemplateProblem> problems_;
  std::vector<std::string> ran_;
};

// Where an expression being run stands, handed to the code it calls (tag expansion) so that a
// problem found at an offset of the text handed over is reported at its line and column.
class TemplatePlace {
 public:
  TemplatePlace() = default;  // nowhere: reports are dropped
  TemplatePlace(PageProblems* page, std::string_view file, int line, int column)
      : page_(page), file_(file), line_(line), column_(column) {}
  void Report(ProblemKind kind, std::string message, std::size_t offset = 0) const;
  int Line() const { return line_; }
  int Column() const { return column_; }

 private:
  PageProblems* page_ = nullptr;
  std::string_view file_;
  int line_ = 0, column_ = 0;
};

// The problems of a whole generation or preview, shared by the threads that run pages: each
// distinct problem once, in the order first met, with the number of pages where it happened.
class TemplateProblems {
 public:
  struct Entry {
    TemplateProblem problem;
    std::size_t pages = 0;
  };
  // The problems of one page (each counts that page once).
  void AddPage(const PageProblems& page);
  std::vector<Entry> Entries() const;
  bool Empty() const;
  // The template files that ran, as pages and includes named them.
  std::vector<std::string> FilesRun() const;
  // ProblemLines of the entries.
  std::vector<std::string> Lines(const std::string& dir = {}) const;

 private:
  mutable std::mutex mutex_;
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::size_t> index_;  // Text() + kind -> entry
  std::set<std::string> ran_;
};

// One French line per problem: "dir/file:line:column : message (N pages)".
std::vector<std::string> ProblemLines(const std::vector<TemplateProblems::Entry>& entries,
                                      const std::string& dir = {});

}  // namespace lignado
