// The shipped templates: every site they make is complete (no broken local link, no error
// marker, a page for every person), well formed, and shows the family as it is.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "FamilleModele.h"
#include "TestSupport.h"
#include "data/Base.h"
#include "gedcom/GedcomIn.h"
#include "genealogy/DateLieu.h"
#include "genealogy/Vivants.h"
#include "pages/Medias.h"
#include "pages/SiteGeneration.h"
#include "pages/uParser.h"
#include "util/Text.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

const std::vector<std::string> kTemplates = {"classique", "parchemin"};

std::string templateDir(const std::string& name) {
  return std::string(LIGNADO_SOURCE_DIR) + "/modele/" + name + "/";
}

struct Site {
  SiteResult result;
  std::map<std::string, std::string> pages;  // file name -> bytes
  std::vector<std::string> messages;
  std::vector<long long> progress;  // every maximum, then every position
  std::set<std::string> refused;    // site paths of media files not copied
};

Site generate(const TBD& db, const std::string& tmpl, const Clock& clock = SystemClock(),
              int jobs = 1) {
  TempDir dest;
  TKSParse parser(db, nullptr, clock);
  test::RecordingHost host;
  Site site;
  site.result = GenerateSite(parser, templateDir(tmpl), dest.str(), &host, jobs);
  // The media files, in a folder of their own: the file name, and the path when relative;
  // their first bytes are those of their kind (a JPEG picture when the kind is not listed).
  TempDir ged;
  auto bytes = [](const std::string& name) -> std::string {
    static const std::map<std::string, std::string> heads = {{".gif", "GIF89a"},
                                                             {".png", "\x89PNG\r\n\x1A\n"},
                                                             {".bmp", "BM"},
                                                             {".pdf", "%PDF-1.4"},
                                                             {".rtf", "{\\rtf1"},
                                                             {".mp3", "ID3"},
                                                             {".tif", {"II*\0", 4}},
                                                             {".mpg", {"\0\0\1\xBA", 4}},
                                                             {".mov", {"\0\0\0\x08wide", 8}},
                                                             {".wav", {"RIFF\0\0\0\0WAVE", 12}},
                                                             {".aif", {"FORM\0\0\0\0AIFF", 12}}};
    auto head = heads.find(LowerAscii(fs::path(name).extension().string()));
    return (head == heads.end() ? std::string("\xFF\xD8\xFF\xE0") : head->second) + " media";
  };
  const MediaSite all(db, nullptr);  // the files of persons, events, unions and sources
  for (int32_t i = 1; i <= all.Count(); ++i) {
    const TMedia m{all.At(i)->file, all.At(i)->title};
    const std::string name = m.File.substr(m.File.find_last_of("/\\") + 1);
    test::writeFile(ged.str() + Cp1252ToUtf8(name), bytes(name));
    if (m.File.find('\\') == std::string::npos && m.File.find('/') != std::string::npos) {
      fs::create_directories(fs::path(Cp1252ToUtf8(ged.str() + m.File)).parent_path());
      test::writeFile(Cp1252ToUtf8(ged.str() + m.File), bytes(name));
    }
  }
  MediaCopy media = CopyMedia(db, {{ged.str()}}, dest.str(), nullptr);
  site.result.written.insert(site.result.written.end(), media.written.begin(), media.written.end());
  // Only kinds that a site does not publish (documents, rare picture formats) are refused; their
  // links lead nowhere, as those of a missing file do.
  const std::string refusedKind =
      "Photo d'un type non publi\xE9 (ni image, PDF, texte, son ou vid\xE9o) : ";
  // Their pictures are a few bytes only: copied, not reduced.
  for (const std::string& line : media.missing)
    EXPECT_TRUE(line.starts_with(refusedKind) || line.starts_with("Vignette non faite : ")) << line;
  for (int32_t i = 1; i <= all.Count(); ++i)
    if (std::count(media.missing.begin(), media.missing.end(), refusedKind + all.At(i)->file))
      site.refused.insert(all.At(i)->site);
  site.messages = host.messages;
  site.progress = host.progressMax;
  site.progress.insert(site.progress.end(), host.progressPos.begin(), host.progressPos.end());
  for (const auto& e : fs::recursive_directory_iterator(dest.path()))
    if (e.is_regular_file())
      site.pages[fs::relative(e.path(), dest.path()).string()] = test::readFile(e.path());
  return site;
}

// The values of the href and src attributes of a page.
std::vector<std::string> links(const std::string& html) {
  std::vector<std::string> out;
  for (const char* attr : {"href=\"", "src=\""}) {
    std::string a = attr;
    for (std::size_t at = html.find(a); at != std::string::npos; at = html.find(a, at + 1)) {
      std::size_t start = at + a.size();
      std::size_t end = html.find('"', start);
      if (end == std::string::npos) break;
      out.push_back(html.substr(start, end - start));
    }
  }
  return out;
}

bool isLocal(const std::string& link) {
  std::size_t colon = link.find(':');
  return colon == std::string::npos || link.find('/') < colon;
}

