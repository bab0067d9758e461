// The sites as a real browser reads them: accented names and the en dash must come out as
// the right characters, from a folder and from a server that says UTF-8, every link the
// browser sees must name a page that was written, and no value of the file runs a script.
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
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

// A small site of the file text (UTF-8) with the template, in dir/site.
bool buildSite(const TempDir& dir, const std::string& ged, const char* tmpl) {
  lignado::test::writeFile(dir.path() / "arbre.ged", ged);
  fs::remove_all(dir.path() / "site");
  return run(std::string("'") + LIGNADO_CLI + "' build '" + (dir.path() / "arbre.ged").string() +
             "' --template " + tmpl + " --out '" + (dir.path() / "site").string() +
             "' >/dev/null 2>&1 </dev/null") == 0;
}

// A web server on 127.0.0.1 for a folder that sends every text file with
// "Content-Type: ...; charset=utf-8", as many hosts do; stopped when it goes.
class Utf8Server {
 public:
  Utf8Server(const TempDir& dir, const fs::path& root) {
    const fs::path script = dir.path() / "serveur.py", portFile = dir.path() / "port";
    const fs::path pidFile = dir.path() / "pid";
    fs::remove(portFile);  // a server before this one left its own
    lignado::test::writeFile(
        script,
        "import functools, http.server, os, sys\n"
        "class H(http.server.SimpleHTTPRequestHandler):\n"
        "    def guess_type(self, path):\n"
        "        t = super().guess_type(path).split(';')[0]\n"
        "        return t + '; charset=utf-8' if t.startswith('text/') or 'script' in t else t\n"
        "    def log_message(self, *args):\n"
        "        pass\n"
        "s = http.server.ThreadingHTTPServer(('127.0.0.1', 0),\n"
        "    functools.partial(H, directory=sys.argv[1]))\n"
        "open(sys.argv[2] + '.tmp', 'w').write(str(s.server_address[1]))\n"
        "os.rename(sys.argv[2] + '.tmp', sys.argv[2])\n"
        "s.serve_forever()\n");
    run("/usr/bin/python3 '" + script.string() + "' '" + root.string() + "' '" + portFile.string() +
        "' >/dev/null 2>&1 </dev/null & echo $! >'" + pidFile.string() + "'");
    pid_ = std::atoi(readFile(pidFile).c_str());
    // The server writes its port once it listens.
    for (int tries = 0; tries < 400 && !fs::exists(portFile); ++tries) usleep(50 * 1000);
    if (fs::exists(portFile)) port_ = readFile(portFile);
  }
  ~Utf8Server() {
    if (pid_ > 0) kill(pid_, SIGTERM);
  }
  Utf8Server(const Utf8Server&) = delete;
  Utf8Server& operator=(const Utf8Server&) = delete;
  std::string Url(const std::string& page) const {
    return "http://127.0.0.1:" + port_ + "/" + page;
  }
  bool Ready() const { return !port_.empty(); }

 private:
  int pid_ = 0;
  std::string port_;
};

std::string dumpUrl(const TempDir& dir, const std::string& url) {
  fs::path out = dir.path() / "dom.html";
  std::string cmd = std::string("timeout 120 ") + chromium() +
                    " --headless --no-sandbox --disable-gpu --disable-quic --no-first-run"
                    " --disable-background-networking --disable-component-update --disable-sync"
                    " --user-data-dir='" +
                    (dir.path() / "profil").string() + "' --dump-dom '" + url + "' >'" +
                    out.string() + "' 2>/dev/null";
  return run(cmd) == 0 ? readFile(out) : std::string();
}

// Markup and script in every kind of value: a name, a note, a photo title; a character beyond
// Windows-1252; accents and a percent sign for the search.
const char kInjected[] =
    "0 HEAD\n1 CHAR UTF-8\n"
    "0 @I1@ INDI\n1 NAME Jean<img src=x onerror=document.body.setAttribute('data-pirate','nom')>"
    " /\xC5\x81ukasiewicz/\n1 SEX M\n1 BIRT\n2 DATE 1850\n1 DEAT\n2 DATE 1920\n"
    "1 NOTE 5 < 6 > 4 <script>document.body.setAttribute('data-pirate','note')</script>\n"
    "1 OBJE\n2 FILE photos/la.png\n"
    "2 TITL Portrait x\" onload=\"document.body.setAttribute('data-pirate','photo')\n"
    "0 @I2@ INDI\n1 NAME Th\xC3\xA9r\xC3\xA8se /Martin/\n1 SEX F\n1 BIRT\n2 DATE 1852\n"
    "1 DEAT\n2 DATE 1930\n"
    "0 @I3@ INDI\n1 NAME Jeanne /100%/\n1 SEX F\n1 BIRT\n2 DATE 1800\n1 DEAT\n2 DATE 1870\n"
    "0 TRLR\n";

