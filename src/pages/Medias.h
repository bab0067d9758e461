#pragma once

#include <string>

namespace lignado {

// The site folder that holds the copies of the persons' media files.
inline const std::string kMediaFolder = "medias/";

// Where the site keeps a media file named as the GEDCOM file writes it ("photos/a b.jpg",
// "C:\Photos\x.jpg"): kMediaFolder, then its file name made safe (lower-case ASCII letters,
// digits, "-" and "_"; lists lower-case what they hold), a mark of the whole path, and its
// extension. The same text always gives the same name; two texts with the same file name
// give different ones.
std::string MediaSitePath(const std::string& written);

}  // namespace lignado
