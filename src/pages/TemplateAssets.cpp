#include "pages/TemplateAssets.h"

#include <algorithm>
#include <filesystem>
#include <optional>
#include <system_error>
#include <utility>

#include "pages/PageList.h"
#include "pages/TemplateFiles.h"
#include "util/Text.h"
#include "util/Utf8.h"

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

TTemplateAssets::TTemplateAssets(std::string templateDir, std::string destDir, TPageList* list)
    : templateDir_(std::move(templateDir)), destDir_(std::move(destDir)), list_(list) {}

bool TTemplateAssets::Take(const std::string& target) {
  const std::string name = filePart(target);
  // Page references ("personne|n=1"), schemes and drives are never files of the folder.
  if (name.empty() || name.find_first_of("|:") != std::string::npos || name.back() == '/' ||
      name.back() == '\\' || isTemplateName(name))
    return false;
  auto it = seen_.find(name);
  if (it != seen_.end()) return it->second;
  std::optional<fs::path> source = FindInFolder(templateDir_, name);
  seen_.emplace(name, source.has_value());
  if (!source) return false;
  if (!failure_.empty()) return true;
  std::optional<std::string> bytes = ReadWholeFile(*source);
  if (!bytes) {
    failure_ = "Impossible de lire le fichier \"" + Utf8ToCp1252(source->string()) + "\".";
    return true;
  }
  // Under the name as written, so that the link finds it on any file system.
  failure_ = WriteSiteFile(destDir_, name, *bytes, list_);
  if (failure_.empty()) copied_.push_back(name);
  return true;
}

bool TTemplateAssets::TakeScript(const std::string& target) {
  const std::string name = target.substr(0, target.find('|'));
  if (name.size() <= 3 || FoldCase(name.substr(name.size() - 3)) != ".js" ||
      name.find_first_of("?#:") != std::string::npos)
    return false;
  auto it = scriptTemplates_.find(name);
  if (it == scriptTemplates_.end())
    it = scriptTemplates_.emplace(name, FindInFolder(templateDir_, name + ".kshtml").has_value())
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
