#include "pages/TemplateAssets.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "pages/TemplateFiles.h"
#include "util/Text.h"

namespace lignado {
namespace fs = std::filesystem;

namespace {

// The file part of a link: without its query or fragment.
std::string filePart(const std::string& target) {
  return target.substr(0, target.find_first_of("?#"));
}

bool isTemplateName(const std::string& name) {
  const std::string ext = ".kshtml";
  return name.size() >= ext.size() && FoldCase(name.substr(name.size() - ext.size())) == ext;
}

}  // namespace

TTemplateAssets::TTemplateAssets(std::string templateDir, std::string destDir)
    : templateDir_(std::move(templateDir)), destDir_(std::move(destDir)) {}

bool TTemplateAssets::Take(const std::string& target) {
  const std::string name = filePart(target);
  // Page references ("personne|n=1"), schemes and drives are never files of the folder.
  if (name.empty() || name.find_first_of("|:") != std::string::npos || name.back() == '/' ||
      name.back() == '\\' || isTemplateName(name))
    return false;
  auto it = seen_.find(name);
  if (it != seen_.end()) return it->second;
  std::optional<fs::path> source = FindNoCase(templateDir_, name);
  seen_.emplace(name, source.has_value());
  if (!source) return false;
  // Under the name as written, so that the link finds it on any file system.
  const fs::path copy = fs::path(destDir_) / NativeName(name);
  std::error_code ec;
  fs::create_directories(copy.parent_path(), ec);
  ec.clear();
  const bool ok = fs::copy_file(*source, copy, fs::copy_options::overwrite_existing, ec);
  (ok ? copied_ : failed_).push_back(name);
  return true;
}

bool TTemplateAssets::TakeScript(const std::string& target) {
  const std::string name = target.substr(0, target.find('|'));
  if (name.size() <= 3 || FoldCase(name.substr(name.size() - 3)) != ".js" ||
      name.find_first_of("?#:") != std::string::npos)
    return false;
  auto it = scriptTemplates_.find(name);
  if (it == scriptTemplates_.end())
    it = scriptTemplates_.emplace(name, FindNoCase(templateDir_, name + ".kshtml").has_value())
             .first;
  if (it->second) scripts_.insert(FoldCase(target));
  return it->second;
}

bool TTemplateAssets::IsScript(const std::string& reference) const {
  return !scripts_.empty() && scripts_.count(FoldCase(reference)) > 0;
}

std::string ScriptFileName(const std::string& reference) {
  const std::size_t bar = reference.find('|');
  std::string name = reference.substr(0, std::min(bar, reference.size()) - 3);
  if (bar != std::string::npos) name += "_" + reference.substr(bar + 1);
  for (char& c : name)
    if (c == '=' || c == '|') c = '_';
  return name + ".js";
}

}  // namespace lignado
