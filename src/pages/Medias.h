#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace lignado {

// The site folder that holds the copies of the persons' media files.
inline const std::string kMediaFolder = "medias/";

// The largest media file copied unless told otherwise: 100 MB.
inline constexpr uint64_t kMediaMaxBytes = 100ull << 20;

// Where the site keeps a media file named as the GEDCOM file writes it ("photos/a b.jpg",
// "C:\Photos\x.jpg"): kMediaFolder, then its file name made safe (lower-case ASCII letters,
// digits, "-" and "_"; lists lower-case what they hold), a mark of the whole path, and its
// extension. The same text always gives the same name; two texts with the same file name
// give different ones.
std::string MediaSitePath(const std::string& written);

class TBD;
class TVivants;
class TPageList;

// Where media files may be read from. A file is copied only when, symlinks followed, it lies
// below one of the folders with no name starting with "." on the way down from that folder,
// is a regular file of a media kind (MediaKindOf: extension and first bytes agree) and holds
// at most maxBytes.
struct MediaRules {
  // UTF-8. The GEDCOM file's folder first: a relative path is looked for below each folder in
  // order, then (a Windows path such as "C:\Photos\x.jpg", a moved folder) the first file of
  // that name, letter case ignored, below each folder in order.
  std::vector<std::string> folders;
  uint64_t maxBytes = kMediaMaxBytes;
};

struct MediaCopy {
  std::vector<std::string> written;  // site paths of the copies
  std::vector<std::string> missing;  // French lines, one a file that was not copied and why
};

// Copies the media of every person that vivants does not hide into destDir (ending in "/"),
// each once, at its MediaSitePath, under a temporary name first so that no copy is ever cut.
// A file that is missing or refused by the rules is listed, never fatal. With a list, each
// copy is recorded in it before it takes its name, so a stopped build leaves none unlisted.
MediaCopy CopyMedia(const TBD& db, const MediaRules& rules, const std::string& destDir,
                    const TVivants* vivants, TPageList* list = nullptr);

}  // namespace lignado
