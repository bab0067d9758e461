#include "pages/Medias.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <set>
#include <string>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/Vivants.h"

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

TEST(CopyMedia, RelativeAbsoluteWindowsAndMissingFiles) {
  test::TempDir ged, site, elsewhere;
  for (const char* d : {"photos", "autre", "scans/1900"})
    std::filesystem::create_directories(ged.str() + d);
  test::writeFile(ged.str() + "photos/a.jpg", "A");
  test::writeFile(ged.str() + "autre/a.jpg", "A2");
  test::writeFile(ged.str() + "scans/1900/Acte \xC3\xA9t\xC3\xA9.PNG", "W");  // UTF-8 on disk
  test::writeFile(elsewhere.str() + "abs.gif", "G");
  TBD db;
  int32_t dead = db.NewPerson(), living = db.NewPerson(), other = db.NewPerson();
  db.SetPersonEvent(dead, kDeces, "1900", 2);
  db.SetPersonEvent(living, kNaissance, "2000", 2);
  struct Case {
    int32_t person;
    std::string written, content;  // content empty: not copied
  } cases[] = {
      {dead, "photos/a.jpg", "A"},
      {dead, "autre/a.jpg", "A2"},  // same name, another file
      {dead, "C:\\Mes photos\\Acte \xE9t\xE9.png", "W"},
      {dead, elsewhere.str() + "abs.gif", "G"},
      {dead, "photos/absente.jpg", ""},
      {dead, "D:\\absente.jpg", ""},
      {other, "photos/a.jpg", "A"},   // twice: one copy
      {living, "autre/a.jpg", "A2"},  // hidden, but another person shows the file
      {living, "../secret.jpg", ""},  // hidden only: not looked for
  };
  for (const Case& c : cases) db.AddPersonMedia(c.person, {c.written, ""});
  const TVivants hide(db, LivingMode::Hide, FixedClock({2024, 1, 1}));
  MediaCopy got = CopyMedia(db, ged.str(), site.str(), &hide);
  for (const Case& c : cases) {
    const std::string copy = site.str() + MediaSitePath(c.written);
    if (c.content.empty())
      EXPECT_FALSE(std::filesystem::exists(copy)) << c.written;
    else
      EXPECT_EQ(test::readFile(copy), c.content) << c.written;
  }
  EXPECT_EQ(got.written.size(), 4u);
  EXPECT_EQ(got.missing, (std::vector<std::string>{"Photo introuvable : photos/absente.jpg",
                                                   "Photo introuvable : D:\\absente.jpg"}));
}

}  // namespace
}  // namespace lignado
