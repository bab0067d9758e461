#include "pages/Medias.h"

#include <gtest/gtest.h>

#include <set>
#include <string>

namespace lignado {
namespace {

bool safeName(const std::string& path) {
  if (path.rfind(kMediaFolder, 0) != 0) return false;
  for (char c : path.substr(kMediaFolder.size()))
    if (!((c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' || c == '_' || c == '.'))
      return false;
  return true;
}

TEST(MediaSitePath, SafeNamesKeepTheFileNameAndExtension) {
  struct Case {
    std::string written, start, end;
  } cases[] = {
      {"photos/Pierre.jpg", "medias/pierre_", ".jpg"},
      {"C:\\Photos\\Mariage 1874.JPG", "medias/mariage_1874_", ".jpg"},
      {"/home/a/\xC9glise  de Brest (2).jpeg", "medias/eglise_de_brest_2_", ".jpeg"},
      {"Stra\xDF"
       "e \xC6\xD8\xFF.png",
       "medias/strasse_aoy_", ".png"},
      {"sans-extension", "medias/sans-extension_", ""},
      {".cache", "medias/cache_", ""},
      {"dossier/", "medias/media_", ""},
      {"a.b/c.\xE9x/", "medias/media_", ""},
      {"x.t\xE9<>f", "medias/x_", ".te_f"},
  };
  for (const Case& c : cases) {
    const std::string got = MediaSitePath(c.written);
    EXPECT_TRUE(got.starts_with(c.start)) << c.written << " -> " << got;
    EXPECT_TRUE(got.ends_with(c.end)) << c.written << " -> " << got;
    EXPECT_EQ(got.size(), c.start.size() + 8 + c.end.size()) << got;  // the mark between
    EXPECT_TRUE(safeName(got)) << got;
    EXPECT_EQ(MediaSitePath(c.written), got);  // stable
  }
}

TEST(MediaSitePath, SameFileNameElsewhereGivesAnotherName) {
  const std::string paths[] = {"a/photo.jpg",      "b/photo.jpg", "photo.jpg",
                               "C:\\x\\photo.jpg", "a/photo.JPG", "a/phot\xF4.jpg"};
  std::set<std::string> names;
  for (const std::string& p : paths) names.insert(MediaSitePath(p));
  EXPECT_EQ(names.size(), std::size(paths));
}

}  // namespace
}  // namespace lignado