std::string lower(std::string s) {
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

// Test texts are UTF-8, as the shipped templates' pages are.
std::string cp(const std::string& utf8) {
  return utf8;
}

bool isBlankText(const std::string& s) {
  return std::all_of(s.begin(), s.end(), [](char c) { return c == ' ' || c == '\r' || c == '\n'; });
}

// A small structural check of the markup the templates write: every element closed in order,
// lists holding only items, no block inside a paragraph, no link inside a link, a non-blank
// title. Returns the first fault, or the empty text.
std::string structureFault(const std::string& html) {
  static const std::set<std::string> voids = {"meta", "br", "hr", "img", "link", "input", "wbr"};
  static const std::set<std::string> blocks = {"div",    "ul",   "ol", "table",      "p",
                                               "h1",     "h2",   "h3", "blockquote", "header",
                                               "footer", "main", "nav"};
  static const std::set<std::string> listLike = {"ul", "ol", "table", "thead", "tbody", "tr"};
  if (html.rfind("<!DOCTYPE html>\r\n<html lang=\"fr\">", 0) != 0) return "no doctype";
  if (html.find("<meta charset=\"utf-8\">") == std::string::npos) return "no charset";
  if (html.find("<meta name=\"viewport\"") == std::string::npos) return "no viewport";
  std::size_t t = html.find("<title>");
  std::size_t te = html.find("</title>");
  if (t == std::string::npos || te == std::string::npos ||
      isBlankText(html.substr(t + 7, te - t - 7)))
    return "no title";

  std::vector<std::string> stack;
  std::size_t i = html.find("<html");
  while (i < html.size()) {
    std::size_t lt = html.find('<', i);
    std::string text = html.substr(i, lt == std::string::npos ? std::string::npos : lt - i);
    if (!stack.empty() && listLike.count(stack.back()) && !isBlankText(text))
      return "text directly in <" + stack.back() + ">: " + text.substr(0, 40);
    if (lt == std::string::npos) break;
    bool closing = lt + 1 < html.size() && html[lt + 1] == '/';
    std::size_t n = lt + (closing ? 2 : 1);
    std::size_t e = n;
    while (e < html.size() && std::isalnum(static_cast<unsigned char>(html[e]))) ++e;
    if (e == n) {  // a "<" that opens no tag
      i = lt + 1;
      continue;
    }
    std::string name = lower(html.substr(n, e - n));
    std::size_t gt = html.find('>', e);
    if (gt == std::string::npos) return "unclosed tag <" + name;
    i = gt + 1;
    if (closing) {
      if (stack.empty() || stack.back() != name)
        return "</" + name + "> closes <" + (stack.empty() ? "" : stack.back()) + ">";
      stack.pop_back();
      continue;
    }
    if (voids.count(name)) continue;
    if (!stack.empty() && (stack.back() == "ul" || stack.back() == "ol") && name != "li")
      return "<" + name + "> in a list";
    if (name == "li" && (stack.empty() || (stack.back() != "ul" && stack.back() != "ol")))
      return "<li> outside a list";
    if (blocks.count(name) && std::find(stack.begin(), stack.end(), "p") != stack.end())
      return "<" + name + "> inside <p>";
    if (name == "a" && std::find(stack.begin(), stack.end(), "a") != stack.end())
      return "<a> inside <a>";
    if (name == "style") {
      std::size_t end = html.find("</style>", i);
      if (end == std::string::npos) return "unclosed style";
      i = end + 8;
      continue;
    }
    stack.push_back(name);
  }
  if (!stack.empty()) return "<" + stack.back() + "> never closed";
  return "";
}

// A page that reads its parameters from the address names them (data-adresse="n vue g"): a
// fragment "n_12;vue_descendants.html" of a link to it must name only those.
bool readsAddress(const std::string& page, std::string fragment) {
  const std::size_t at = page.find("data-adresse=\"");
  if (at == std::string::npos || !fragment.ends_with(".html")) return false;
  const std::string names = " " + page.substr(at + 14, page.find('"', at + 14) - at - 14) + " ";
  fragment.resize(fragment.size() - 5);
  for (std::size_t start = 0; start <= fragment.size();) {
    const std::size_t end = std::min(fragment.find(';', start), fragment.size());
    const std::string pair = fragment.substr(start, end - start);
    const std::size_t sep = pair.find_first_of("_=");
    if (sep == 0 || sep == std::string::npos ||
        names.find(" " + pair.substr(0, sep) + " ") == std::string::npos)
      return false;
    start = end + 1;
  }
  return true;
}

// Every check on one site of db: written without failure, every local link names a page of
// the site, no error marker, sound markup, a page for every person.
void checkSite(const TBD& db, const std::string& tmpl, const std::string& what,
               const Clock& clock = SystemClock()) {
  SCOPED_TRACE(what + " / " + tmpl);
  Site site = generate(db, tmpl, clock);
  EXPECT_EQ(site.result.failure, "");
  EXPECT_TRUE(site.result.limited.empty());
  EXPECT_TRUE(site.messages.empty());
  ASSERT_EQ(site.pages.count("index.html"), 1u);
  // Every file is a page but the template's own files, which the pages name, and the media.
  EXPECT_EQ(site.result.written.size(), site.pages.size());
  int faults = 0, pages = 0;
  for (const auto& [name, html] : site.pages) {
    if (faults > 10) break;  // one broken template would repeat on every page
    if (!fs::exists(templateDir(tmpl) + name) && !name.starts_with(kMediaFolder)) ++pages;
    if (!name.ends_with(".html")) continue;
    if (html.find("<p>*** ") != std::string::npos) {
      ADD_FAILURE() << name << " holds the error marker";
      ++faults;
    }
    for (const std::string& link : links(html)) {
      if (!isLocal(link) || site.refused.count(link)) continue;
      // "page.html#X" and "#X" need the page and the element of id X in it.
      const std::size_t hash = link.find('#');
      const std::string file = hash == 0 ? name : link.substr(0, hash);
      auto target = site.pages.find(file);
      if (target == site.pages.end() ||
          (hash != std::string::npos &&
           target->second.find("id=\"" + link.substr(hash + 1) + "\"") == std::string::npos &&
           !readsAddress(target->second, link.substr(hash + 1)))) {
        ADD_FAILURE() << name << " links to the missing " << link;
        ++faults;
      }
    }
    std::string fault = structureFault(html);
    if (!fault.empty()) {
      ADD_FAILURE() << name << ": " << fault;
      ++faults;
    }
  }
  EXPECT_EQ(pages, site.result.pagesWritten);
  int persons = 0;
  for (int32_t p = 1; p <= db.PersonCount; ++p) {
    if (!db.IsPersonUsed(p)) continue;
    ++persons;
    std::string page = "personne_n_" + std::to_string(p) + ".html";
    if (!site.pages.count(page)) {
      ADD_FAILURE() << "no page for person " << p;
      if (++faults > 10) break;
    }
  }
  EXPECT_EQ(persons, db.UsedPersonCount());
}

// --- Imported GEDCOM files: the example family and the corpus ---------------------------------

std::vector<std::string> gedcomFiles() {
  std::vector<std::string> files = {std::string(LIGNADO_SOURCE_DIR) +
                                    "/examples/famille-exemple.ged"};
  fs::path corpus = test::corpusDir();
  if (!corpus.empty()) {
    std::vector<std::string> found;
    for (const auto& e : fs::directory_iterator(corpus))
      if (e.is_regular_file() && lower(e.path().extension().string()) == ".ged")
        found.push_back(e.path().string());
    std::sort(found.begin(), found.end());
    files.insert(files.end(), found.begin(), found.end());
  }
  return files;
}

class ShippedTemplates : public ::testing::TestWithParam<std::string> {};

TEST_P(ShippedTemplates, MakeCompleteSites) {
  const std::string& file = GetParam();
  if (!fs::exists(file)) GTEST_SKIP() << file << " is absent";
  TBD db;
  THead head;
  ImportResult r = ImportGedcom(db, file, head, kModeAnsel, false, false, true, nullptr);
  ASSERT_FALSE(r.failed) << r.reason;
  ASSERT_GT(db.UsedPersonCount(), 0);
  const FixedClock clock({2024, 6, 15, 10, 20, 30});
  for (const std::string& tmpl : kTemplates) {
    checkSite(db, tmpl, fs::path(file).filename(), clock);
    // Pages run on several threads make the same site, byte for byte, written in the same
    // order with the same messages and progress.
    Site one = generate(db, tmpl, clock, 1), several = generate(db, tmpl, clock, 4);
    EXPECT_EQ(one.result.written, several.result.written) << tmpl;
    EXPECT_EQ(one.progress, several.progress) << tmpl;
    EXPECT_TRUE(one.pages == several.pages) << tmpl;
  }
}

std::string testName(const ::testing::TestParamInfo<std::string>& info) {
  std::string name = fs::path(info.param).stem().string();
  for (char& c : name)
    if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
  return name + "_" + std::to_string(info.index);
}

INSTANTIATE_TEST_SUITE_P(Gedcom, ShippedTemplates, ::testing::ValuesIn(gedcomFiles()), testName);

// --- Edge bases --------------------------------------------------------------------------------

class EdgeBase : public ::testing::TestWithParam<std::string> {};

TEST_P(EdgeBase, EmptyBaseGivesTheListPagesOnly) {
  TBD db;
  checkSite(db, GetParam(), "vide");
  Site site = generate(db, GetParam());
  std::vector<std::string> names;
  for (const auto& [name, html] : site.pages) names.push_back(name);
  EXPECT_EQ(names, std::vector<std::string>({"arbre.html", "arbre.js", "famille.js", "index.html",
                                             "parente.html", "parente.js", "patronymes.html",
                                             "personnes.html", "recherche.html", "recherche.js",
                                             "statistiques.html", "style.css"}));
}

TEST_P(EdgeBase, PersonWithoutNameIsCalledSo) {
  TBD db;
  db.SetSex(db.NewPerson(), 0);
  int32_t named = db.NewPerson();
  db.SetGivenNames(named, "Jean");
  db.SetFather(named, 1);
  checkSite(db, GetParam(), "sans nom");
  Site site = generate(db, GetParam());
  const std::string& page = site.pages["personne_n_1.html"];
  EXPECT_NE(page.find("<h1>(sans nom)</h1>"), std::string::npos);
  EXPECT_NE(page.find("<title>(sans nom) "), std::string::npos);
  EXPECT_NE(site.pages["personne_n_2.html"].find("<a href=\"personne_n_1.html\">(sans nom)</a>"),
            std::string::npos);
  EXPECT_NE(site.pages["personne_n_2.html"].find("<h1>Jean</h1>"), std::string::npos);
  EXPECT_NE(site.pages["personnes.html"].find(">(sans nom)</"), std::string::npos);
}

// Over 2000 persons the lists go by initial, then into numbered pages of 2000, and the
// search data into scripts of 2000: no page grows with the base.
TEST_P(EdgeBase, LongListsAreSplitByInitialThenIntoPages) {
  TBD db(3000);
  auto add = [&db](const std::string& nom, const std::string& pre) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, nom);
    db.SetGivenNames(p, pre);
  };
  for (int i = 0; i < 2100; ++i) add("MARTIN", "Jean " + std::to_string(10000 + i));
  for (int i = 0; i < 10; ++i) add("\xC9VEN", "Anne " + std::to_string(i));
  add("", "Paul");
  checkSite(db, GetParam(), "longue");
  Site site = generate(db, GetParam());
  std::size_t largest = 0;
  for (const auto& [name, bytes] : site.pages) largest = std::max(largest, bytes.size());
  EXPECT_LT(largest, 300000u);

  const std::string& all = site.pages["personnes.html"];
  for (const char* letter : {"E", "M", "autres"})
    EXPECT_NE(all.find("href=\"personnes_l_" + std::string(letter) + ".html\""), std::string::npos);
  EXPECT_EQ(all.find("href=\"personne_n_"), std::string::npos);
  // The M pages: 2000 then 100 persons, in order, each once.
  const std::string& m1 = site.pages["personnes_l_M.html"];
  const std::string& m2 = site.pages["personnes_l_M&p_2.html"];
  EXPECT_NE(m1.find("href=\"personnes_l_M&p_2.html\""), std::string::npos);
  EXPECT_NE(m2.find("href=\"personnes_l_M.html\""), std::string::npos);
  auto listed = [](const std::string& html) {
    std::vector<int> out;
    const std::string key = "href=\"personne_n_";
    for (std::size_t at = html.find(key); at != std::string::npos; at = html.find(key, at + 1))
      out.push_back(std::atoi(html.c_str() + at + key.size()));
    return out;
  };
  std::vector<int> m = listed(m1), more = listed(m2);
  EXPECT_EQ(m.size(), 2000u);
  m.insert(m.end(), more.begin(), more.end());
  std::vector<int> expected(2100);
  for (int i = 0; i < 2100; ++i) expected[i] = i + 1;
  EXPECT_EQ(m, expected);
  EXPECT_EQ(listed(site.pages["personnes_l_E.html"]).size(), 10u);
  EXPECT_EQ(listed(site.pages["personnes_l_autres.html"]), std::vector<int>{2111});
  // The surname page of MARTIN too, and the search data.
  EXPECT_EQ(listed(site.pages["nom_n_1.html"]).size(), 2000u);
  EXPECT_EQ(listed(site.pages["nom_n_1&p_2.html"]).size(), 100u);
  const std::string& search = site.pages["recherche.html"];
  EXPECT_NE(search.find("<script src=\"donnees_p_2.js\"></script>"), std::string::npos);
  EXPECT_EQ(site.pages.count("donnees_p_3.js"), 0u);
  EXPECT_NE(site.pages["donnees_p_2.js"].find("personne(2111)(\"\")(\"Paul\")(\"\")(\"\");"),
            std::string::npos);
  // Three surnames: one page, each initial reached by an anchor.
  const std::string& names = site.pages["patronymes.html"];
  EXPECT_NE(names.find("href=\"#E.html\""), std::string::npos);
  EXPECT_NE(names.find("id=\"E.html\""), std::string::npos);
}

