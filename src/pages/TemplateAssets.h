#pragma once

#include <string>
#include <unordered_map>
#include <unordered_set>
#include <vector>

namespace lignado {

// The files of a template folder that its pages name besides templates: style sheets,
// scripts, pictures, fonts. A link or source naming one copies it into the site, at the same
// place below the destination, once; the link stays as written.
class TTemplateAssets {
 public:
  TTemplateAssets(std::string templateDir, std::string destDir);

  // True when target (a link as written, "?..." and "#..." ignored) names a file of the
  // template folder that is no template; the file is then copied, or listed as failed.
  bool Take(const std::string& target);

  // Script pages: a source naming a page reference whose template name ends in ".js"
  // ("donnees.js|p=2", template "donnees.js.kshtml") is run like a page and written as a
  // script, ScriptFileName of the reference. True when target is one (the template exists);
  // it is remembered for IsScript.
  bool TakeScript(const std::string& target);
  bool IsScript(const std::string& reference) const;

  const std::vector<std::string>& Copied() const { return copied_; }  // names as written
  const std::vector<std::string>& Failed() const { return failed_; }

 private:
  std::string templateDir_, destDir_;
  std::unordered_map<std::string, bool> seen_;             // file part of a link -> is an asset
  std::unordered_map<std::string, bool> scriptTemplates_;  // template name -> exists
  std::unordered_set<std::string> scripts_;                // folded references
  std::vector<std::string> copied_, failed_;
};

// "donnees.js|p=2" -> "donnees_p_2.js": the page file name, with ".js" at the end.
std::string ScriptFileName(const std::string& reference);

}  // namespace lignado
