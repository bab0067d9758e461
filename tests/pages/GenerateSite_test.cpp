#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "pages/PageList.h"
#include "pages/SiteGeneration.h"
#include "pages/TemplateAssets.h"
#include "pages/TemplateCode.h"
#include "pages/WorkList.h"
#include "pages/uParser.h"

using namespace lignado;
using lignado::test::readFile;
using lignado::test::RecordingHost;
using lignado::test::TempDir;
using lignado::test::writeFile;
namespace fs = std::filesystem;

namespace {

using Strings = std::vector<std::string>;

Strings entries(const TWorkList& list) {
  Strings out;
  for (std::size_t i = 0; i < list.size(); ++i) out.emplace_back(list[i]);
  return out;
}

// Every regular file below dir, by relative path, with its bytes.
std::map<std::string, std::string> tree(const fs::path& dir) {
  std::map<std::string, std::string> files;
  for (const auto& e : fs::recursive_directory_iterator(dir))
    if (e.is_regular_file()) files[fs::relative(e.path(), dir).string()] = readFile(e.path());
  return files;
}

// Every site test runs its pages on one thread and on several: the files, the messages and
// the progress must be the same.
class Site : public ::testing::TestWithParam<int> {
 protected:
  void SetUp() override {
    fs::create_directory(tplDir);
    fs::create_directory(destDir);
  }
  void tpl(const std::string& name, const std::string& text) { writeFile(tplDir / name, text); }
  SiteResult generate() {
    TKSParse parser(db);
    return GenerateSite(parser, tplDir.string() + "/", destDir.string() + "/", &host, GetParam());
  }
  std::map<std::string, std::string> site() { return tree(destDir); }

  TBD db;
  RecordingHost host;
  TempDir root;
  fs::path tplDir = root.path() / "modele";
  fs::path destDir = root.path() / "site";
};

// The family of the golden sites: Jean DUPONT x Marie MARTIN, Pierre and Anne their children,
// Louis son of Pierre.
void fillFamily(TBD& db) {
  auto add = [&db](const std::string& nom, const std::string& pre, int sexe) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, nom);
    db.SetGivenNames(p, pre);
    db.SetSex(p, sexe);
    return p;
  };
  int32_t jean = add("DUPONT", "Jean", 0), marie = add("MARTIN", "Marie", 1);
  int32_t pierre = add("DUPONT", "Pierre", 0), anne = add("DUPONT", "Anne", 1);
  int32_t louis = add("DUPONT", "Louis", 0);
  for (int32_t c : {pierre, anne}) {
    db.SetFather(c, jean);
    db.SetMother(c, marie);
  }
  db.SetFather(louis, pierre);
  db.SetPersonEvent(jean, kNaissance, "12/5/1850", 2);
  db.SetPersonEvent(jean, kNaissance, "Paris", 4);
  db.SetPersonEvent(anne, kNaissance, "vers 1880", 2);
  db.SetPersonEvent(anne, kNaissance,
                    "Orl\xE9"
                    "ans",
                    4);
  int32_t u = db.NewUnion();
  db.SetHusband(u, jean);
  db.SetWife(u, marie);
}

}  // namespace

TEST(PageFileNameTest, Forms) {
  EXPECT_EQ(PageFileName("index"), "index.html");
  EXPECT_EQ(PageFileName("personne|id=12"), "personne_id_12.html");
  EXPECT_EQ(PageFileName("liste|a=1&b=2"), "liste_a_1&b_2.html");
  EXPECT_EQ(PageFileName("notes.html"), "notes.html");
  EXPECT_EQ(PageFileName("notes.HTML"), "notes.HTML.html");
  EXPECT_EQ(PageFileName("photo.jpg"), "photo.jpg.html");
  EXPECT_EQ(PageFileName("http://a.fr/?x=1|2"), "http://a.fr/?x=1|2");
  EXPECT_EQ(PageFileName("mailto:a@b.fr"), "mailto:a@b.fr");
  EXPECT_EQ(PageFileName("https://a.fr/x=1"), "https://a.fr/x_1.html");
  EXPECT_EQ(PageFileName(""), ".html");
}