// A file that leaves sexes unknown: the pages say so, a father without SEX keeps his union, and
// parchemin's filiation has a neutral word.
TEST_P(EdgeBase, UnknownSexesFromAFile) {
  TempDir dir;
  test::writeFile(dir.str() + "sexes.ged",
                  "0 HEAD\n0 @I1@ INDI\n1 NAME Jean /Martin/\n0 @I2@ INDI\n1 NAME Anne /Roux/\n"
                  "1 SEX F\n0 @I3@ INDI\n1 NAME Paul /Martin/\n1 SEX M\n0 @I4@ INDI\n"
                  "1 NAME Rose /Martin/\n1 SEX F\n0 @I5@ INDI\n1 NAME Camille /Martin/\n1 SEX U\n"
                  "0 @I6@ INDI\n1 NAME Dominique /Martin/\n1 SEX\n0 @F1@ FAM\n1 HUSB @I1@\n"
                  "1 WIFE @I2@\n1 CHIL @I3@\n1 CHIL @I4@\n1 CHIL @I5@\n1 CHIL @I6@\n0 TRLR\n");
  TBD db;
  THead head;
  ASSERT_FALSE(
      ImportGedcom(db, dir.str() + "sexes.ged", head, kModeAnsel, false, false, true, nullptr)
          .failed);
  checkSite(db, GetParam(), "sexes");
  Site site = generate(db, GetParam());
  const bool classique = GetParam() == "classique";
  const struct {
    int person;
    const char *sex, *child;
  } rows[] = {{3, "homme", "Fils"},
              {4, "femme", "Fille"},
              {5, "inconnu", "Enfant"},
              {6, "inconnu", "Enfant"},
              {1, "inconnu", nullptr}};
  for (const auto& r : rows) {
    const std::string& html = site.pages["personne_n_" + std::to_string(r.person) + ".html"];
    SCOPED_TRACE(r.person);
    EXPECT_NE(html.find(classique ? "<tr><th>Sexe</th><td>" + std::string(r.sex) + "</td></tr>"
                                  : "<li><span class=\"quoi\">Sexe</span><span>" +
                                        std::string(r.sex) + "</span></li>"),
              std::string::npos);
    if (r.child && !classique) {
      EXPECT_NE(html.find(std::string(r.child) + " de <a href=\"personne_n_1.html\">"),
                std::string::npos);
    }
  }
  // Jean, of unknown sex, is Anne's husband: each page names the other as spouse.
  const std::string union_ = classique ? "<div class=\"union\">" : "<div class=\"alliance\">";
  for (const auto& [p, spouse] : {std::pair{1, 2}, std::pair{2, 1}}) {
    const std::string& html = site.pages["personne_n_" + std::to_string(p) + ".html"];
    const std::size_t at = html.find(union_);
    ASSERT_NE(at, std::string::npos) << p;
    EXPECT_EQ(html.find("href=\"personne_n_" + std::to_string(spouse) + ".html\"", at),
              html.find("href=\"personne_n_", at))
        << p;
  }
}

