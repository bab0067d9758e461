#pragma once

#include <string>
#include <vector>

namespace lignado {

// A settings file with the behaviour of the Windows private-profile functions: "[section]"
// headers, raw key=value lines (no quoting, values kept as typed), section and key names
// compared without regard to letter case, the first of two equal keys wins. Lines it does not
// understand (comments, blanks) are kept where they are.
class IniFile {
 public:
  // Reads the file; a missing or unreadable file reads as empty.
  explicit IniFile(std::string path);

  const std::string& Path() const { return path_; }

  std::string ReadString(const std::string& section, const std::string& key,
                         const std::string& defaultValue) const;
  // A whole decimal number other than 0 is true; a missing or non-numeric value gives the
  // default.
  bool ReadBool(const std::string& section, const std::string& key, bool defaultValue) const;

  // Replaces the key's value where it stands, or appends it to its section (the section is
  // appended to the file when it is new).
  void WriteString(const std::string& section, const std::string& key, const std::string& value);
  void WriteBool(const std::string& section, const std::string& key, bool value);  // 1 or 0
  void EraseSection(const std::string& section);

  // Writes the whole file at once: a temporary file beside it, readable and writable by its
  // owner only (it holds a password), then renamed over the old one, so a crash leaves either
  // the old file or the new one. Missing parent folders are created (owner only). False, with
  // a French reason, on failure; the old file is then untouched.
  bool Save(std::string* reason = nullptr) const;

  // The file's text as Save writes it.
  std::string Text() const;

 private:
  struct Line {
    std::string text;  // the line as read or as written
    std::string key;   // empty for a header, comment or blank line
    std::string value;
  };
  struct Section {
    std::string name;  // empty for lines before the first header
    std::vector<Line> lines;
  };

  const Line* find(const std::string& section, const std::string& key) const;
  Section* findSection(const std::string& section);

  std::string path_;
  std::vector<Section> sections_;
};

// $XDG_DATA_HOME/lignado/ (~/.local/share when unset or not absolute), with a trailing "/".
std::string UserDataFolder();

// True when a folder exists and this process may create files in it.
bool FolderWritable(const std::string& folder);

}  // namespace lignado
