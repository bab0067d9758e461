#pragma once

// Pictures for the tests, made by the library that reduces them (link PkgConfig::VIPS).

#include <gtest/gtest.h>
#include <vips/vips.h>

#include <filesystem>

#include "pages/Vignettes.h"

namespace lignado::test {

// A black picture of w x h saved at path (the format by its extension), with an EXIF
// orientation when one is given.
inline void writePicture(const std::filesystem::path& path, int w, int h, int orientation = 0) {
  ASSERT_GE(PictureSizeOf("/nonexistent").width, 0);  // starts the library
  VipsImage* image = nullptr;
  ASSERT_EQ(vips_black(&image, w, h, "bands", 3, nullptr), 0);
  if (orientation) vips_image_set_int(image, "orientation", orientation);
  ASSERT_EQ(vips_image_write_to_file(image, path.c_str(), nullptr), 0) << vips_error_buffer();
  g_object_unref(image);
}

}  // namespace lignado::test