INSTANTIATE_TEST_SUITE_P(Modeles, EdgeBase, ::testing::ValuesIn(kTemplates));

// --- A small fixed family: what the pages say -------------------------------------------------

class FamilySite : public ::testing::TestWithParam<std::string> {
 protected:
  void SetUp() override {
    test::BuildFamilleModele(db);
    site = generate(db, GetParam(), clock);
  }
  const FixedClock clock{{2024, 12, 7}};

  const std::string& page(const std::string& name) {
    static const std::string none;
    auto it = site.pages.find(name);
    EXPECT_NE(it, site.pages.end()) << name;
    return it == site.pages.end() ? none : it->second;
  }
  // The person pages a page links to, in order, each once.
  std::vector<int> persons(const std::string& html, std::size_t from = 0,
                           std::size_t to = std::string::npos) {
    std::vector<int> out;
    const std::string key = "href=\"personne_n_";
    for (std::size_t at = html.find(key, from); at < to; at = html.find(key, at + 1)) {
      int p = std::atoi(html.c_str() + at + key.size());
      if (std::find(out.begin(), out.end(), p) == out.end()) out.push_back(p);
    }
    return out;
  }
  std::size_t at(const std::string& html, const std::string& text) {
    std::size_t k = html.find(text);  // the shipped templates write UTF-8
    EXPECT_NE(k, std::string::npos) << text;
    return k;
  }

