// The example family's site as a real browser reads it: the page declares windows-1252, so
// accented names and the en dash must come out as the right characters, and every link the
// browser sees must name a page that was written.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <regex>
#include <string>

#include "TestSupport.h"

using lignado::test::readFile;
using lignado::test::TempDir;
namespace fs = std::filesystem;

namespace {

const char* chromium() {
  for (const char* p : {"/usr/bin/chromium", "/usr/bin/chromium-browser"})
    if (access(p, X_OK) == 0) return p;
  return nullptr;
}

int run(const std::string& cmd) {
  int status = std::system(cmd.c_str());
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// The DOM after parsing, serialised by the browser as UTF-8.
std::string dumpDom(const TempDir& dir, const fs::path& page) {
  fs::path out = dir.path() / "dom.html";
  std::string cmd = std::string("timeout 120 ") + chromium() +
                    " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                    " --disable-background-networking --disable-component-update --disable-sync"
                    " --user-data-dir='" +
                    (dir.path() / "profil").string() + "' --dump-dom 'file://" + page.string() +
                    "' >'" + out.string() + "' 2>/dev/null";
  return run(cmd) == 0 ? readFile(out) : std::string();
}

}  // namespace

TEST(BrowserSite, ExampleFamilyReadsRightInChromium) {
  if (!chromium()) GTEST_SKIP() << "chromium absent";
  TempDir dir;
  fs::path site = dir.path() / "site";
  std::string ged = std::string(LIGNADO_SOURCE_DIR) + "/examples/famille-exemple.ged";
  ASSERT_EQ(run(std::string("'") + LIGNADO_CLI + "' build '" + ged + "' --out '" + site.string() +
                "' >/dev/null 2>&1 </dev/null"),
            0);

  std::string person = dumpDom(dir, site / "personne_n_1.html");
  ASSERT_FALSE(person.empty());
  EXPECT_NE(person.find("<title>Yves LE GALL \xE2\x80\x93 G\xC3\xA9n\xC3\xA9"
                        "alogie</title>"),
            std::string::npos);
  EXPECT_NE(person.find("Bapt\xC3\xAAme"), std::string::npos);
  EXPECT_NE(person.find("Qu\xC3\xA9r\xC3\xA9"), std::string::npos);
  EXPECT_EQ(person.find("\xEF\xBF\xBD"), std::string::npos) << "replacement character";

  for (const char* page : {"index.html", "personne_n_1.html"}) {
    std::string dom = dumpDom(dir, site / page);
    ASSERT_FALSE(dom.empty()) << page;
    std::regex href("href=\"([^\"#]+)\"");
    int links = 0;
    for (auto it = std::sregex_iterator(dom.begin(), dom.end(), href); it != std::sregex_iterator();
         ++it, ++links) {
      std::string target = (*it)[1];
      if (target.rfind("http", 0) == 0 || target.rfind("mailto:", 0) == 0) continue;
      // The DOM serialiser writes "&" in attributes as "&amp;".
      for (size_t p; (p = target.find("&amp;")) != std::string::npos;) target.replace(p, 5, "&");
      EXPECT_TRUE(fs::exists(site / target)) << page << " links to " << target;
    }
    EXPECT_GT(links, 3) << page;
  }
}

// The search page works from the folder, with no server: a name typed without its accents
// and in capitals finds the person; a living person's years stay hidden.
TEST(BrowserSite, SearchFindsAPersonWithoutAccents) {
  if (!chromium()) GTEST_SKIP() << "chromium absent";
  TempDir dir;
  fs::path site = dir.path() / "site";
  std::string ged = std::string(LIGNADO_SOURCE_DIR) + "/examples/famille-exemple.ged";
  for (const char* tmpl : {"classique", "parchemin"}) {
    SCOPED_TRACE(tmpl);
    ASSERT_EQ(run(std::string("'") + LIGNADO_CLI + "' build '" + ged + "' --template " + tmpl +
                  " --out '" + site.string() + "' >/dev/null 2>&1 </dev/null"),
              0);
    std::string dom = dumpDom(dir, fs::path(site.string() + "/recherche.html?q=HELENE"));
    ASSERT_FALSE(dom.empty());
    EXPECT_NE(dom.find("2 personnes trouv\xC3\xA9"
                       "es."),
              std::string::npos);
    EXPECT_NE(dom.find("<a href=\"personne_n_7.html\">H\xC3\xA9l\xC3\xA8ne <span "
                       "class=\"nom\">DE KERANGAL</span></a>"),
              std::string::npos);
    dom = dumpDom(dir, fs::path(site.string() + "/recherche.html?q=genevieve%20font"));
    EXPECT_NE(dom.find("1 personne trouv\xC3\xA9"
                       "e."),
              std::string::npos);
    EXPECT_NE(dom.find("Genevi\xC3\xA8ve <span class=\"nom\">FONTAINE</span></a></li>"),
              std::string::npos);
    EXPECT_EQ(dom.find("1929"), std::string::npos);
  }
}

// A picture whose file was not found leaves no broken image on the person page: the main one
// (with its caption) and the others go; the one that was copied stays.
TEST(BrowserSite, MissingPicturesLeaveNoBrokenImage) {
  if (!chromium()) GTEST_SKIP() << "chromium absent";
  TempDir dir;
  const std::string pixel(
      "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xDE\0\0\0\x0CIDAT"
      "x\x9C\x63\xF8\xCF\xC0\0\0\x03\x01\x01\0\xC9\xFE\x92\xEF\0\0\0\0IEND\xAE\x42\x60\x82",
      69);
  fs::create_directories(dir.path() / "photos");
  lignado::test::writeFile(dir.path() / "photos/la.png", pixel);
  lignado::test::writeFile(
      dir.path() / "arbre.ged",
      "0 HEAD\n1 CHAR UTF-8\n0 @I1@ INDI\n1 NAME Jean /MARTIN/\n1 BIRT\n2 DATE 1850\n"
      "1 OBJE\n2 FILE photos/absente.png\n2 TITL Disparue\n"
      "1 OBJE\n2 FILE photos/la.png\n1 OBJE\n2 FILE photos/perdue.png\n0 TRLR\n");
  fs::path site = dir.path() / "site";
  for (const char* tmpl : {"classique", "parchemin"}) {
    SCOPED_TRACE(tmpl);
    ASSERT_EQ(
        run(std::string("'") + LIGNADO_CLI + "' build '" + (dir.path() / "arbre.ged").string() +
            "' --template " + tmpl + " --out '" + site.string() + "' >/dev/null 2>&1"),
        0);
    std::string dom = dumpDom(dir, site / "personne_n_1.html");
    ASSERT_FALSE(dom.empty());
    EXPECT_EQ(dom.find("Disparue"), std::string::npos);
    std::regex img("<img ");
    EXPECT_EQ(
        std::distance(std::sregex_iterator(dom.begin(), dom.end(), img), std::sregex_iterator()),
        1);
    EXPECT_NE(dom.find("<img src=\"medias/la_"), std::string::npos);
  }
}