TEST(WorkListTest, IgnoresCaseWhenAdding) {
  TWorkList list;
  EXPECT_FALSE(list.Add("INDEX"));
  EXPECT_TRUE(list.Add("Personne|id=1"));
  EXPECT_FALSE(list.Add("personne|ID=1"));
  EXPECT_TRUE(list.Add("\xC9t\xE9"));
  EXPECT_FALSE(list.Add("\xE9T\xC9"));
  EXPECT_EQ(entries(list), (Strings{"index", "Personne|id=1", "\xC9t\xE9"}));
  ASSERT_TRUE(list.Find("PERSONNE|Id=1"));
  EXPECT_EQ(*list.Find("PERSONNE|Id=1"), "Personne|id=1");
  EXPECT_FALSE(list.Find("personne|id=2"));

  // Thousands of entries: each one found under another spelling, none added twice, in order.
  for (int i = 0; i < 5000; ++i) EXPECT_TRUE(list.Add("p\xE9re|n=" + std::to_string(i)));
  for (int i = 0; i < 5000; ++i) {
    const std::optional<std::string_view> e = list.Find("P\xC9RE|N=" + std::to_string(i));
    ASSERT_TRUE(e) << i;
    EXPECT_EQ(*e, "p\xE9re|n=" + std::to_string(i));
    EXPECT_FALSE(list.Add("P\xC9re|n=" + std::to_string(i)));
  }
  EXPECT_EQ(list.size(), 5003u);
  EXPECT_EQ(list[2999 + 3], "p\xE9re|n=2999");
  EXPECT_FALSE(list.Find("p\xE9re|n=5000"));

  // A text longer than a block of the list, and the entries after it, stay whole.
  const std::string longRef(3 << 20, 'x');
  EXPECT_TRUE(list.Add(longRef));
  EXPECT_TRUE(list.Add("apr\xE8s"));
  EXPECT_EQ(list[5003], longRef);
  EXPECT_EQ(*list.Find("APR\xC8S"), "apr\xE8s");
  EXPECT_EQ(list[2], "\xC9t\xE9");
}

TEST(PageListTest, FinishListsEachFileOnceInNameOrder) {
  TempDir dir;
  TPageList list(dir.path());
  ASSERT_EQ(list.Open(), "");
  // Recorded out of order, one file twice (its last bytes count), one in a folder.
  for (const auto& [name, bytes] : std::vector<std::pair<std::string, std::string>>{
           {"b.html", "x"}, {"a.html", "yy"}, {"c/d.html", "q"}, {"b.html", "zzz"}}) {
    ASSERT_EQ(WriteSiteFile(dir.path(), name, bytes, &list), "");
  }
  // A file written without a record (a copied picture) is listed by size and time, in order.
  writeFile(dir.path() / "0.jpg", "jpeg");
  struct stat st {};
  ASSERT_EQ(::stat((dir.path() / "0.jpg").c_str(), &st), 0);
  const int64_t ns = int64_t{st.st_mtim.tv_sec} * 1000000000 + st.st_mtim.tv_nsec;
  EXPECT_EQ(list.Finish({"a.html", "0.jpg", "b.html", "c/d.html"}).reason, "");
  auto hashed = [](const std::string& bytes, const std::string& name) {
    char hex[17];
    std::snprintf(hex, sizeof hex, "%llx", static_cast<unsigned long long>(ContentHash64(bytes)));
    return std::to_string(bytes.size()) + " h" + hex + " " + name + "\n";
  };
  EXPECT_EQ(readFile(dir.path() / TPageList::kFileName),
            "4 " + std::to_string(ns) + " 0.jpg\n" + hashed("yy", "a.html") +
                hashed("zzz", "b.html") + hashed("q", "c/d.html"));
}

TEST(RewriteLinksTest, QueuesPageReferencesAndRenamesTheirLinks) {
  TWorkList list;
  const std::string page =
      "<a href=\"personne|id=1\">a</a>\r\n"
      "<a href=\"Personne|ID=1\">b</a><a href=\"INDEX\">c</a>\r\n"
      "<a href=\"http://ex.fr/p|x=1\">d</a><a href=\"mailto:x@y.fr\">e</a>\r\n"
      "<a href=\"notes.html\">f</a><a href=\"a=b.html\">g</a><a href=\"https://ex.fr\">h</a>\r\n"
      "<img src=\"photo.jpg\"><a href=\"img/photo.jpg\">i</a><a href=\"#haut\">j</a>\r\n"
      "<p data-ref=\"x\"> ref=";
  EXPECT_EQ(RewriteLinks(page, list),
            "<a href=\"personne_id_1.html\">a</a>\r\n"
            "<a href=\"personne_id_1.html\">b</a><a href=\"index.html\">c</a>\r\n"
            "<a href=\"http://ex.fr/p|x=1\">d</a><a href=\"mailto:x@y.fr\">e</a>\r\n"
            "<a href=\"notes.html\">f</a><a href=\"a_b.html\">g</a>"
            "<a href=\"https://ex.fr.html\">h</a>\r\n"
            "<img src=\"photo.jpg\"><a href=\"img/photo.jpg.html\">i</a>"
            "<a href=\"#haut.html\">j</a>\r\n"
            "<p data-ref=\"x.html\"> ref=");
  EXPECT_EQ(entries(list),
            (Strings{"index", "personne|id=1", "https://ex.fr", "img/photo.jpg", "#haut", "x"}));
}