  TBD db;
  Site site;
};

using test::kAnne;
using test::kCorentin;
using test::kJacques;
using test::kJean;
using test::kJeanne;
using test::kLouis;
using test::kMarie;
using test::kPaul;
using test::kPierre;
using test::kYvonne;

TEST_P(FamilySite, IsCompleteAndSound) {
  checkSite(db, GetParam(), "famille");
}

TEST_P(FamilySite, FirstPictureUnderTheNameOthersBelow) {
  const std::string& pierre = page("personne_n_1.html");
  const std::size_t first = pierre.find("<img src=\"" + MediaSitePath("photos/Pierre.jpg") +
                                        "\" loading=\"lazy\" alt=\"Pierre vers 1900\"");
  const std::size_t name = pierre.find("<h1>"), more = pierre.find("<h2>Photos</h2>");
  const std::size_t second = pierre.find(MediaSitePath("C:\\Photos\\Mariage 1874.JPG"));
  ASSERT_NE(second, std::string::npos);
  EXPECT_LT(name, first);
  EXPECT_LT(first, more);
  EXPECT_LT(more, second);
  EXPECT_EQ(page("personne_n_4.html").find("<img"), std::string::npos);  // Jean has none
  at(page("style.css"), ".photo img, .photos img { max-width: 100%;");
}

