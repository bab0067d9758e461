#include "pages/TemplateProblems.h"

#include <algorithm>

namespace lignado {

std::string TemplateProblem::Text() const {
  return file + ":" + std::to_string(line) + ":" + std::to_string(column) + " : " + message;
}

void PageProblems::Add(TemplateProblem problem) {
  // A page meets few distinct problems, mostly the same one again (a line run in a loop).
  if (std::find(problems_.begin(), problems_.end(), problem) == problems_.end())
    problems_.push_back(std::move(problem));
}

void PageProblems::Ran(std::string_view file) {
  if (std::find(ran_.begin(), ran_.end(), file) == ran_.end()) ran_.emplace_back(file);
}

void TemplatePlace::Report(ProblemKind kind, std::string message, std::size_t offset) const {
  if (!page_) return;
  page_->Add(TemplateProblem{std::string(file_), line_, column_ + static_cast<int>(offset), kind,
                             std::move(message)});
}

void TemplateProblems::AddPage(const PageProblems& page) {
  if (page.Empty()) return;
  std::lock_guard<std::mutex> lock(mutex_);
  ran_.insert(page.ran_.begin(), page.ran_.end());
  for (const TemplateProblem& p : page.All()) {
    std::string key = p.Text();
    key += static_cast<char>('0' + static_cast<int>(p.kind));
    auto [it, added] = index_.emplace(std::move(key), entries_.size());
    if (added) entries_.push_back(Entry{p, 0});
    ++entries_[it->second].pages;
  }
}

std::vector<TemplateProblems::Entry> TemplateProblems::Entries() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_;
}

bool TemplateProblems::Empty() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return entries_.empty();
}

std::vector<std::string> TemplateProblems::FilesRun() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return {ran_.begin(), ran_.end()};
}

std::vector<std::string> TemplateProblems::Lines(const std::string& dir) const {
  return ProblemLines(Entries(), dir);
}

std::vector<std::string> ProblemLines(const std::vector<TemplateProblems::Entry>& entries,
                                      const std::string& dir) {
  std::vector<std::string> lines;
  for (const TemplateProblems::Entry& e : entries) {
    std::string where = dir;
    if (!where.empty() && where.back() != '/' && where.back() != '\\') where += '/';
    lines.push_back(where + e.problem.Text() + " (" + std::to_string(e.pages) +
                    (e.pages == 1 ? " page)" : " pages)"));
  }
  return lines;
}

}  // namespace lignado