TEST(RewriteLinksTest, OddlyQuotedTargets) {
  TWorkList list;
  // A single-quoted target runs to the next double quotation mark.
  EXPECT_EQ(RewriteLinks("<a href='x.html'>y</a> <a href=\"z\">", list),
            "<a href='x.html'>y</a> <a href_.html\"z\">");
  EXPECT_EQ(entries(list), (Strings{"index", "x.html'>y</a> <a href="}));
  // An unquoted target: its first character is taken as the mark.
  EXPECT_EQ(RewriteLinks("<a href=x>y</a> href=\"z", list), "<a href=x>y</a> href_.html\"z");
  // Without a further double quotation mark nothing is taken.
  EXPECT_EQ(RewriteLinks("<a href=\"z>y</a>", list), "<a href=\"z>y</a>");
  EXPECT_EQ(RewriteLinks("", list), "");
  // An empty target is a reference too.
  EXPECT_EQ(RewriteLinks("href=\"\"", list), "href=\".html\"");
  EXPECT_EQ(entries(list), (Strings{"index", "x.html'>y</a> <a href=", ">y</a> href=", ""}));
}

TEST_P(Site, FollowsLinksOnceEachAndRewritesThem) {
  tpl("index.kshtml",
      "<a href=\"page|n=1\">un</a>\n<a href=\"Page|N=1\">encore</a>\n"
      "<a href=\"page|n=2\">deux</a> <a href=\"http://ex.fr/a\">x</a>\n"
      "<img src=\"photo.jpg\"><a href=\"photo.jpg\">p</a>\n");
  tpl("Page.kshtml",
      "<p>\n#\necho $n\nif $n == 2\necho \"<a href=\"index\">retour</a>\"\nendif\n#\n</p>\n");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 3);
  EXPECT_EQ(r.failure, "");
  auto files = site();
  EXPECT_EQ(files.size(), 3u);
  EXPECT_EQ(files["index.html"],
            "<a href=\"page_n_1.html\">un</a>\r\n<a href=\"page_n_1.html\">encore</a>\r\n"
            "<a href=\"page_n_2.html\">deux</a> <a href=\"http://ex.fr/a\">x</a>\r\n"
            "<img src=\"photo.jpg\"><a href=\"photo.jpg.html\">p</a>\r\n\r\n");
  EXPECT_EQ(files["page_n_1.html"], "<p>\r\n1\r\n</p>\r\n\r\n");
  EXPECT_EQ(files["page_n_2.html"],
            "<p>\r\n2\r\n<a href=\"index.html\">retour</a>\r\n</p>\r\n\r\n");
  // Work list: index, page|n=1, page|n=2, photo.jpg.
  EXPECT_EQ(host.progressMax, (std::vector<long long>{0, 4, 4, 4, 4}));
  EXPECT_EQ(host.progressPos, (std::vector<long long>{0, 0, 1, 2, 3, 0}));
  EXPECT_TRUE(host.messages.empty());
}

// The writer marks the pages that ask not to be indexed, one bit per page written, in order;
// a script page never is one, whatever it holds.
TEST_P(Site, PagesThatAskNotToBeIndexedAreMarked) {
  tpl("index.kshtml",
      "<head></head><a href=\"p|n=1\">1</a><a href=\"p|n=2\">2</a>"
      "<script src=\"d.js\"></script>\n");
  tpl("p.kshtml",
      "<head>\n#\nif $n == 2\necho \"<meta name=\"robots\" content=\"noindex\">\"\nendif\n#\n"
      "</head>\n");
  tpl("d.js.kshtml", "// <meta name=\"robots\" content=\"noindex\">\n");
  SiteResult r = generate();
  EXPECT_EQ(r.written, (Strings{"index.html", "p_n_1.html", "p_n_2.html", "d.js"}));
  EXPECT_EQ(r.noIndex, (std::vector<bool>{false, false, true, false}));
}

