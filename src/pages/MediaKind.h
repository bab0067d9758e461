#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace lignado {

// How many first bytes of a file MediaKindOf looks at.
inline constexpr std::size_t kMediaHeadBytes = 512;

enum class MediaKind {
  Unknown,   // the extension is not one of a media kind
  Mismatch,  // a media extension, but the bytes are not of that kind
  Matches,
};

// Whether a file of this extension (without the dot, any letter case) whose first bytes are head
// (up to kMediaHeadBytes; fewer for a short file) is a picture, a PDF, a text, a sound or a video
// that a site may show. Pages and scripts (HTML, SVG) are not media kinds: they would run in
// the visitor's browser.
MediaKind MediaKindOf(std::string_view extension, std::string_view head);

// What a media file is, by its extension: a page shows a picture, and links to the others.
enum class MediaCategory { None, Picture, Pdf, Text, Sound, Video };
MediaCategory MediaCategoryOf(std::string_view extension);

// Its kind in French words, for a link: "PDF", "texte", "son MP3", "vid\xE9o MP4", "image JPEG".
std::string MediaKindWords(std::string_view extension);

// Whether a browser shows a picture of this extension as it is (JPEG, PNG, GIF, WebP).
bool BrowserShows(std::string_view extension);

}  // namespace lignado
