// A site generated with the shipped template and an address: its sitemap, robots.txt, canonical
// links, descriptions and statistics, and what they say of persons the living rule hides.

#include <gtest/gtest.h>

#include <filesystem>
#include <regex>
#include <set>
#include <string>

#include "TestSupport.h"
#include "workflow/Publication.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::readFile;

// Luc (born 1990 in Lorient) and Zo\xE9 (1995, Vannes; married to Luc in 2015 in Vannes) are
// living: their pages are not to be indexed and their facts are in no description or figure.
const char kFamily[] =
    "0 HEAD\r\n1 CHAR UTF-8\r\n"
    "0 @I1@ INDI\r\n1 NAME Jean /Dupont/\r\n1 SEX M\r\n1 BIRT\r\n2 DATE 1850\r\n2 PLAC Brest\r\n"
    "1 DEAT\r\n2 DATE 1920\r\n2 PLAC Quimper\r\n1 FAMS @F1@\r\n"
    "0 @I2@ INDI\r\n1 NAME Marie /Martin/\r\n1 SEX F\r\n1 BIRT\r\n2 DATE 1855\r\n2 PLAC Brest\r\n"
    "1 FAMS @F1@\r\n"
    "0 @I3@ INDI\r\n1 NAME Luc /Dupont/\r\n1 SEX M\r\n1 BIRT\r\n2 DATE 12 MAR 1990\r\n"
    "2 PLAC Lorient\r\n1 FAMS @F2@\r\n"
    "0 @I4@ INDI\r\n1 NAME Zo\xC3\xA9 /Secret/\r\n1 SEX F\r\n1 BIRT\r\n2 DATE 1995\r\n"
    "2 PLAC Vannes\r\n1 FAMS @F2@\r\n"
    "0 @F1@ FAM\r\n1 HUSB @I1@\r\n1 WIFE @I2@\r\n1 MARR\r\n2 DATE 1875\r\n2 PLAC Brest\r\n"
    "0 @F2@ FAM\r\n1 HUSB @I3@\r\n1 WIFE @I4@\r\n1 MARR\r\n2 DATE 2015\r\n2 PLAC Vannes\r\n"
    "0 TRLR\r\n";

const std::string kUrl = "https://h.invalid/arbre/";

std::string metaDescription(const std::string& page) {
  std::smatch m;
  return std::regex_search(page, m, std::regex("<meta name=\"description\" content=\"([^\"]*)\">"))
             ? m[1].str()
             : "(none)";
}

TEST(SiteReferencing, SitemapRobotsDescriptionsAndStatistics) {
  test::TempDir dir;
  test::writeFile(dir.path() / "f.ged", kFamily);
  ImportOutcome w = ImportForPublication((dir.path() / "f.ged").string(), {}, nullptr);
  ASSERT_TRUE(w.db);
  const fs::path tpl = fs::path(LIGNADO_SOURCE_DIR) / "modele" / "classique";
  const fs::path site = dir.path() / "site";
  fs::create_directories(site);
  GenerateOutcome g = GeneratePublication(*w.db, tpl, site, nullptr, LivingMode::Hide, 1, {}, {},
                                          kLivingYears, {kUrl, RobotsMode::Search});
  ASSERT_TRUE(g.done) << g.failure;

  // Every page written is in the sitemap but the living persons' two.
  std::set<std::string> pages, listed;
  for (const auto& f : fs::directory_iterator(site))
    if (f.path().extension() == ".html") pages.insert(kUrl + f.path().filename().string());
  const std::string sitemap = readFile(site / "sitemap.xml");
  const std::regex loc("<loc>([^<]*)</loc>");
  for (std::sregex_iterator it(sitemap.begin(), sitemap.end(), loc), end; it != end; ++it)
    listed.insert((*it)[1]);
  pages.erase(kUrl + "personne_n_3.html");
  pages.erase(kUrl + "personne_n_4.html");
  EXPECT_EQ(listed, pages);
  EXPECT_EQ(g.sitemapPages, static_cast<int>(pages.size()));
  EXPECT_GT(pages.size(), 10u);
  EXPECT_EQ(readFile(site / "robots.txt"), RobotsText(RobotsMode::Search, kUrl));

  const std::string jean = readFile(site / "personne_n_1.html");
  const std::string luc = readFile(site / "personne_n_3.html");
  EXPECT_NE(jean.find("<link rel=\"canonical\" href=\"" + kUrl + "personne_n_1.html\">"),
            std::string::npos);
  EXPECT_EQ(jean.find("noindex"), std::string::npos);
  EXPECT_EQ(metaDescription(jean),
            "Fiche g\xC3\xA9n\xC3\xA9"
            "alogique de Jean DUPONT : n\xC3\xA9 en 1850 \xC3\xA0 Brest ; d\xC3\xA9"
            "c\xC3\xA9"
            "d\xC3\xA9 en 1920 \xC3\xA0 Quimper.");
  EXPECT_NE(luc.find("<meta name=\"robots\" content=\"noindex\">"), std::string::npos);
  EXPECT_EQ(metaDescription(luc),
            "Fiche g\xC3\xA9n\xC3\xA9"
            "alogique de Luc DUPONT.");
  EXPECT_EQ(metaDescription(readFile(site / "personne_n_4.html")),
            "Fiche g\xC3\xA9n\xC3\xA9"
            "alogique de Zo\xC3\xA9 SECRET.");

  // The figures: the living persons' names count, their births, places and marriage do not.
  const std::string stats = readFile(site / "statistiques.html");
  for (const char* hidden : {"Lorient", "Vannes", "1990", "1995", "2010", "2015"})
    EXPECT_EQ(stats.find(hidden), std::string::npos) << hidden;
  for (const char* shown : {"<title>Brest&nbsp;: 3</title>", "<title>SECRET&nbsp;: 1</title>",
                            "<title>DUPONT&nbsp;: 2</title>",
                            "<title>1850-1859&nbsp;: 2 naissances</title>", "<td>4</td>"})
    EXPECT_NE(stats.find(shown), std::string::npos) << shown;

  // Without an address: no sitemap (the earlier one goes) and no canonical link.
  g = GeneratePublication(*w.db, tpl, site, nullptr, LivingMode::Hide, 1, {}, {}, kLivingYears,
                          {"", RobotsMode::None});
  ASSERT_TRUE(g.done) << g.failure;
  EXPECT_FALSE(fs::exists(site / "sitemap.xml"));
  EXPECT_EQ(readFile(site / "personne_n_1.html").find("canonical"), std::string::npos);
  EXPECT_EQ(readFile(site / "robots.txt"), RobotsText(RobotsMode::None, ""));
}

}  // namespace
}  // namespace lignado