TEST_P(Site, TheFirstSpellingOfAReferenceNamesItsFile) {
  tpl("index.kshtml", "<a href=\"PAGE|n=1\">a</a> <a href=\"page|n=1\">b</a>\n");
  tpl("page.kshtml", "<p>\n#\necho $N\n#\n<a href=\"Index\">i</a>\n");
  EXPECT_EQ(generate().pagesWritten, 2);
  auto files = site();
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(files["index.html"],
            "<a href=\"PAGE_n_1.html\">a</a> <a href=\"PAGE_n_1.html\">b</a>\r\n\r\n");
  EXPECT_EQ(files["PAGE_n_1.html"], "<p>\r\n1\r\n<a href=\"index.html\">i</a>\r\n\r\n");
}

TEST_P(Site, PagesRunBreadthFirst) {
  tpl("index.kshtml", "<a href=\"a\"></a><a href=\"b\"></a>\n");
  tpl("a.kshtml", "<a href=\"c\"></a>\n");
  tpl("b.kshtml", "<a href=\"d\"></a><a href=\"a\"></a>\n");
  tpl("c.kshtml", "c\n");
  tpl("d.kshtml", "d\n");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 5);
  EXPECT_EQ(host.progressMax, (std::vector<long long>{0, 3, 4, 5, 5, 5}));
  EXPECT_EQ(readFile(destDir / "index.html"),
            "<a href=\"a.html\"></a><a href=\"b.html\"></a>\r\n\r\n");

  // A folder in the way of "c" stops the generation there, in one message: the pages run
  // before it (index, a, b) are written, "d" that comes after is not.
  fs::remove_all(destDir);
  fs::create_directories(destDir / "c.html");
  r = generate();
  EXPECT_EQ(r.failure, "Impossible d'enregistrer le fichier \"" + (destDir / "c.html").string() +
                           "\" : c'est un dossier.");
  EXPECT_EQ(r.written, (Strings{"index.html", "a.html", "b.html"}));
  EXPECT_FALSE(fs::exists(destDir / "d.html"));
  EXPECT_TRUE(host.messages.empty());
}

TEST_P(Site, EachTemplateIsCompiledOnceForAllThreads) {
  std::string index;
  for (int n = 1; n <= 40; ++n) index += "<a href=\"p|n=" + std::to_string(n) + "\">x</a>\n";
  tpl("index.kshtml", index);
  tpl("p.kshtml", "#\necho include(\"l\")\necho include(\"l\")\n");
  tpl("l.kshtml", "#\necho $n\n");
  TKSParse parser(db);
  SiteResult r =
      GenerateSite(parser, tplDir.string() + "/", destDir.string() + "/", &host, GetParam());
  EXPECT_EQ(r.pagesWritten, 41);
  EXPECT_EQ(readFile(destDir / "p_n_40.html"), "40\r\n\r\n40\r\n\r\n\r\n");
  EXPECT_EQ(parser.TemplatesCompiled(), 3u);
}

TEST_P(Site, SubFoldersAreMadeInTheDestination) {
  fs::create_directory(tplDir / "Sous");
  tpl("index.kshtml", "<a href=\"sous/p\"></a><a href=\"sous\\q\"></a><a href=\"r\"></a>\n");
  tpl("Sous/p.kshtml", "p\n");
  tpl("Sous/q.kshtml", "q\n");
  tpl("r.kshtml", "r\n");
  // A file where the folder should be stops the generation at the first page below it.
  writeFile(destDir / "sous", "un fichier");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 1);
  EXPECT_EQ(r.failure, "Impossible d'enregistrer le fichier \"" +
                           (destDir / "sous/p.html").string() +
                           "\" : un \xE9l\xE9ment du chemin est un fichier.");
  EXPECT_FALSE(fs::exists(destDir / "r.html"));

  fs::remove(destDir / "sous");
  r = generate();
  EXPECT_EQ(r.pagesWritten, 4);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(readFile(destDir / "sous/p.html"), "p\r\n\r\n");
  EXPECT_EQ(readFile(destDir / "sous/q.html"), "q\r\n\r\n");
  EXPECT_EQ(
      readFile(destDir / "index.html"),
      "<a href=\"sous/p.html\"></a><a href=\"sous\\q.html\"></a><a href=\"r.html\"></a>\r\n\r\n");
}