TEST_P(FamilySite, HomePageCountsTheBase) {
  const std::string& home = page("index.html");
  bool classique = GetParam() == "classique";
  if (classique) {
    at(home, "<li><b>10</b> personnes</li><li><b>3</b> unions</li><li><b>5</b> patronymes</li>");
    at(home, "<p>Site créé le 07/12/2024.</p>");
  } else {
    at(home, "Ce livre rassemble 10 personnes, 3 unions et 5 patronymes.");
    at(home, "Il a été établi le 07/12/2024.");
  }
  EXPECT_NE(home.find("href=\"patronymes.html\""), std::string::npos);
  EXPECT_NE(home.find("href=\"personnes.html\""), std::string::npos);
  EXPECT_EQ(persons(home), std::vector<int>({kPierre}));
}

TEST_P(FamilySite, SurnamesAreListedAlphabeticallyAndNamedByTheirFirstBearer) {
  const std::string& index = page("patronymes.html");
  std::vector<std::string> order;
  for (std::size_t k = index.find("href=\"nom_n_"); k != std::string::npos;
       k = index.find("href=\"nom_n_", k + 1))
    order.push_back(index.substr(k + 6, index.find('"', k + 6) - k - 6));
  EXPECT_EQ(order, std::vector<std::string>({"nom_n_1.html", "nom_n_9.html", "nom_n_10.html",
                                             "nom_n_2.html", "nom_n_3.html"}));
  at(index, "<span class=\"nom\">L&#39;HOSTIS</span>");
  // The DUPONT page lists every DUPONT by given name, and nobody else.
  EXPECT_EQ(persons(page("nom_n_1.html")),
            std::vector<int>({kAnne, kJacques, kJean, kLouis, kPaul, kPierre}));
  EXPECT_EQ(persons(page("nom_n_10.html")), std::vector<int>({kCorentin}));
  EXPECT_EQ(site.pages.count("nom_n_4.html"), 0u);
}

TEST_P(FamilySite, ListOfPersonsIsSortedBySurnameThenGivenNames) {
  EXPECT_EQ(persons(page("personnes.html")),
            std::vector<int>({kAnne, kJacques, kJean, kLouis, kPaul, kPierre, kYvonne, kCorentin,
                              kMarie, kJeanne}));
}

TEST_P(FamilySite, PersonPageShowsFactsFamilyAndEachUnion) {
  const std::string& html = page("personne_n_1.html");
  bool classique = GetParam() == "classique";
  if (classique) {
    at(html, "<h1>Pierre <span class=\"nom\">DUPONT</span></h1>");
    at(html, "<tr><th>Sexe</th><td>homme</td></tr>");
    at(html, "<tr><th>Profession</th><td>Cultivateur</td></tr>");
    at(html, "<tr><th>Titre</th><td>Maire</td></tr>");
    at(html,
       "<tr><th>Naissance</th><td>1er\u00a0février\u00a01850<span class=\"sep\">, </span><span "
       "class=\"lieu\">Brest</span><sup class=\"renvoi\"><a href=\"#c1.html\">1</a></sup>");
    at(html,
       "<tr><th>Décès</th><td>3\u00a0avril\u00a01920<span class=\"sep\">, </span><span "
       "class=\"lieu\">Quimper</span></td></tr>");
    at(html, "<tr><th>Âge au décès</th><td>70&nbsp;ans</td></tr>");
  } else {
    at(html, "<li><span class=\"quoi\">Profession</span><span>Cultivateur</span></li>");
    at(html, "<li><span class=\"quoi\">Titre</span><span>Maire</span></li>");
    at(html,
       "<li><span class=\"quoi\">Naissance</span><span>1er\u00a0février\u00a01850<span "
       "class=\"sep\">, </span><span "
       "class=\"lieu\">Brest</span><sup class=\"renvoi\"><a href=\"#c1.html\">1</a></sup>");
    at(html, "<li><span class=\"quoi\">Âge au décès</span><span>70&nbsp;ans</span></li>");
    at(html, "Fils de <a href=\"personne_n_8.html\">");
  }
  at(html, "Conseiller municipal puis maire.");
  EXPECT_EQ(html.find(cp("Baptême")), std::string::npos);  // no baptism, no line for it

  // Each union with its own marriage and its own children in order of birth; the child whose
  // mother is unknown comes after the unions.
  std::size_t u1 = at(html, "href=\"personne_n_2.html\"");
  std::size_t m1 =
      at(html, classique ? "<p>Mariage&nbsp;: 10\u00a0mai\u00a01874<span class=\"sep\">,</span> "
                           "<span class=\"lieu\">Brest</span></p>"
                         : "<p>Mariage&nbsp;: 10\u00a0mai\u00a01874</p>");
  std::size_t u2 = at(html, "href=\"personne_n_3.html\"");
  std::size_t m2 = at(html, classique ? "<p>Mariage&nbsp;: 1890<span class=\"sep\">,</span> <span "
                                        "class=\"lieu\">Quimper</span></p>"
                                      : "<p>Lieu du mariage&nbsp;: <i>Quimper</i></p>");
  std::size_t other = at(html, "<h2>Autres enfants</h2>");
  EXPECT_LT(u1, m1);
  EXPECT_LT(m1, u2);
  EXPECT_LT(u2, m2);
  EXPECT_LT(m2, other);
  EXPECT_EQ(persons(html, m1, u2), std::vector<int>({kAnne, kJean}));
  EXPECT_EQ(persons(html, m2, other), std::vector<int>({kLouis}));
  EXPECT_EQ(persons(html, other), std::vector<int>({kPaul}));
  EXPECT_NE(html.find("href=\"ascendants_n_1.html\""), std::string::npos);
  EXPECT_NE(html.find("href=\"descendants_n_1.html\""), std::string::npos);
  EXPECT_NE(html.find("href=\"nom_n_1.html\""), std::string::npos);

  std::size_t d1 = at(html, classique ? "<p>Divorce&nbsp;: 1885<span class=\"sep\">,</span> <span "
                                        "class=\"lieu\">Rennes</span></p>"
                                      : "<p>Lieu du divorce&nbsp;: <i>Rennes</i></p>");
  EXPECT_LT(m1, d1);
  EXPECT_LT(d1, u2);

  // The first wife sees the same marriage, and her own children only.
  const std::string& marie = page("personne_n_2.html");
  at(marie, classique ? "<p>Mariage&nbsp;: 10\u00a0mai\u00a01874<span class=\"sep\">,</span> <span "
                        "class=\"lieu\">Brest</span></p>"
                      : "<p>Mariage&nbsp;: 10\u00a0mai\u00a01874</p>");
  EXPECT_EQ(marie.find("Autres enfants"), std::string::npos);
  EXPECT_EQ(persons(marie, marie.find("<p>Mariage")), std::vector<int>({kAnne, kJean}));
}

