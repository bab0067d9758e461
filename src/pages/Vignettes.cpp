#include "pages/Vignettes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <vips/vips.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <memory>

#include "util/FileTools.h"
#include "util/SystemReason.h"
#include "util/Text.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;

// Pictures larger than this are not decoded: a small file may claim a huge size.
constexpr double kMaxPixels = 250e6;

bool vipsReady() {
  static const bool ready = [] {
    if (VIPS_INIT("lignado") != 0) return false;
    // Only the loaders fuzzed for hostile files; no cache, so a changed file is read again.
    vips_block_untrusted_set(TRUE);
    vips_cache_set_max(0);
    return true;
  }();
  return ready;
}

struct ImageDeleter {
  void operator()(VipsImage* image) const { g_object_unref(image); }
};
using Image = std::unique_ptr<VipsImage, ImageDeleter>;

std::string vipsFailure() {
  std::string text = vips_error_buffer();
  vips_error_clear();
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  if (size_t nl = text.find('\n'); nl != std::string::npos) text.resize(nl);
  return text;
}

std::string lowerExtension(const std::string& path) {
  const std::string name = fs::path(path).filename().string();
  const size_t dot = name.rfind('.');
  return dot == std::string::npos ? "" : LowerAscii(name.substr(dot + 1));
}

const char* saveOptions(const std::string& ext) {
  if (ext == ".jpg") return "[Q=82,strip,optimize_coding]";
  if (ext == ".webp") return "[Q=80,strip]";
  return "[strip]";
}

}  // namespace

std::string ReducedExtension(const std::string& path) {
  const std::string ext = lowerExtension(path);
  if (ext == "jpg" || ext == "jpeg" || ext == "jpe" || ext == "tif" || ext == "tiff") return ".jpg";
  if (ext == "png" || ext == "gif") return ".png";
  if (ext == "webp") return ".webp";
  return "";
}

PictureSize PictureSizeOf(const std::string& path) {
  if (!vipsReady()) return {};
  Image image(vips_image_new_from_file(path.c_str(), "access", VIPS_ACCESS_SEQUENTIAL, nullptr));
  if (!image) {
    vips_error_clear();
    return {};
  }
  PictureSize size{vips_image_get_width(image.get()), vips_image_get_height(image.get())};
  if (vips_image_get_orientation_swap(image.get())) std::swap(size.width, size.height);
  return size;
}

Reduction ReducePicture(const std::string& source, const std::string& dest, int side,
                        const BeforeRename& beforeRename) {
  Reduction r;
  struct stat from {};
  if (::stat(source.c_str(), &from) != 0) {
    r.failure = "Photo illisible : " + SystemReason(errno);
    return r;
  }
  struct stat to {};
  if (::stat(dest.c_str(), &to) == 0 && to.st_mtim.tv_sec == from.st_mtim.tv_sec &&
      to.st_mtim.tv_nsec == from.st_mtim.tv_nsec) {
    r.size = PictureSizeOf(dest);
    if (r.size.width > 0) {
      r.ok = r.reused = true;
      return r;
    }
  }
  if (!vipsReady()) {
    r.failure = "Les vignettes ne peuvent pas \xEAtre faites (biblioth\xE8que d'images absente)";
    return r;
  }
  const PictureSize whole = PictureSizeOf(source);
  if (whole.width <= 0 || whole.height <= 0) {
    r.failure = "Photo illisible : ce n'est pas une image connue";
    return r;
  }
  if (static_cast<double>(whole.width) * whole.height > kMaxPixels) {
    r.failure = "Photo trop grande pour une vignette (" + std::to_string(whole.width) + " x " +
                std::to_string(whole.height) + " points)";
    return r;
  }
  VipsImage* made = nullptr;
  if (vips_thumbnail(source.c_str(), &made, side, "height", side, "size", VIPS_SIZE_DOWN,
                     nullptr) != 0) {
    r.failure = "Photo illisible : " + vipsFailure();
    return r;
  }
  Image out(made);
  const std::string ext = fs::path(dest).extension().string();
  if (ext == ".jpg" && vips_image_hasalpha(out.get())) {
    // JPEG has no transparency: what was transparent becomes white.
    VipsImage* flat = nullptr;
    VipsArrayDouble* white = vips_array_double_newv(1, 255.0);
    const int failed = vips_flatten(out.get(), &flat, "background", white, nullptr);
    vips_area_unref(VIPS_AREA(white));
    if (failed != 0) {
      r.failure = "Photo illisible : " + vipsFailure();
      return r;
    }
    out.reset(flat);
  }
  const fs::path final(dest);
  const fs::path part =
      final.parent_path() / (std::string(kTempPrefix) + final.filename().string());
  if (vips_image_write_to_file(out.get(), (part.string() + saveOptions(ext)).c_str(), nullptr) !=
      0) {
    r.failure =
        "Vignette non \xE9"
        "crite : " +
        vipsFailure();
    std::remove(part.c_str());
    return r;
  }
  const struct timespec times[2] = {from.st_mtim, from.st_mtim};
  int error = ::utimensat(AT_FDCWD, part.c_str(), times, 0) != 0 ? errno : 0;
  struct stat written {};
  if (!error && beforeRename) {
    error = ::stat(part.c_str(), &written) != 0 ? errno : 0;
    if (!error)
      error = beforeRename(written.st_size, static_cast<int64_t>(from.st_mtim.tv_sec) * 1000000000 +
                                                from.st_mtim.tv_nsec);
  }
  if (!error && ::rename(part.c_str(), dest.c_str()) != 0) error = errno;
  if (error) {
    r.failure =
        "Vignette non \xE9"
        "crite : " +
        SystemReason(error);
    std::remove(part.c_str());
    return r;
  }
  r.ok = true;
  r.size = {vips_image_get_width(out.get()), vips_image_get_height(out.get())};
  return r;
}

}  // namespace lignado