TEST_P(Site, ReferencesThatLeaveTheirFoldersAreMissingPages) {
  writeFile(root.path() / "dehors.kshtml", "secret\n");
  tpl("page.kshtml", "page\n");
  tpl("index.kshtml",
      "<a href=\"../dehors\"></a><a href=\"page|x=/../../evade\"></a><a href=\"/tmp/x\"></a>\n");
  fs::create_directory(destDir / "page_x_");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 1);
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(site().size(), 1u);
  EXPECT_FALSE(fs::exists(root.path() / "dehors.html"));
  EXPECT_FALSE(fs::exists(root.path() / "evade.html"));
}

TEST_P(Site, ALinkThatGrowsOnEveryPageEnds) {
  // Each page links to a reference one character longer than its own: the chain stops at
  // the first name the file system cannot hold, instead of running without end.
  tpl("index.kshtml", "<a href=\"p|x=-\"></a>\n");
  tpl("p.kshtml", "#\necho \"<a href=\"p|x=$x-\"></a>\"\n");
  SiteResult r = generate();
  // "p_x_" + the dashes + ".html" holds at most 255 bytes: 246 dashes.
  EXPECT_EQ(r.pagesWritten, 1 + 246);
  const std::string tooLong = "p|x=" + std::string(247, '-');
  EXPECT_EQ(r.failure, "Impossible d'enregistrer le fichier \"" +
                           (destDir / PageFileName(tooLong)).string() + "\" : nom trop long.");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_EQ(host.progressMax.back(), 1 + 247);
  EXPECT_EQ(readFile(destDir / ("p_x_" + std::string(246, '-') + ".html")),
            "<a href=\"" + PageFileName(tooLong) + "\"></a>\r\n\r\n");
}

TEST_P(Site, PagesWithoutTextAndBrokenPages) {
  tpl("index.kshtml", "<a href=\"vide\"></a><a href=\"rien\"></a><a href=\"faux\"></a>\n");
  tpl("vide.kshtml", "");
  tpl("rien.kshtml", "#\n$a = 1\n");
  tpl("faux.kshtml", "<p>\n#\nif a\n");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 2);
  auto files = site();
  EXPECT_EQ(files.size(), 2u);
  EXPECT_EQ(files["faux.html"],
            "<p>\r\n<p>*** Syntax Error : Il n'y a pas de comparateur dans le if ***<p>\r\n\r\n");
}

// A template's own files (style sheets, scripts, pictures, static pages) named by a link or a
// source are copied to the same place in the site, once, and the link stays as written; a
// name that is no file of the folder, or a template file, is a page reference as before.
TEST_P(Site, TemplateFilesNamedByLinksAreCopied) {
  fs::create_directories(tplDir / "Img");
  tpl("style.css", "body{}");
  tpl("Img/Fond.PNG", "png");
  tpl("app.js", "js");
  tpl("aide.html", "<p>aide</p>");
  tpl("page.kshtml", "<link href=\"style.css\"><img src=\"img/fond.png\">\n");
  tpl("index.kshtml",
      "<link rel=\"stylesheet\" href=\"style.css\"><script src=\"app.js?v=2\"></script>\n"
      "<img src=\"img/fond.png\"><a href=\"aide.html\">a</a><a href=\"page\">p</a>\n"
      "<link href=\"absent.css\"><img src=\"absent.png\"><a href=\"page.kshtml\">t</a>\n");
  SiteResult r = generate();
  EXPECT_EQ(r.failure, "");
  EXPECT_EQ(r.pagesWritten, 2);
  EXPECT_EQ(r.written, (Strings{"index.html", "page.html", "style.css", "app.js", "img/fond.png",
                                "aide.html"}));
  auto files = site();
  EXPECT_EQ(files["index.html"],
            "<link rel=\"stylesheet\" href=\"style.css\"><script src=\"app.js?v=2\"></script>\r\n"
            "<img src=\"img/fond.png\"><a href=\"aide.html\">a</a><a href=\"page.html\">p</a>\r\n"
            "<link href=\"absent.css.html\"><img src=\"absent.png\"><a "
            "href=\"page.kshtml.html\">t</a>\r\n\r\n");
  EXPECT_EQ(files["style.css"], "body{}");
  EXPECT_EQ(files["img/fond.png"], "png");
  EXPECT_EQ(files["app.js"], "js");
  EXPECT_EQ(files["aide.html"], "<p>aide</p>");
  EXPECT_EQ(files.size(), 6u);
  EXPECT_TRUE(host.messages.empty());
}

