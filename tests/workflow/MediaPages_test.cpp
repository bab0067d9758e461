// The files of persons, events, unions and sources through a whole publication with the shipped
// templates: pictures shown by their thumbnails, documents as links, a missing file reported.

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "TestPictures.h"
#include "TestSupport.h"
#include "pages/Medias.h"
#include "pages/Vignettes.h"
#include "workflow/Publication.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;

// GEDCOM 5.5 inline files, 5.5.1 FILE with FORM below, a GEDCOM 7 media record, files below
// events, a family and a source, a file that is missing and one of a living person.
const char kFamily[] =
    "0 HEAD\n1 GEDC\n2 VERS 5.5.1\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME Jean /Dupont/\n1 SEX M\n"
    "1 OBJE\n2 FORM jpg\n2 FILE portrait.jpg\n2 TITL Portrait de Jean\n"
    "1 OBJE\n2 FILE papiers/lettre.pdf\n3 FORM pdf\n2 TITL Lettre\n"
    "1 BAPM\n2 DATE 1850\n2 OBJE @O1@\n"
    "1 DEAT\n2 DATE 1900\n"
    "1 BURI\n2 OBJE\n3 FILE absent.jpg\n"
    "1 SOUR @S1@\n"
    "0 @I2@ INDI\n1 NAME Marie /Martin/\n1 SEX F\n1 DEAT\n2 DATE 1920\n"
    "0 @I3@ INDI\n1 NAME Paul /Dupont/\n1 BIRT\n2 DATE 2000\n2 OBJE\n3 FILE vivante.jpg\n"
    "0 @F1@ FAM\n1 HUSB @I1@\n1 WIFE @I2@\n1 CHIL @I3@\n1 MARR\n2 OBJE\n3 FILE noces.png\n"
    "1 OBJE\n2 FILE contrat.txt\n2 TITL Contrat\n"
    "0 @O1@ OBJE\n1 FILE actes/bapteme.pdf\n2 FORM application/pdf\n2 TITL Acte de bapt\xC3\xAAme\n"
    "0 @S1@ SOUR\n1 TITL Registres\n1 OBJE\n2 FILE registre.txt\n"
    "0 TRLR\n";

TEST(MediaPages, PicturesAsThumbnailsDocumentsAsLinksAFileMissing) {
  test::TempDir dir;
  const fs::path ged = dir.path() / "famille.ged";
  test::writeFile(ged, kFamily);
  fs::create_directories(dir.path() / "papiers");
  fs::create_directories(dir.path() / "actes");
  test::writePicture(dir.path() / "portrait.jpg", 2000, 1500,
                     6);  // taken upright: shown 1500 x 2000
  test::writePicture(dir.path() / "noces.png", 640, 480, 0);
  test::writePicture(dir.path() / "vivante.jpg", 100, 100, 0);
  test::writeFile(dir.path() / "papiers/lettre.pdf", "%PDF-1.4 " + std::string(3000, 'x'));
  test::writeFile(dir.path() / "actes/bapteme.pdf", "%PDF-1.4 acte");
  test::writeFile(dir.path() / "contrat.txt", "Par-devant notaire.\n");
  test::writeFile(dir.path() / "registre.txt", "Registre.\n");
  ImportOutcome in = ImportForPublication(ged.string(), {}, nullptr);
  ASSERT_TRUE(in.failure.empty()) << in.failure;

  const std::string portrait = MediaSitePath("portrait.jpg"), noces = MediaSitePath("noces.png");
  for (const char* tmpl : {"classique", "parchemin"}) {
    SCOPED_TRACE(tmpl);
    const fs::path site = dir.path() / (std::string("site-") + tmpl);
    fs::create_directories(site);
    const GenerateOutcome out =
        GeneratePublication(*in.db, fs::path(LIGNADO_SOURCE_DIR) / "modele" / tmpl, site, nullptr,
                            LivingMode::Hide, 1, dir.path());
    ASSERT_TRUE(out.done) << out.failure;
    EXPECT_EQ(out.mediaMissing, std::vector<std::string>{"Photo introuvable : absent.jpg"});
    // Six files; the living person's is not copied.
    EXPECT_EQ(out.mediaCopied, 6);
    EXPECT_FALSE(fs::exists(site / MediaSitePath("vivante.jpg")));
    for (const char* copy : {"actes/bapteme.pdf", "registre.txt"})
      EXPECT_TRUE(fs::exists(site / MediaSitePath(copy))) << copy;

    const std::string jean = test::readFile(site / "personne_n_1.html");
    const struct {
      std::string text;
      bool present;
    } shown[] = {
        // The first picture, upright, with its size, leading to its page-size copy.
        {"<a href=\"" + PageSizePath(portrait) + "\"><img src=\"" + ThumbnailPath(portrait) +
             "\" width=\"240\" height=\"320\" loading=\"lazy\" alt=\"Portrait de Jean\"></a>",
         true},
        // The PDF as a link with its title, kind and size, never as a picture.
        {"<a href=\"" + MediaSitePath("papiers/lettre.pdf") + "\">Lettre (PDF, 3 Ko)</a>", true},
        {"<img src=\"" + MediaSitePath("papiers/lettre.pdf"), false},
        // The union's files beside it.
        {"<img src=\"" + ThumbnailPath(noces) + "\" width=\"320\" height=\"240\" loading=\"lazy\"",
         true},
        {">Contrat (texte, 20 octets)</a>", true},
        // The baptism's record beside the baptism.
        {"<a class=\"document\" href=\"" + MediaSitePath("actes/bapteme.pdf") +
             "\">Acte de bapt\xC3\xAAme (PDF, 13 octets)</a>",
         true},
        {"onerror=", false},
    };
    for (const auto& s : shown)
      EXPECT_EQ(jean.find(s.text) != std::string::npos, s.present) << s.text;
  }
}

}  // namespace
}  // namespace lignado
