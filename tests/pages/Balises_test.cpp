#include "pages/Balises.h"

#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>
#include <tuple>

#include "TestSupport.h"
#include "data/Base.h"
#include "genealogy/Sosa.h"
#include "genealogy/Vivants.h"
#include "pages/ListesSite.h"
#include "pages/Remplace.h"
#include "util/Utf8.h"

namespace lignado {
namespace {

std::string tagOf(const TagRow& r) {
  return "<" + std::string(r.name) + (r.argument == TagArgument::After ? "1" : "") + ">";
}

bool isTag(const TagRow& r) {
  return r.family != TagFamily::List && r.family != TagFamily::Function;
}

// Each tag row is reached by its own name: no row hides another, every tag has a handler.
TEST(TagTableTest, EveryRowIsReachedByItsName) {
  std::set<std::pair<bool, std::string_view>> names;
  for (const TagRow& r : TagTable()) {
    EXPECT_TRUE(names.insert({isTag(r), r.name}).second) << "twice: " << r.name;
    if (!isTag(r)) continue;
    EXPECT_NE(r.handler, nullptr) << r.name;
    EXPECT_EQ(ResolveTag(tagOf(r)).row, &r) << tagOf(r);
  }
}

TEST(TagTableTest, FormsAndUnknownTags) {
  const std::string annee =
      "ann\xE9"
      "e";
  struct Row {
    std::string tag;
    std::string row, argument, forms;
    int js;
    std::string sentence;  // for an unknown tag
  } rows[] = {
      {"<ddn:clair>", "ddn", "", "c", 0, ""},
      {"<ddn:" + annee + ":clair:js>", "ddn", "", "ac", 1, ""},
      {"<ldm:clair>", "ldm", "", "c", 0, ""},
      {"<ddn JJ:clair>", "ddn ", "JJ:clair", "", 0, ""},  // a pattern keeps its colon
      {"<chp:Titre:clair>", "chp:", "Titre:clair", "", 0, ""},
      {"<conjoint 2:js>", "conjoint", " 2", "", 1, ""},
      {"<nom:js:js>", "nom", "", "", 2, ""},
      {"<eve:Naissance,date:js>", "eve:", "Naissance,date:js", "", 0, ""},  // no ":js" there
      {"<profesion>", "", "", "", 0, "Balise inconnue : <profesion>"},
      {"<ldn:" + annee + ">", "", "", "", 0,
       "Forme de balise inconnue : <ldn:" + annee + "> (<ldn> ne prend pas la forme :" + annee +
           ")"},
      {"<nom:clair>", "", "", "", 0,
       "Forme de balise inconnue : <nom:clair> (<nom> ne prend pas la forme :clair)"},
      {"<ddn:js:clair>", "", "", "", 0,
       "Forme de balise inconnue : <ddn:js:clair> (<ddn:js> ne prend pas la forme :clair)"},
      {"<Nom>", "", "", "", 0, "Balise inconnue : <Nom>"},
      {"<B>", "", "", "", 0, ""},
      {"</div>", "", "", "", 0, ""},
      {"<br/>", "", "", "", 0, ""},
      {"<H1 class=\"x\">", "", "", "", 0, ""},
      {"<!-- note -->", "", "", "", 0, ""},
      {"<>", "", "", "", 0, "Balise inconnue : <>"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.tag);
    TagRef ref = ResolveTag(r.tag);
    EXPECT_EQ(ref.row ? std::string(ref.row->name) : "", r.row);
    if (ref.row) {
      EXPECT_EQ(std::string(ref.argument), r.argument);
    }
    EXPECT_EQ(ref.forms, r.forms);
    EXPECT_EQ(ref.js, r.js);
    EXPECT_EQ(UnknownTagSentence(r.tag), r.sentence);
  }
  TTagText text("<profesion> <b> <profesion> <nom:clair>");
  std::vector<std::tuple<size_t, bool, std::string>> unknown;
  for (const TTagText::Unknown& u : text.UnknownTags())
    unknown.emplace_back(u.offset, u.form, u.sentence);
  EXPECT_EQ(unknown, (std::vector<std::tuple<size_t, bool, std::string>>{
                         {0, false, "Balise inconnue : <profesion>"},
                         {28, true,
                          "Forme de balise inconnue : <nom:clair> (<nom> ne prend pas la "
                          "forme :clair)"}}));
}

// For a living person the site hides, which tags count as asking for a hidden value: a sort
// puts such a person last. Markup, unknown navigation and event tags never do.
TEST(TagTableTest, WhatTheLivingRuleWithholds) {
  TBD db;
  int32_t p = db.NewPerson();
  db.SetSurname(p, "DUPONT");
  db.SetGivenNames(p, "Jean");
  db.SetPersonEvent(p, kNaissance, "1990", 2);
  const FixedClock today({2024, 12, 7});
  const TVivants hide(db, LivingMode::Hide, today), anonymous(db, LivingMode::Anonymous, today);
  struct Row {
    const TVivants* vivants;
    std::string text, value;
    bool withheld;
  } rows[] = {
      {&hide, "<nom> <pre> <sexe> <ks-num> <h>", "DUPONT Jean homme 1 ", false},
      {&anonymous, "<pre>|<pr\xE9nom principal>", "Personne vivante|Personne vivante", false},
      {&hide, "[<masqu\xE9>]", "[oui]", false},
      {&hide, "[<i>x<em><source:x><inconnu>]", "[x]", false},
      {&hide, "<b>", "", true},
      {&hide, "</i>", "", true},
      {&hide, "<nom:clair>", "", true},
      {&hide, "<ddn:clair>", "", true},
      {&hide, "[<age>|<nombre de photos>]", "[0|0]", true},
      {&hide, "[<ddn AA>]", "[ 0]", true},
      {&hide, "[<eve:Naissance,date>]", "[]", true},
      {nullptr, "<b><ddn:clair>|<masqu\xE9>|<age>", "1990||34", false},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(r.text);
    bool withheld = !r.withheld;
    EXPECT_EQ(ExpandTags(db, p, r.text, today, r.vivants, &withheld), r.value);
    EXPECT_EQ(withheld, r.withheld);
  }
}

// Sosa and d'Aboville numbers reach the pages exact (implex, 70 generations), living persons
// included, and go when a link changes the tree.
TEST(TagTableTest, SosaAndAbovilleNumbers) {
  TBD db;
  auto person = [&db](int32_t father, int32_t mother, const std::string& birth = "") {
    const int32_t p = db.NewPerson();
    db.SetSurname(p, "X");
    db.SetFather(p, father);
    db.SetMother(p, mother);
    if (!birth.empty()) db.SetPersonEvent(p, kNaissance, birth, EventCode::Date);
    return p;
  };
  // f and c are brother and sister; c's daughter m married f: a and b are met twice.
  const int32_t a = person(0, 0), b = person(0, 0), f = person(a, b), c = person(a, b);
  // A chain of fathers from generation 70 down to line, at generation 3.
  const int32_t top = person(0, 0);
  int32_t line = top;
  for (int g = 69; g >= 3; --g) line = person(line, 0);
  const int32_t m = person(c, line), r = person(f, m);
  const int32_t younger = person(r, 0, "2000"), elder = person(r, 0, "1998");
  const int32_t grandchild = person(0, younger, "2020"), stranger = person(0, 0);
  NumberTree(db, r);
  const FixedClock today({2024, 12, 7});
  const TVivants hide(db, LivingMode::Hide, today);
  const std::string text = "<Sosa>|<Sosa:tous>|<Aboville>|<g\xE9n\xE9ration>";
  const struct {
    int32_t who;
    std::string value;
  } cases[] = {
      {r, "1|1|1|1"},    {m, "3|3||2"},
      {a, "4|4, 12||3"}, {b, "5|5, 13||3"},
      {line, "7|7||3"},  {top, "1033017668127734890496|1033017668127734890496||70"},
      {elder, "||1.1|"}, {grandchild, "||1.2.1|"},
      {stranger, "|||"},
  };
  for (const auto& k : cases)
    EXPECT_EQ(ExpandTags(db, k.who, text, today, &hide), k.value) << k.who;

  const std::string gen3 = std::to_string(a) + "|" + std::to_string(b) + "|" + std::to_string(c) +
                           "|" + std::to_string(line);
  EXPECT_EQ(ListeSite(db, "sosa", "3", "", &hide), gen3);
  const std::string first =
      std::to_string(r) + "|" + std::to_string(f) + "|" + std::to_string(m) + "|" + gen3 + "|";
  EXPECT_EQ(ListeSite(db, "sosa", "", "", &hide)->substr(0, first.size()), first);
  EXPECT_EQ(ListeSite(db, "sosa", "70", "", &hide), std::to_string(top));
  const std::string gens = *ListeSite(db, "generations", "", "", &hide);
  EXPECT_EQ(gens.substr(0, 6) + gens.substr(gens.size() - 8), "1|2|3|68|69|70");

  db.SetFather(stranger, r);  // the numbers no longer are those of the tree
  EXPECT_EQ(ExpandTags(db, a, text, today, &hide), "|||");
  EXPECT_EQ(ListeSite(db, "sosa", "", "", &hide), "");
}

// The tables of the template guide and the table of tags name the same tags and lists.
TEST(TagTableTest, TheGuideDocumentsEveryTagAndNoOther) {
  std::ifstream in(std::string(LIGNADO_SOURCE_DIR) + "/docs/modeles.md");
  ASSERT_TRUE(in);
  std::string guide;
  std::set<const TagRow*> documented;
  std::set<std::string> lists;
  const std::regex tagCell("`(<[^`]*>)`"), listCell("^\\| `liste_([a-z]+)\\(");
  for (std::string line; std::getline(in, line);) {
    line = Utf8ToCp1252(line);
    guide += line + "\n";
    if (line.rfind("| `", 0) != 0) continue;
    std::smatch m;
    if (std::regex_search(line, m, listCell)) lists.insert(m[1]);
    const std::string cell = line.substr(0, line.find('|', 1));
    for (std::sregex_iterator it(cell.begin(), cell.end(), tagCell), end; it != end; ++it) {
      const std::string tag = (*it)[1];
      const TagRef ref = ResolveTag(tag);
      EXPECT_NE(ref.row, nullptr) << "the guide documents an unknown tag: " << tag;
      if (ref.row) documented.insert(ref.row);
    }
  }
  for (const TagRow& r : TagTable()) {
    const std::string name(r.name);
    if (isTag(r))
      EXPECT_TRUE(documented.count(&r)) << "not in a table of the guide: " << tagOf(r);
    else if (r.family == TagFamily::List)
      EXPECT_NE(guide.find("`liste_" + name + "("), std::string::npos) << "liste_" << name;
    else
      EXPECT_NE(guide.find(name + "("), std::string::npos) << name;
  }
  for (const std::string& l : lists) {
    bool found = false;
    for (const TagRow& r : TagTable()) found |= r.family == TagFamily::List && r.name == l;
    EXPECT_TRUE(found) << "the guide documents an unknown list: liste_" << l;
  }
  EXPECT_FALSE(lists.empty());
}

}  // namespace
}  // namespace lignado