// A source naming a template "NAME.js" runs it as a page written as a script; a source with
// no such template, or a link to it, are as before.
TEST_P(Site, ScriptPagesNamedBySources) {
  tpl("donnees.js.kshtml", "#\necho \"var p = $p;\"\n");
  tpl("index.kshtml",
      "<script src=\"donnees.js|p=1\"></script><script src=\"Donnees.js|P=1\"></script>\n"
      "<script src=\"donnees.js|p=2\"></script><script src=\"donnees.js\"></script>\n"
      "<script src=\"autre.js|p=1\"></script><a href=\"donnees.js|p=3\">x</a>\n");
  SiteResult r = generate();
  EXPECT_EQ(r.failure, "");
  EXPECT_EQ(r.written, (Strings{"index.html", "donnees_p_1.js", "donnees_p_2.js", "donnees.js",
                                "donnees.js_p_3.html"}));
  auto files = site();
  EXPECT_EQ(files["index.html"],
            "<script src=\"donnees_p_1.js\"></script><script src=\"donnees_p_1.js\"></script>\r\n"
            "<script src=\"donnees_p_2.js\"></script><script src=\"donnees.js\"></script>\r\n"
            "<script src=\"autre.js|p=1\"></script><a href=\"donnees.js_p_3.html\">x</a>\r\n\r\n");
  EXPECT_EQ(files["donnees_p_2.js"], "var p = 2;\r\n\r\n");
  EXPECT_EQ(files["donnees.js"], "var p = ;\r\n\r\n");
  EXPECT_EQ(ScriptFileName("a.js|x=1&y=2"), "a_x_1&y_2.js");
}

TEST_P(Site, EachPageIsWrittenInTheCharsetItDeclares) {
  int32_t p = db.NewPerson();
  db.SetSurname(p, "&#321;ASKI \xC9l\xE9onore <b>");
  const std::string head = "#\necho champ(1,\"<nom>\")\n#\n\xE9t\xE9 &#321; &#60;\n";
  const std::string utf8Head = "<meta charset=\"utf-8\">\n";
  const std::string cp1252Head = "<meta charset=\"windows-1252\">\n";
  // The home page decides for the pages that declare nothing (the script).
  tpl("index.kshtml", utf8Head + head +
                          "<a href=\"ancien\">a</a><a href=\"brut\">b</a>"
                          "<script src=\"donnees.js\"></script>\n");
  tpl("ancien.kshtml", cp1252Head + head);
  tpl("brut.kshtml", head);
  tpl("donnees.js.kshtml", "#\necho champ(1,\"\"<nom:js>\"\")\n");
  EXPECT_EQ(generate().failure, "");
  auto files = site();
  const std::string nameUtf8 =
      "\xC5\x81"
      "ASKI \xC3\x89l\xC3\xA9onore &lt;b&gt;";
  const std::string nameCp1252 = "&#321;ASKI \xC9l\xE9onore &lt;b&gt;";
  const std::string tail = "\r\n\r\n";
  EXPECT_EQ(files["index.html"], utf8Head.substr(0, utf8Head.size() - 1) + "\r\n" + nameUtf8 +
                                     "\r\n\xC3\xA9t\xC3\xA9 \xC5\x81 &#60;\r\n"
                                     "<a href=\"ancien.html\">a</a><a href=\"brut.html\">b</a>"
                                     "<script src=\"donnees.js\"></script>" +
                                     tail);
  EXPECT_EQ(files["ancien.html"], "<meta charset=\"windows-1252\">\r\n" + nameCp1252 +
                                      "\r\n\xE9t\xE9 &#321; &#60;" + tail);
  EXPECT_EQ(files["brut.html"], nameUtf8 + "\r\n\xC3\xA9t\xC3\xA9 \xC5\x81 &#60;" + tail);
  EXPECT_EQ(files["donnees.js"], "\"\\u0141ASKI \xC3\x89l\xC3\xA9onore \\x3Cb\\x3E\"" + tail);
}

TEST_P(Site, AHomePageThatDeclaresNothingKeepsWindows1252) {
  int32_t p = db.NewPerson();
  db.SetSurname(p, "&#321;\xE9");
  tpl("index.kshtml", "#\necho champ(1,\"<nom>\")\n#\n<a href=\"neuf\">n</a>\n");
  tpl("neuf.kshtml", "<meta charset=\"UTF-8\">\n#\necho champ(1,\"<nom>\")\n");
  EXPECT_EQ(generate().failure, "");
  auto files = site();
  EXPECT_EQ(files["index.html"], "&#321;\xE9\r\n<a href=\"neuf.html\">n</a>\r\n\r\n");
  EXPECT_EQ(files["neuf.html"], "<meta charset=\"UTF-8\">\r\n\xC5\x81\xC3\xA9\r\n\r\n");
}

