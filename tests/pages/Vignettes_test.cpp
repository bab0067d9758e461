#include "pages/Vignettes.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <string>

#include "TestPictures.h"
#include "TestSupport.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;

TEST(Vignettes, SizesOrientationFormatsAndRefusals) {
  ASSERT_GT(PictureSizeOf("/nonexistent").width, -1);  // starts the library
  test::TempDir dir;
  const struct {
    const char* name;
    int w, h, orientation, side;
    bool ok;
    int outW, outH;
  } cases[] = {
      {"photo.jpg", 2000, 1000, 0, kThumbnailSide, true, 320, 160},
      {"photo.jpeg", 2000, 1000, 0, kPageSide, true, 1280, 640},
      {"petit.png", 200, 100, 0, kThumbnailSide, true, 200, 100},  // never enlarged
      {"debout.jpg", 400, 200, 6, kThumbnailSide, true, 160, 320},
      {"scan.tif", 300, 600, 0, kThumbnailSide, true, 160, 320},
      {"anime.gif", 640, 640, 0, kThumbnailSide, true, 320, 320},
      {"faux.jpg", 0, 0, 0, kThumbnailSide, false, 0, 0},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path source = dir.path() / c.name;
    if (c.w)
      test::writePicture(source, c.w, c.h, c.orientation);
    else
      test::writeFile(source, "pas une image");
    const std::string ext = ReducedExtension(c.name);
    ASSERT_FALSE(ext.empty());
    const fs::path dest = dir.path() / ("reduit" + ext);
    fs::remove(dest);
    const Reduction r = ReducePicture(source.string(), dest.string(), c.side);
    EXPECT_EQ(r.ok, c.ok) << r.failure;
    EXPECT_FALSE(r.reused);
    EXPECT_EQ(r.size.width, c.outW);
    EXPECT_EQ(r.size.height, c.outH);
    EXPECT_EQ(fs::exists(dest), c.ok);
    if (c.ok) {
      // What a browser will show: upright, the size the page is told.
      const PictureSize shown = PictureSizeOf(dest.string());
      EXPECT_EQ(shown.width, c.outW);
      EXPECT_EQ(shown.height, c.outH);
    } else {
      EXPECT_EQ(r.failure.rfind("Photo illisible", 0), 0u) << r.failure;
    }
  }
  for (const auto& e : fs::directory_iterator(dir.path()))
    EXPECT_EQ(e.path().filename().string().rfind(".lignado-tmp-", 0), std::string::npos);
  EXPECT_EQ(ReducedExtension("acte.PDF"), "");
}

TEST(Vignettes, MadeOnceWhileTheSourceIsUnchanged) {
  test::TempDir dir;
  const fs::path source = dir.path() / "photo.jpg", dest = dir.path() / "v.jpg";
  test::writePicture(source, 900, 600);
  ASSERT_TRUE(ReducePicture(source.string(), dest.string(), kThumbnailSide).ok);
  const Reduction again = ReducePicture(source.string(), dest.string(), kThumbnailSide);
  EXPECT_TRUE(again.ok && again.reused);
  EXPECT_EQ(again.size.width, 320);
  // A new picture under the same name is reduced again.
  test::writePicture(source, 600, 900);
  struct timespec later[2] = {{1700000000, 0}, {1700000000, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, source.c_str(), later, 0), 0);
  const Reduction changed = ReducePicture(source.string(), dest.string(), kThumbnailSide);
  EXPECT_TRUE(changed.ok);
  EXPECT_FALSE(changed.reused);
  EXPECT_EQ(changed.size.width, 213);
}

}  // namespace
}  // namespace lignado
