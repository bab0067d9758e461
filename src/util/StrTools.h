#pragma once

#include <string>

namespace lignado {

// Path and text routines of the FTP client. Positions are 1-based, 0 means "not found".

std::string ReverseString(const std::string& text);

/// Position of the last character of the last occurrence of needle in text, or 0.
int LastPos(const std::string& needle, const std::string& text);

/// Appends the platform's folder separator unless the path already ends with it.
std::string AddTrailingBackslash(const std::string& path);

/// Drops one trailing "\" or "/", but never from a path of fewer than 2 characters.
std::string RemoveTrailingSlash(const std::string& path);

/// The text before the last separator; the separator itself when that is the first character;
/// empty when there is none.
std::string ParentPath(const std::string& path, char separator);

}  // namespace lignado