TEST_P(Site, ATemplateFileThatCannotBeCopiedIsReported) {
  tpl("style.css", "body{}");
  tpl("index.kshtml", "<link href=\"style.css\">\n");
  fs::create_directory(destDir / "style.css");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 0);
  EXPECT_EQ(r.failure, "Impossible d'enregistrer le fichier \"" + (destDir / "style.css").string() +
                           "\" : c'est un dossier.");
  EXPECT_TRUE(host.messages.empty());
  EXPECT_FALSE(fs::exists(destDir / "index.html"));
}

// A symlink in the template folder that leads out of it is neither a template, an include nor
// a file copied into the site; one that stays inside is followed, and so is a template folder
// named through a symlink.
TEST_P(Site, SymlinksOutOfTheTemplateFolderAreNotFollowed) {
  const fs::path out = root.path() / "dehors";
  fs::create_directories(out / "d");
  writeFile(out / "secret.css", "secret");
  writeFile(out / "secret.kshtml", "secret\n");
  writeFile(out / "d" / "x.css", "secret");
  fs::create_symlink(out / "secret.css", tplDir / "style.css");
  fs::create_symlink(out / "secret.kshtml", tplDir / "inc.kshtml");
  fs::create_directory_symlink(out / "d", tplDir / "lien");
  tpl("vrai.css", "vrai");
  fs::create_symlink(tplDir / "vrai.css", tplDir / "bon.css");
  tpl("index.kshtml",
      "<link href=\"style.css\"><link href=\"lien/x.css\"><link href=\"bon.css\">\n#\n"
      "echo include(inc)\n#\n<a href=\"inc\">i</a>\n");
  const fs::path named = root.path() / "par-un-lien";
  fs::create_directory_symlink(tplDir, named);
  for (const fs::path& folder : {tplDir, named}) {
    fs::remove_all(destDir);
    fs::create_directory(destDir);
    TKSParse parser(db);
    SiteResult r =
        GenerateSite(parser, folder.string() + "/", destDir.string() + "/", &host, GetParam());
    EXPECT_EQ(r.failure, "");
    EXPECT_EQ(site(), (std::map<std::string, std::string>{
                          {"index.html",
                           "<link href=\"style.css.html\"><link href=\"lien/x.css.html\"><link "
                           "href=\"bon.css\">\r\n\r\n<a href=\"inc.html\">i</a>\r\n\r\n"},
                          {"bon.css", "vrai"}}))
        << folder;
  }
}

TEST_P(Site, NoHomePageOrNoDestination) {
  tpl("autre.kshtml", "x\n");
  SiteResult r = generate();
  EXPECT_EQ(r.pagesWritten, 0);
  EXPECT_TRUE(site().empty());
  EXPECT_EQ(host.progressMax, (std::vector<long long>{0, 1}));
  EXPECT_EQ(host.progressPos, (std::vector<long long>{0, 0, 0}));

  tpl("index.kshtml", "seul\n");
  fs::remove(destDir);
  RecordingHost quiet;
  TKSParse parser(db);
  r = GenerateSite(parser, tplDir.string() + "/", destDir.string() + "/", &quiet, GetParam());
  EXPECT_EQ(r.pagesWritten, 0);
  EXPECT_FALSE(fs::exists(destDir));
  EXPECT_TRUE(quiet.progressMax.empty());
  EXPECT_TRUE(quiet.progressPos.empty());

  fs::create_directory(destDir);
  r = GenerateSite(parser, tplDir.string() + "/", destDir.string() + "/", nullptr, GetParam());
  EXPECT_EQ(r.pagesWritten, 1);
  EXPECT_EQ(site(), (std::map<std::string, std::string>{{"index.html", "seul\r\n\r\n"}}));
}

// A host that fails the test when a thread other than the one that started the generation
// calls it, and asks for a stop from its stopAt-th question on (0: never), keeping the files
// of `folder` as they were when it first did.
class CallingThreadHost : public RecordingHost {
 public:
  void showMessage(const std::string& t) override {
    check();
    RecordingHost::showMessage(t);
  }
  void setProgressMax(long long v) override {
    check();
    RecordingHost::setProgressMax(v);
  }
  void setProgressPos(long long v) override {
    check();
    RecordingHost::setProgressPos(v);
  }
  bool abortRequested() override {
    check();
    if (stopAt == 0 || ++polls < stopAt) return false;
    if (!seen) atStop = tree(folder);
    seen = true;
    return true;
  }
  int stopAt = 0, polls = 0;
  bool seen = false;
  fs::path folder;
  std::map<std::string, std::string> atStop;

