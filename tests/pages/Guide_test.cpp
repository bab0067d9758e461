// Runs every example of docs/modeles.md and compares its output with the result the guide
// shows. Fences: "```kshtml" is an example, run with a fresh interpreter over the fixed family
// and followed by a "```resultat" block; "```kshtml fichier=NAME" is a template file the
// examples after it can include; "parametres=TEXT" on an example loads page parameters first;
// "vivants=MODE" runs it with living persons shown as MODE says; "lieux=FORM" runs it over a
// base whose file declared that order of place parts; "```references" lines read
// "reference → file name"; "```liens fichiers=A,B" lines read "attribute → attribute as the
// generator rewrites it" for a template folder holding the files A, B. The guide is UTF-8,
// templates and pages are Windows-1252.

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

#include "FamilleModele.h"
#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "genealogy/Vivants.h"
#include "pages/TemplateAssets.h"
#include "pages/TemplateCode.h"
#include "pages/WorkList.h"
#include "pages/uParser.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using Files = std::vector<std::pair<std::string, std::string>>;  // name, UTF-8 text

struct Example {
  int line = 0;  // of the opening fence
  std::string code, expected, parameters, living, placeForm;
  Files files;  // the template files defined above it
};

void PrintTo(const Example& e, std::ostream* os) {
  *os << "line " << e.line;
}

struct Guide {
  std::vector<Example> examples;
  std::vector<std::pair<int, std::string>> references;  // line, "reference → file name"
  struct Links {
    int line;
    std::vector<std::string> files, lines;
  };
  std::vector<Links> links;
  std::vector<std::string> faults;  // malformed fences
};

std::string guidePath() {
  return std::string(LIGNADO_SOURCE_DIR) + "/docs/modeles.md";
}

// The value of key=VALUE among the words after the fence's language.
std::string attribute(const std::string& info, const std::string& key) {
  std::istringstream words(info);
  std::string w;
  while (words >> w)
    if (w.rfind(key + "=", 0) == 0) return w.substr(key.size() + 1);
  return "";
}

Guide readGuide() {
  Guide g;
  std::ifstream in(guidePath());
  std::vector<std::string> lines;
  for (std::string l; std::getline(in, l);) lines.push_back(l);

  struct Block {
    int line;
    std::string lang, info, text;
  };
  std::vector<Block> blocks;
  for (std::size_t i = 0; i < lines.size(); ++i) {
    if (lines[i].rfind("```", 0) != 0) continue;
    Block b{static_cast<int>(i + 1), "", lines[i].substr(3), ""};
    std::istringstream(b.info) >> b.lang;
    std::size_t j = i + 1;
    for (; j < lines.size() && lines[j].rfind("```", 0) != 0; ++j) b.text += lines[j] + "\n";
    if (j == lines.size()) g.faults.push_back("unclosed fence at line " + std::to_string(b.line));
    blocks.push_back(b);
    i = j;
  }

  Files files;
  for (std::size_t k = 0; k < blocks.size(); ++k) {
    const Block& b = blocks[k];
    if (b.lang == "kshtml") {
      std::string name = attribute(b.info, "fichier");
      if (!name.empty()) {
        files.emplace_back(name, b.text);
        continue;
      }
      if (k + 1 == blocks.size() || blocks[k + 1].lang != "resultat") {
        g.faults.push_back("example at line " + std::to_string(b.line) + " has no result");
        continue;
      }
      g.examples.push_back({b.line, b.text, blocks[k + 1].text, attribute(b.info, "parametres"),
                            attribute(b.info, "vivants"), attribute(b.info, "lieux"), files});
      ++k;
    } else if (b.lang == "resultat") {
      g.faults.push_back("result at line " + std::to_string(b.line) + " follows no example");
    } else if (b.lang == "liens") {
      Guide::Links l{b.line, {}, {}};
      std::istringstream names(attribute(b.info, "fichiers"));
      for (std::string f; std::getline(names, f, ',');) l.files.push_back(f);
      std::istringstream text(b.text);
      for (std::string line; std::getline(text, line);) l.lines.push_back(line);
      g.links.push_back(l);
    } else if (b.lang == "references") {
      std::istringstream text(b.text);
      int n = b.line;
      for (std::string l; std::getline(text, l);) g.references.emplace_back(++n, l);
    }
  }
  return g;
}

