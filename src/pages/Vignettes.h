#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace lignado {

// Reduced copies of the pictures of a site: a thumbnail for lists and a copy the size of a page,
// so that a page never loads a camera's full picture.
inline constexpr int kThumbnailSide = 320;
inline constexpr int kPageSide = 1280;

struct PictureSize {
  int width = 0, height = 0;
};

struct Reduction {
  bool ok = false;
  bool reused = false;  // an earlier build made it from the same source: not made again
  PictureSize size;     // of the reduced copy, as a browser shows it
  std::string failure;  // French, when not ok
};

// The extension (with its dot) a reduced copy of this picture is written with: ".jpg" for JPEG
// and TIFF, ".png" for PNG and GIF, ".webp" for WebP; empty for a file that is not reduced.
std::string ReducedExtension(const std::string& path);

// Writes into dest (its extension as ReducedExtension says) a copy of the picture source whose
// long side is at most `side` pixels (never enlarged), turned upright as its EXIF orientation
// says, without its metadata (a camera's GPS position stays private). Written under a
// temporary name, then renamed; dest takes the modification time of source, and a dest that
// already has it is reused. Paths are file-system bytes. A new copy is handed, whole, to
// beforeRename (its size and time) before it takes its name; an errno it gives stops it.
using BeforeRename = std::function<int(int64_t size, int64_t mtimeNs)>;
Reduction ReducePicture(const std::string& source, const std::string& dest, int side,
                        const BeforeRename& beforeRename = {});

// The size of a picture as a browser shows it (EXIF orientation applied); 0 x 0 when the file
// is not a picture that can be read.
PictureSize PictureSizeOf(const std::string& path);

}  // namespace lignado