TEST_P(FamilySite, ParentsAndHalfSiblingsAreLinked) {
  const std::string& jean = page("personne_n_4.html");
  std::size_t siblings = at(jean, "<h2>Frères et sœurs</h2>");
  EXPECT_EQ(persons(jean, 0, siblings), std::vector<int>({kPierre, kMarie}));
  EXPECT_EQ(persons(jean, siblings, jean.find("<h2>", siblings + 1)),
            std::vector<int>({kPaul, kAnne, kLouis}));
  const std::string& marie = page("personne_n_2.html");
  EXPECT_EQ(marie.find(cp("Frères et sœurs")), std::string::npos);
}

TEST_P(FamilySite, AncestorsComeByGenerationWithTheChildTheyAreParentOf) {
  const std::string& html = page("ascendants_n_4.html");
  std::size_t g1 = at(html, GetParam() == "classique" ? "<h2>Parents</h2>" : "Les parents</h2>");
  std::size_t g2 =
      at(html, GetParam() == "classique" ? "<h2>Grands-parents</h2>" : "Les grands-parents</h2>");
  EXPECT_EQ(persons(html, g1, g2), std::vector<int>({kPierre, kMarie}));
  std::size_t end =
      at(html, GetParam() == "classique" ? "<p class=\"actions\">" : "<p class=\"renvois\">");
  EXPECT_EQ(persons(html, g2, end), std::vector<int>({kJacques, kYvonne}));
  EXPECT_EQ(html.find(cp("rrière-grands-parents")), std::string::npos);
  const std::string& top = page("ascendants_n_8.html");
  EXPECT_EQ(persons(top, top.find("<h1>"), top.find("</main>")), std::vector<int>({kJacques}));
}

TEST_P(FamilySite, DescendantsFormATreeInBirthOrder) {
  const std::string& html = page("descendants_n_8.html");
  // Jacques, his wife, Pierre and Pierre's wives, then Pierre's children by birth (Paul's
  // baptism standing for his), and Jean's son under Jean.
  EXPECT_EQ(persons(html, html.find("<h1>"), html.find("</main>")),
            std::vector<int>({kJacques, kYvonne, kPierre, kMarie, kJeanne, kPaul, kAnne, kJean,
                              kCorentin, kLouis}));
  const std::string& leaf = page("descendants_n_6.html");
  at(leaf, "Aucun descendant");
}

