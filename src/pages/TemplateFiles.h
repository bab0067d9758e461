#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "util/FileTools.h"

namespace lignado {

// True when a name written by a template stays below its folder: not absolute, no drive, no
// ".." part, no NUL. "\" and "/" both separate folders.
bool StaysInside(const std::string& name);

// The file-system form of such a name: UTF-8, "/" between folders.
std::filesystem::path NativeName(const std::string& name);

// dir + name, each part of the name matched without regard to case when no entry has the
// exact name. None when the name leaves dir or nothing matches. wantFolder selects folders
// instead of regular files.
std::optional<std::filesystem::path> FindNoCase(const std::filesystem::path& dir,
                                                const std::string& name, bool wantFolder = false);

// FindNoCase, but none when the file found, its symlinks resolved, lies outside dir: a symlink
// in a template folder that leads elsewhere is not followed.
std::optional<std::filesystem::path> FindInFolder(const std::filesystem::path& dir,
                                                  const std::string& name);

// "Impossible d'enregistrer le fichier \"PATH\" : REASON." for a write that failed with errno.
std::string WriteFailureText(const std::filesystem::path& file, int error);

// The bytes of a file, or none when it cannot be read.
std::optional<std::string> ReadWholeFile(const std::filesystem::path& file);

}  // namespace lignado