const Guide& guide() {
  static const Guide g = readGuide();
  return g;
}

std::string crlfToLf(const std::string& s) {
  std::string out;
  for (std::size_t i = 0; i < s.size(); ++i)
    if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out += s[i];
  return out;
}

TEST(Guide, HoldsWellFormedExamples) {
  for (const std::string& f : guide().faults) ADD_FAILURE() << f;
  // Parsing that found nothing would let every example pass unseen.
  EXPECT_GE(guide().examples.size(), 20u);
  EXPECT_GE(guide().references.size(), 5u);
}

TEST(Guide, ReferencesNameTheirFiles) {
  const std::string arrow = " \xE2\x86\x92 ";  // " → "
  for (const auto& [line, text] : guide().references) {
    std::size_t at = text.find(arrow);
    ASSERT_NE(at, std::string::npos) << "line " << line;
    std::string reference = Utf8ToCp1252(text.substr(0, at));
    std::string file = Utf8ToCp1252(text.substr(at + arrow.size()));
    EXPECT_EQ(PageFileName(reference), file) << "line " << line;
  }
}

TEST(Guide, LinksAreRewrittenAsShown) {
  ASSERT_FALSE(guide().links.empty());
  const std::string arrow = " \xE2\x86\x92 ";
  for (const auto& block : guide().links) {
    test::TempDir dir;
    fs::create_directories(dir.path() / "modele");
    for (const std::string& f : block.files) {
      fs::create_directories((dir.path() / "modele" / f).parent_path());
      test::writeFile(dir.path() / "modele" / f, "");
    }
    TTemplateAssets assets((dir.path() / "modele").string() + "/", dir.str());
    for (const std::string& line : block.lines) {
      std::size_t at = line.find(arrow);
      ASSERT_NE(at, std::string::npos) << "line " << block.line;
      TWorkList list;
      EXPECT_EQ(RewriteLinks(Utf8ToCp1252(line.substr(0, at)), list, &assets),
                Utf8ToCp1252(line.substr(at + arrow.size())))
          << "block at line " << block.line << ": " << line;
    }
  }
}

class GuideExample : public ::testing::TestWithParam<Example> {
 protected:
  void SetUp() override { test::BuildFamilleModele(db); }
  const FixedClock clock{{2024, 12, 7, 14, 30, 0}};
  TBD db;
  test::TempDir dir;
};

TEST_P(GuideExample, GivesTheResultShown) {
  const Example& ex = GetParam();
  for (const auto& [name, text] : ex.files) test::writeFile(dir.path() / name, Utf8ToCp1252(text));
  db.PlaceForm = Utf8ToCp1252(ex.placeForm);
  TKSParse parser(db, nullptr, clock);
  std::optional<TVivants> vivants;
  if (!ex.living.empty()) {
    std::optional<LivingMode> mode = LivingModeNamed(ex.living);
    ASSERT_TRUE(mode) << ex.living;
    vivants.emplace(db, *mode, clock);
    parser.Vivants = &*vivants;
  }
  parser.SetParameters(Utf8ToCp1252(ex.parameters));
  std::vector<std::string> out = parser.RunTemplate(SplitLines(Utf8ToCp1252(ex.code)), dir.str());
  std::string page;
  for (const std::string& l : out) page += l + "\r\n";
  std::string got = crlfToLf(page);
  EXPECT_EQ(got, Utf8ToCp1252(ex.expected))
      << "example at line " << ex.line << " of docs/modeles.md gives:\n"
      << Cp1252ToUtf8(got);
}

std::string exampleName(const ::testing::TestParamInfo<Example>& info) {
  return "ligne_" + std::to_string(info.param.line);
}

INSTANTIATE_TEST_SUITE_P(Modeles, GuideExample, ::testing::ValuesIn(guide().examples), exampleName);

}  // namespace
}  // namespace lignado