// French typography in what a visitor reads: the text of every page (markup and scripts left
// out) has no breaking space before ":", ";", "!", "?", "»" or after "«", "°", "†". A hidden
// person's page says why it is short; nobody else's does.
TEST_P(FamilySite, TextFollowsFrenchTypographyAndSaysWhatIsHidden) {
  TVivants vivants(db, LivingMode::Hide, clock);
  TempDir dest;
  TKSParse parser(db, nullptr, clock);
  parser.Vivants = &vivants;
  ASSERT_TRUE(
      GenerateSite(parser, templateDir(GetParam()), dest.str(), nullptr, 1).failure.empty());
  const std::string masked = cp("Informations masquées&nbsp;: personne vivante");
  int pages = 0;
  for (const auto& e : fs::directory_iterator(dest.path())) {
    const std::string name = e.path().filename().string();
    if (e.path().extension() != ".html") continue;
    ++pages;
    const std::string html = test::readFile(e.path());
    std::string text;
    for (std::size_t i = 0; i < html.size(); ++i) {
      if (html.compare(i, 7, "<script") == 0) {
        i = html.find("</script>", i);
        if (i == std::string::npos) break;
      } else if (html[i] == '<') {
        i = html.find('>', i);
        if (i == std::string::npos) break;
      } else {
        text += html[i];
      }
    }
    for (const std::string& bad :
         std::vector<std::string>{" :", " ;", " !", " ?", cp(" »"), cp("« "), cp("° "), cp("† ")})
      EXPECT_EQ(text.find(bad), std::string::npos) << name << ": \"" << bad << "\"";
    const bool hidden = name == "personne_n_" + std::to_string(kCorentin) + ".html";
    EXPECT_EQ(html.find(masked) != std::string::npos, hidden) << name;
  }
  EXPECT_GT(pages, 20);
}

// Children come in the family's order whatever the pages hide of the living ones: by birth on
// the base's dates, an undated child in its place in the file, equal dates in file order.
TEST_P(FamilySite, ChildrenKeepTheirOrderInEveryLivingMode) {
  TBD fam;
  auto person = [&fam](const char* given, int sex, const std::string& born, const std::string& died,
                       int32_t father = 0, int32_t mother = 0) {
    int32_t p = fam.NewPerson();
    fam.SetSurname(p, "ORDRE");
    fam.SetGivenNames(p, given);
    fam.SetSex(p, sex);
    fam.SetFather(p, father);
    fam.SetMother(p, mother);
    if (!born.empty()) fam.SetPersonEvent(p, kNaissance, born, EventCode::Date);
    if (!died.empty()) fam.SetPersonEvent(p, kDeces, died, EventCode::Date);
    return p;
  };
  const int32_t father = person("Pierre", 0, "1900", "1970");
  const int32_t mother = person("Marie", 1, "1905", "1980");
  const int32_t u = fam.NewUnion();
  fam.SetHusband(u, father);
  fam.SetWife(u, mother);
  fam.SetUnionEvent(u, kMariage, "1925", EventCode::Date);
  // In file order; the living ones are those born after 1924 and not dead.
  const int32_t cadet = person("Cadet", 0, "1960", "", father, mother);
  const int32_t aine = person("A\xEEn\xE9", 0, "1930", "2000", father, mother);
  const int32_t undated = person("Sans date", 1, "", "", father, mother);
  const int32_t bis = person("Bis", 1, "1/3/1930", "1990", father, mother);
  const int32_t first = person("Premier", 0, "1955", "", father, mother);
  const int32_t twin = person("Second", 0, "1955", "", father, mother);
  const int32_t forty = person("Quarante", 1, "1940", "", father, mother);
  const std::vector<int> children = {aine, bis, undated, forty, first, twin, cadet};

  std::vector<int> withParents = {father, mother};
  withParents.insert(withParents.end(), children.begin(), children.end());
  const bool classique = GetParam() == "classique";
  for (LivingMode mode : {LivingMode::Hide, LivingMode::Anonymous, LivingMode::Publish}) {
    SCOPED_TRACE(LivingModeName(mode));
    TVivants vivants(fam, mode, clock);
    EXPECT_EQ(vivants.Masque(cadet), mode != LivingMode::Publish);
    TempDir dest;
    TKSParse parser(fam, nullptr, clock);
    parser.Vivants = &vivants;
    ASSERT_TRUE(
        GenerateSite(parser, templateDir(GetParam()), dest.str(), nullptr, 1).failure.empty());
    const std::string html =
        test::readFile(dest.path() / ("personne_n_" + std::to_string(father) + ".html"));
    std::size_t unions = at(html, classique ? "<h2>Unions</h2>" : "<h2>Alliances</h2>");
    std::vector<int> spouseAndChildren = {mother};
    spouseAndChildren.insert(spouseAndChildren.end(), children.begin(), children.end());
    EXPECT_EQ(persons(html, unions, html.find("<h2>", unions + 1)), spouseAndChildren);
    const std::string desc =
        test::readFile(dest.path() / ("descendants_n_" + std::to_string(father) + ".html"));
    EXPECT_EQ(persons(desc, desc.find("<h1>"), desc.find("</main>")), withParents);
    const std::string sibling =
        test::readFile(dest.path() / ("personne_n_" + std::to_string(undated) + ".html"));
    std::size_t siblings = at(sibling, "<h2>Frères et sœurs</h2>");
    std::vector<int> others = children;
    others.erase(std::find(others.begin(), others.end(), undated));
    EXPECT_EQ(persons(sibling, siblings, sibling.find("<h2>", siblings + 1)), others);
  }
}

INSTANTIATE_TEST_SUITE_P(Modeles, FamilySite, ::testing::ValuesIn(kTemplates));

}  // namespace
}  // namespace lignado
