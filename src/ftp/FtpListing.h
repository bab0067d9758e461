#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace lignado {

// One entry of a remote folder listing; size -1 when the listing did not give it.
struct FtpEntry {
  std::string name;
  int64_t size = -1;
  bool folder = false;
  bool link = false;
};

/// The entries of an MLSD answer (RFC 3659 facts, then one blank, then the name); the folder's
/// own "cdir" and "pdir" entries and lines that cannot be read are left out, the latter
/// counted in `unread`.
std::vector<FtpEntry> ParseMlsd(const std::string& text, size_t* unread = nullptr);

/// The entries of a LIST answer: Unix `ls -l` lines (with or without a group column, a link's
/// target cut off) and DOS lines ("01-31-24  09:05PM  <DIR>  name"). "total" lines, "." and
/// ".." and lines that cannot be read are left out.
std::vector<FtpEntry> ParseList(const std::string& text, size_t* unread = nullptr);

}  // namespace lignado
