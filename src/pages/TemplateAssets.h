#pragma once

#include <string>
#include <unordered_map>
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

  const std::vector<std::string>& Copied() const { return copied_; }  // names as written
  const std::vector<std::string>& Failed() const { return failed_; }

 private:
  std::string templateDir_, destDir_;
  std::unordered_map<std::string, bool> seen_;  // file part of a link -> is an asset
  std::vector<std::string> copied_, failed_;
};

}  // namespace lignado