const std::string kPixel(
    "\x89PNG\r\n\x1A\n\0\0\0\x0DIHDR\0\0\0\x01\0\0\0\x01\x08\x02\0\0\0\x90wS\xDE\0\0\0\x0CIDAT"
    "x\x9C\x63\xF8\xCF\xC0\0\0\x03\x01\x01\0\xC9\xFE\x92\xEF\0\0\0\0IEND\xAE\x42\x60\x82",
    69);

}  // namespace

// Every value shows as written and none runs, with both templates, from a server whose
// header says UTF-8; the import's "&#321;" shows as the letter.
TEST(BrowserSite, NoValueOfTheFileInjectsMarkupOrScript) {
  if (!chromium()) GTEST_SKIP() << "chromium absent";
  TempDir dir;
  fs::create_directories(dir.path() / "photos");
  lignado::test::writeFile(dir.path() / "photos/la.png", kPixel);
  for (const char* tmpl : {"classique", "parchemin"}) {
    SCOPED_TRACE(tmpl);
    ASSERT_TRUE(buildSite(dir, kInjected, tmpl));
    Utf8Server server(dir, dir.path() / "site");
    ASSERT_TRUE(server.Ready());
    for (const char* page : {"personne_n_1.html", "personnes.html", "index.html"}) {
      std::string dom = dumpUrl(dir, server.Url(page));
      ASSERT_FALSE(dom.empty()) << page;
      // The values quote the attribute's name; a script that ran would have set it.
      EXPECT_EQ(dom.find("data-pirate=\""), std::string::npos) << page << ": a script ran";
      EXPECT_EQ(dom.find("<script>document"), std::string::npos) << page;
      EXPECT_NE(dom.find("\xC5\x81UKASIEWICZ"), std::string::npos) << page;
      EXPECT_EQ(dom.find("&#321;"), std::string::npos) << page;
      EXPECT_EQ(dom.find("\xEF\xBF\xBD"), std::string::npos) << page << ": replacement character";
    }
    std::string person = dumpUrl(dir, server.Url("personne_n_1.html"));
    // The serialiser writes a text's "<" as "&lt;" and an attribute's quote as "&quot;".
    EXPECT_NE(person.find("5 &lt; 6 &gt; 4 &lt;script&gt;document.body.setAttribute("
                          "'data-pirate','note')&lt;/script&gt;"),
              std::string::npos);
    EXPECT_NE(person.find("alt=\"Portrait x&quot; onload=&quot;document.body"), std::string::npos);
    EXPECT_NE(person.find("Jean&lt;img Src=x Onerror="), std::string::npos);
  }
}

// The search page reads its "?q=" whatever the escapes: UTF-8, Windows-1252, a lone "%".
TEST(BrowserSite, SearchReadsAnyQuery) {
  if (!chromium()) GTEST_SKIP() << "chromium absent";
  TempDir dir;
  const std::pair<const char*, const char*> cases[] = {
      {"th%E9r%E8se", "Th\xC3\xA9r\xC3\xA8se <span class=\"nom\">MARTIN</span>"},
      {"th%C3%A9r%C3%A8se", "Th\xC3\xA9r\xC3\xA8se <span class=\"nom\">MARTIN</span>"},
      {"100%", "Jeanne <span class=\"nom\">100%</span>"},
      {"100%25", "Jeanne <span class=\"nom\">100%</span>"},
  };
  for (const char* tmpl : {"classique", "parchemin"}) {
    SCOPED_TRACE(tmpl);
    ASSERT_TRUE(buildSite(dir, kInjected, tmpl));
    Utf8Server server(dir, dir.path() / "site");
    ASSERT_TRUE(server.Ready());
    for (const auto& [query, found] : cases) {
      std::string dom = dumpUrl(dir, server.Url(std::string("recherche.html?q=") + query));
      EXPECT_NE(dom.find("1 personne trouv\xC3\xA9"
                         "e."),
                std::string::npos)
          << query;
      EXPECT_NE(dom.find(found), std::string::npos) << query;
    }
  }
}

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
  // The same page from a server whose header says UTF-8.
  Utf8Server server(dir, site);
  ASSERT_TRUE(server.Ready());
  std::string served = dumpUrl(dir, server.Url("personne_n_1.html"));
  EXPECT_NE(served.find("Qu\xC3\xA9r\xC3\xA9"), std::string::npos);
  EXPECT_NE(served.find("Bapt\xC3\xAAme"), std::string::npos);
  EXPECT_EQ(served.find("\xEF\xBF\xBD"), std::string::npos) << "replacement character";

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