 private:
  void check() {
    if (std::this_thread::get_id() != owner_) ADD_FAILURE() << "host called from another thread";
  }
  std::thread::id owner_ = std::this_thread::get_id();
};

TEST_P(Site, OnlyTheCallingThreadCallsTheHostAndAStopWritesNoPageAfterIt) {
  for (int i = 0; i < 12; ++i) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, std::string(1, static_cast<char>('a' + (i * 7) % 12)));
  }
  // Each page sorts every person by surname.
  tpl("index.kshtml", "#\n$t = liste_tous()\necho evalue($t,\"<a href=\"p|n=$1\">\",\"\")\n");
  tpl("p.kshtml", "#\n$t = liste_tous()\necho liste_trie(\"<nom>\",$t)\n");
  CallingThreadHost calling;
  calling.folder = destDir;
  auto run = [&](int stopAt) {
    calling = CallingThreadHost();
    calling.folder = destDir;
    calling.stopAt = stopAt;
    TKSParse parser(db, &calling);
    fs::remove_all(destDir);
    fs::create_directory(destDir);
    return GenerateSite(parser, tplDir.string() + "/", destDir.string() + "/", &calling,
                        GetParam());
  };
  ASSERT_EQ(run(0).pagesWritten, 13);
  const auto sorted = site();
  for (int p = 1; p <= 12; ++p)
    EXPECT_EQ(sorted.at("p_n_" + std::to_string(p) + ".html"),
              "1|8|3|10|5|12|7|2|9|4|11|6\r\n\r\n");
  // One thread asks at every partition of every sort and before each write, so a stop lands
  // inside a sort as well as between pages: such a page is never written, partly sorted.
  int stops = 0;
  for (int stopAt : {1, 2, 3, 4, 6, 9, 14, 20, 27, 35, 44}) {
    SCOPED_TRACE(stopAt);
    const SiteResult r = run(stopAt);
    EXPECT_EQ(r.stopped, calling.seen);
    if (!calling.seen) continue;
    ++stops;
    const auto written = site();
    EXPECT_EQ(written, calling.atStop);  // nothing after the stop was seen
    EXPECT_EQ(r.pagesWritten, static_cast<int>(written.size()));
    EXPECT_LT(written.size(), sorted.size());
    for (const auto& [name, bytes] : written) EXPECT_EQ(bytes, sorted.at(name)) << name;
  }
  EXPECT_GE(stops, 3);
}

INSTANTIATE_TEST_SUITE_P(Threads, Site, ::testing::Values(1, 3));

// Each folder of tests/golden holds a template (input/) and the site it makes (expected/)
// for the family above, on 15/6/2024 at 10:20:30.
TEST(GoldenSites, MatchByteForByte) {
  fs::path golden = fs::path(LIGNADO_SOURCE_DIR) / "tests" / "golden";
  ASSERT_TRUE(fs::is_directory(golden));
  int cases = 0;
  for (const auto& c : fs::directory_iterator(golden)) {
    if (!fs::is_directory(c.path() / "input")) continue;
    ++cases;
    SCOPED_TRACE(c.path().filename().string());
    TBD db;
    fillFamily(db);
    const FixedClock clock({2024, 6, 15, 10, 20, 30});
    TempDir out;
    TKSParse parser(db, nullptr, clock);
    SiteResult r = GenerateSite(parser, (c.path() / "input").string() + "/", out.str(), nullptr);
    EXPECT_EQ(r.failure, "");
    auto got = tree(out.path());
    auto want = tree(c.path() / "expected");
    if (std::getenv("LIGNADO_WRITE_GOLDEN")) {
      for (const auto& [name, bytes] : got) writeFile(c.path() / "expected" / name, bytes);
      continue;
    }
    for (const auto& [name, bytes] : want) {
      auto it = got.find(name);
      if (it == got.end())
        ADD_FAILURE() << "missing page " << name;
      else
        EXPECT_EQ(it->second, bytes) << "differs: " << name;
    }
    for (const auto& [name, bytes] : got)
      if (!want.count(name)) ADD_FAILURE() << "unexpected page " << name;
    EXPECT_EQ(r.pagesWritten, static_cast<int>(want.size()));
  }
  EXPECT_GT(cases, 0);
}
