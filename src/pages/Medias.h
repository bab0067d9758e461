#pragma once

#include <string>
#include <vector>

namespace lignado {

// The site folder that holds the copies of the persons' media files.
inline const std::string kMediaFolder = "medias/";

// Where the site keeps a media file named as the GEDCOM file writes it ("photos/a b.jpg",
// "C:\Photos\x.jpg"): kMediaFolder, then its file name made safe (lower-case ASCII letters,
// digits, "-" and "_"; lists lower-case what they hold), a mark of the whole path, and its
// extension. The same text always gives the same name; two texts with the same file name
// give different ones.
std::string MediaSitePath(const std::string& written);

class TBD;
class TVivants;

// The file that a media text names, searched from the GEDCOM file's folder (UTF-8): the path
// itself when absolute, else below that folder; failing that (a Windows path such as
// "C:\Photos\x.jpg", a moved folder), the first file of that name found under the folder.
// Empty when there is none. written is Windows-1252, as the database holds it.
std::string FindMediaFile(const std::string& written, const std::string& gedcomFolder);

struct MediaCopy {
  std::vector<std::string> written;  // site paths of the copies
  std::vector<std::string> missing;  // French lines, one a file that was not copied
};

// Copies the media of every person that vivants does not hide into destDir (ending in "/"),
// each once, at its MediaSitePath. A missing file is listed, never fatal.
MediaCopy CopyMedia(const TBD& db, const std::string& gedcomFolder, const std::string& destDir,
                    const TVivants* vivants);

}  // namespace lignado
