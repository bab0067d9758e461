#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lignado {

// The files of a template folder that its pages name besides templates: style sheets,
// scripts, pictures, fonts. A link or source naming one copies it into the site, at the same
// place below the destination, once; the link stays as written.
class TPageList;

class TTemplateAssets {
 public:
  // Copies are recorded in the list when one is given.
  TTemplateAssets(std::string templateDir, std::string destDir, TPageList* list = nullptr);

  // True when target (a link as written, "?..." and "#..." ignored) names a file of the
  // template folder that is no template (a symlink that leads out of it is none); the file is
  // then copied. A copy that fails sets Failure, and no later one is tried.
  bool Take(const std::string& target);

  // Script pages: a source naming a page reference whose template name ends in ".js"
  // ("donnees.js|p=2", template "donnees.js.kshtml") is run like a page and written as a
  // script, ScriptFileName of the reference. True when target is one (the template exists);
  // it is remembered for IsScript.
  bool TakeScript(const std::string& target);
  bool IsScript(const std::string& reference) const;

  const std::vector<std::string>& Copied() const { return copied_; }  // names as written
  // French: the copy that failed, file and reason; empty while none has.
  const std::string& Failure() const { return failure_; }

 private:
  std::string templateDir_, destDir_;
  TPageList* list_;
  std::unordered_map<std::string, bool> seen_;             // file part of a link -> is an asset
  std::unordered_map<std::string, bool> scriptTemplates_;  // template name -> exists
  std::unordered_set<std::string> scripts_;                // folded references
  std::vector<std::string> copied_;
  std::string failure_;
};

// "donnees.js|p=2" -> "donnees_p_2.js": the page file name, with ".js" at the end.
std::string ScriptFileName(const std::string& reference);

}  // namespace lignado
