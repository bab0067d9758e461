#include "pages/Remplace.h"

#include <gtest/gtest.h>

#include "data/Base.h"
#include "genealogy/DateLieu.h"
#include "genealogy/Vivants.h"
#include "pages/Medias.h"

namespace lignado {
namespace {

// Person numbers of the family built below.
enum : int32_t {
  kJacques = 1,    // paternal grandfather
  kCatherine = 2,  // paternal grandmother, born 1830, nothing else
  kJean = 3,       // married twice: Anne (1891, union 2), Marie (1874, union 3)
  kMarie = 4,      // death known only by its burial
  kAnne = 5,
  kPierre = 6,   // son of Jean and Marie, birth known only by its baptism
  kLouise = 7,   // daughter of Jean and Anne: Pierre's half-sister; single mother of Claude
  kJeanne = 8,   // daughter of Pierre
  kHelene = 9,   // Pierre's wife, undated marriage
  kClaude = 10,  // unknown sex, married to Paul as the wife
  kMarc = 11,
  kPaul = 12,
};

const std::string kBrestKerbonne = "France, Bretagne, 29, 200 Brest, Kerbonne";
const std::string kQuimper = "France, Bretagne, 29, Quimper";
// Event kind and sub-field whose accent comes before a hexadecimal digit.
const std::string kDeces =
    "D\xE9"
    "c\xE8s";
const std::string kAnnee =
    "ann\xE9"
    "e";

class RemplaceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    person("DUPONT", "Jacques", 0);
    person("LEGRAND", "Catherine", 1);
    person("DUPONT", "Jean Marie", 0, kJacques, kCatherine);
    person("MARTIN", "Marie", 1);
    person("LEROY", "Anne", 1);
    person("DUPONT", "Pierre", 0, kJean, kMarie);
    person("DUPONT", "Louise", 1, kJean, kAnne);
    person("DUPONT", "Jeanne", 1, kPierre);
    person("BLANC", "H\xE9l\xE8ne", 1);
    person("DUPONT", "Claude", 2, 0, kLouise);
    person("ROUX", "Marc", 0);
    person("NOIR", "Paul", 0);

    event(kCatherine, kNaissance, "1830", "");
    event(kJean, kNaissance, "12/5/1850", kBrestKerbonne);
    db.SetPersonEvent(kJean, kNaissance, "10h30", 3);
    db.SetPersonEvent(kJean, kNaissance, "Sage-femme\r\npr\xE9sente", 5);
    event(kJean, kDeces, "3/4/1920", kQuimper);
    db.SetAttribute(kJean, "Profession", "Tisserand");
    db.SetAttribute(kJean, "Titre", "Comte");
    db.SetPersonField(kJean, 18, "Ligne 1\r\nLigne 2");
    db.SetPersonField(kJean, 21, "1/1/1999");
    db.SetPersonField(kJean, 22, "2/2/2000");
    db.SetPersonField(kJean, 26, "12");
    event(kMarie, kNaissance, "vers 1852", "Brest");
    event(kMarie, kSepulture, "1890", "Brest");
    event(kAnne, kNaissance, "", "Quimper");
    event(kAnne, kDeces, "1/1/1930", "");
    event(kPierre, kBapteme, "7/6/1875", "Brest");
    event(kJeanne, kNaissance, "15/8/1905", "Paris");
    event(kJeanne, kDeces, "", "Lyon");
    event(kHelene, kNaissance, "", "France, Corse, 2A, Ajaccio");
    event(kHelene, kDeces, "", "France, IDF, 75012 Paris, Paris");
    event(kMarc, kNaissance, "5/1850", "");

    unite(kJacques, kCatherine);
    int32_t u2 = unite(kJean, kAnne);
    db.SetUnionEvent(u2, kMariage, "10/10/1891", 2);
    int32_t u3 = unite(kJean, kMarie);
    db.SetUnionEvent(u3, kMariage, "1/2/1874", 2);
    db.SetUnionEvent(u3, kMariage, "France, Bretagne, 29, Brest", 4);
    db.SetUnionEvent(u3, kDivorce, "1880", 2);
    db.SetUnionEvent(u3, kDivorce, "Rennes", 4);
    int32_t u4 = unite(kPierre, kHelene);
    db.SetUnionEvent(u4, kMariage, "Paris", 4);
    unite(kMarc, kJeanne);
    unite(kPaul, kClaude);
  }

  void person(const char* nom, const char* pre, int sex, int32_t father = 0, int32_t mother = 0) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, nom);
    db.SetGivenNames(p, pre);
    db.SetSex(p, sex);
    db.SetFather(p, father);
    db.SetMother(p, mother);
  }
  void event(int32_t p, const std::string& kind, const std::string& date,
             const std::string& place) {
    int32_t e = db.AddPersonEvent(p);
    ASSERT_NE(e, 0);
    db.EventRecord(e)->Kind = kind;
    db.EventRecord(e)->Date = date;
    db.EventRecord(e)->Place = place;
  }
  int32_t unite(int32_t h, int32_t f) {
    int32_t u = db.NewUnion();
    db.SetHusband(u, h);
    db.SetWife(u, f);
    return u;
  }
  std::string x(int32_t p, const std::string& text) { return ExpandTags(db, p, text, today); }

  const FixedClock today{{1950, 1, 1}};
  TBD db;
};

TEST_F(RemplaceTest, NothingToExpand) {
  EXPECT_EQ(x(kJean, ""), "");
  EXPECT_EQ(x(0, "<nom>"), "");
  EXPECT_EQ(x(-3, "texte"), "");
  EXPECT_EQ(x(kJean, "sans balise"), "sans balise");
  // A person beyond the database is still a current person, with nothing stored.
  EXPECT_EQ(x(999, "[<nom>|<ks-num>]"), "[|999]");
}

TEST_F(RemplaceTest, ParentsAndIndividu) {
  EXPECT_EQ(x(kPierre, "<p\xE8re><pr\xE9nom>"), "Jean Marie");
  EXPECT_EQ(x(kPierre, "<p\xE8re><m\xE8re><nom>"), "LEGRAND");
  EXPECT_EQ(x(kPierre, "<i-p\xE8re><i-m\xE8re><nom>"), "LEGRAND");
  EXPECT_EQ(x(kPierre, "<p\xE8re><individu><pr\xE9nom>"), "Pierre");
  EXPECT_EQ(x(kPierre, "<m\xE8re><nom>"), "MARTIN");
  EXPECT_EQ(x(kLouise, "<m\xE8re><nom>"), "LEROY");
  // Off the top of the tree: no person, so person tags give nothing until <individu>.
  EXPECT_EQ(x(kPierre, "<p\xE8re><p\xE8re><p\xE8re><nom>|<ks-num>"), "|");
  EXPECT_EQ(x(kPierre, "<p\xE8re><p\xE8re><p\xE8re><p\xE8re><individu><ks-num>"), "6");
  EXPECT_EQ(x(kClaude, "<p\xE8re><nom>/<m\xE8re><pr\xE9nom>"), "/");
  EXPECT_EQ(x(kClaude, "<p\xE8re><nom>/<individu><m\xE8re><pr\xE9nom>"), "/Louise");
}

TEST_F(RemplaceTest, SpousesByNumber) {
  EXPECT_EQ(x(kJean, "<conjoint 0><nom>"), "LEROY");  // latest marriage
  EXPECT_EQ(x(kJean, "<conjoint 1><nom>"), "MARTIN");
  EXPECT_EQ(x(kJean, "<conjoint 2><nom>"), "LEROY");
  EXPECT_EQ(x(kJean, "<conjoint 3><nom>|<ks-num>|<eve:Naissance,date>"), "||");
  EXPECT_EQ(x(kJean, "<conjoint -1><nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint -2><nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint x><nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint ><nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint><nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint:1><nom>"), "MARTIN");  // any separator
  EXPECT_EQ(x(kJean, "<conjoint 01><nom>"), "MARTIN");
  EXPECT_EQ(x(kJean, "<i-conjoint 1><nom>"), "MARTIN");
  EXPECT_EQ(x(kJean, "<i-conjoint 0><nom>"), "LEROY");
  EXPECT_EQ(x(kJean, "<i-conjoint 7><nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint 3><individu><pr\xE9nom>"), "Jean Marie");
  EXPECT_EQ(x(kMarie, "<conjoint 1><pr\xE9nom>"), "Jean Marie");
  EXPECT_EQ(x(kClaude, "<conjoint 0><pr\xE9nom>"), "Paul");
  EXPECT_EQ(x(kLouise, "<conjoint 0><pr\xE9nom>"), "");
  EXPECT_EQ(x(kJean, "<conjoint 1><m\xE8re><conjoint 0><nom>"), "");
}

TEST_F(RemplaceTest, UnionsAndTheirEvents) {
  EXPECT_EQ(x(kJean, "<union 1><eve:Mariage,date>|<ddm>"), "1/2/1874|10/10/1891");
  EXPECT_EQ(x(kJean, "<union 0><eve:Mariage,date>"), "10/10/1891");
  EXPECT_EQ(x(kJean, "<union 2><eve:Mariage,lieu>"), "");
  EXPECT_EQ(x(kJean, "<union 1><eve:Mariage,lieu>|<ldm>"), "France, Bretagne, 29, Brest|");
  EXPECT_EQ(x(kJean, "<i-union 1><eve:Divorce,date> <eve:Divorce,lieu>"), "1880 Rennes");
  EXPECT_EQ(x(kJean, "<union 1>[<date de divorce>|<lieu de divorce>]"), "[|]");
  EXPECT_EQ(x(kJean, "<union 3><eve:Mariage,date>"), "");
  EXPECT_EQ(x(kJean, "<union 1><nom>"), "DUPONT");
  EXPECT_EQ(x(kJean, "<union 1><individu><eve:Mariage,date>"), "");
  EXPECT_EQ(x(kJean, "<union 1><m\xE8re><eve:Naissance,date>"), "1830");
  EXPECT_EQ(x(kJean, "<union 1><conjoint 1><eve:Naissance,date>"), "vers 1852");
  EXPECT_EQ(x(kJean, "<union 1><eve:Naissance,date>"), "");
  EXPECT_EQ(x(kPierre, "<union 0><eve:Mariage,date>|<eve:Mariage,lieu>|<ddm>|<ldm>"),
            "|Paris||Paris");
  EXPECT_EQ(x(kLouise, "<union 0><eve:Mariage,lieu>|<ddm>"), "|");
}

TEST_F(RemplaceTest, NamesNotesAndNumbers) {
  EXPECT_EQ(x(kJean, "<nom> <pre>/<pr\xE9nom>/<pr\xE9noms>/<pr\xE9nom principal>"),
            "DUPONT Jean Marie/Jean Marie/Jean Marie/Jean");
  EXPECT_EQ(x(kJean, "<profession>|<chp:Titre>|<chp:Profession>|<chp:titre>|<chp:>"),
            "Tisserand|Comte|Tisserand||");
  EXPECT_EQ(x(kJean, "<note>"), "Ligne 1 Ligne 2");
  EXPECT_EQ(x(kJean, "<num\xE9ro>|<Sosa>|<Aboville>|<ks-num>"), "12|||3");  // no numbering
  EXPECT_EQ(x(kPierre, "<num\xE9ro>|<ks-num>"), "|6");
  EXPECT_EQ(x(kJean, "<sexe>/"), "homme/");
  EXPECT_EQ(x(kMarie, "<sexe>"), "femme");
  EXPECT_EQ(x(kClaude, "<sexe>"), "inconnu");
}

TEST_F(RemplaceTest, Age) {
  EXPECT_EQ(x(kJean, "<age>"), "69");        // 12/5/1850 to 3/4/1920
  EXPECT_EQ(x(kJeanne, "<age>"), "44");      // alive, today 1/1/1950
  EXPECT_EQ(x(kClaude, "<age>"), "0");       // no birth date
  EXPECT_EQ(x(kAnne, "<age>"), "0");         // a death date but no birth date
  EXPECT_EQ(x(kCatherine, "<age>"), "120");  // 1830: the maximum age, still given
}

TEST_F(RemplaceTest, DatesAndPlacesAsStored) {
  EXPECT_EQ(x(kJean,
              "<ddn>|<date de naissance>|<ddd>|<date de d\xE9"
              "c\xE8s>|<date cr\xE9\xE9>|<date maj>"),
            "12/5/1850|12/5/1850|3/4/1920|3/4/1920|1/1/1999|2/2/2000");
  EXPECT_EQ(x(kPierre, "<ddb>|<date de bapt\xEAme>|<ldb>|<lieu de bapt\xEAme>"),
            "7/6/1875|7/6/1875|Brest|Brest");
  EXPECT_EQ(x(kMarie, "<dds>|<date de s\xE9pulture>|<lds>|<lieu de s\xE9pulture>"),
            "1890|1890|Brest|Brest");
  EXPECT_EQ(x(kJean, "<ldn>|<lieu de naissance>"), kBrestKerbonne + "|" + kBrestKerbonne);
  EXPECT_EQ(x(kJean,
              "<ldd>|<lieu de d\xE9"
              "c\xE8s>"),
            kQuimper + "|" + kQuimper);
  EXPECT_EQ(x(kJean, "<ddm>|<date de mariage>|<ldm>|<lieu de mariage>"), "10/10/1891|10/10/1891||");
  EXPECT_EQ(x(kMarie, "<ddm>|<ldm>|<date de divorce>|<lieu de divorce>"),
            "1/2/1874|France, Bretagne, 29, Brest|1880|Rennes");
  // No fallback for the plain date tags, and a long form takes no pattern.
  EXPECT_EQ(x(kPierre, "[<ddn>|<ldn>]"), "[|]");
  EXPECT_EQ(x(kJean, "[<date de naissance JJ>]"), "[]");
}

TEST_F(RemplaceTest, BirthDatePattern) {
  EXPECT_EQ(x(kJean, "<ddn JJ/MM/AA>"), " 12/5/1850");
  EXPECT_EQ(x(kMarie, "<ddn JJ/MM/AA>"), "vers 0/0/1852");
  EXPECT_EQ(x(kPierre, "<ddn JJ/MM/AA>"), " 0/0/0");
  EXPECT_EQ(x(kCatherine, "<ddn AA>"), " 1830");
  // Only the first of each key, and only inside the pattern.
  EXPECT_EQ(x(kJean, "DAAB <ddn AA-AA JJ MM MM>"), "DAAB  1850-AA 12 5 MM");
  EXPECT_EQ(x(kJean, "<ddn le JJ du MM>"), " le 12 du 5");
  EXPECT_EQ(x(kJean, "<ddn >"), " ");
}

TEST_F(RemplaceTest, SummaryLineFlags) {
  EXPECT_EQ(x(kJean, "<o+x>"), "o + x xd");  // complete everywhere, second marriage placeless
  EXPECT_EQ(x(kMarie, "<o+x>"), "ol x");     // "vers" is no complete date; burial ignored
  EXPECT_EQ(x(kAnne, "<o+x>"), "ol +d xd");
  EXPECT_EQ(x(kJeanne, "<o+x>"), "o +l");  // marriage with nothing known left out
  EXPECT_EQ(x(kPierre, "<o+x>"), "xl");    // baptism is no birth
  EXPECT_EQ(x(kMarc, "<o+x>"), "");        // 5/1850 is not complete
  EXPECT_EQ(x(kClaude, "[<o+x>]"), "[]");
}

TEST_F(RemplaceTest, EventDateSubFields) {
  EXPECT_EQ(
      x(kJean,
        "<eve:Naissance,date>|<eve:Naissance,jour>|<eve:Naissance,mois>|"
        "<eve:Naissance," +
            kAnnee + ">|<eve:Naissance,f\xEAte>|<eve:Naissance,zodiaque>|<eve:Naissance,heure>"),
      "12/5/1850|12|5|1850||Taureau|10h30");
  EXPECT_EQ(x(kJean, "<\xE9v\xE9:" + kDeces + "," + kAnnee + ">/<\xE9v\xE8:" + kDeces + ",jour>"),
            "1920/3");
  EXPECT_EQ(x(kMarc, "[<eve:Naissance,jour>|<eve:Naissance,mois>|<eve:Naissance,zodiaque>]"),
            "[|5|]");
  // A year alone and no baptism: nothing for the day.
  EXPECT_EQ(x(kCatherine, "[<eve:Naissance,jour>]"), "[]");
  // The sub-field is lowered and cut at its first blank.
  EXPECT_EQ(x(kJean, "<eve:Naissance,DATE compl\xE8te>|<eve:Naissance,Heure>"), "12/5/1850|10h30");
  EXPECT_EQ(x(kJean, "<eve:Naissance,note>"), "Sage-femme pr\xE9sente");
}

TEST_F(RemplaceTest, EventPlaceSubFields) {
  const std::string all =
      "<eve:Naissance,lieu>|<eve:Naissance,pays>|<eve:Naissance,r\xE9gion>|"
      "<eve:Naissance,d\xE9partement>|<eve:Naissance,commune>|<eve:Naissance,lieu-dit>|"
      "<eve:Naissance,code postal>|<eve:Naissance,adresse>";
  EXPECT_EQ(x(kJean, all),
            kBrestKerbonne + "|France|Bretagne|29200|Brest|Kerbonne|29200|Kerbonne 29200 Brest");
  const std::string deces = "<eve:" + kDeces + ",";
  EXPECT_EQ(x(kJean, deces + "d\xE9partement>|" + deces + "code postal>|" + deces + "adresse>"),
            "29|29000| 29000 Quimper");
  EXPECT_EQ(x(kAnne, "<eve:Naissance,pays>|<eve:Naissance,code postal>|<eve:Naissance,adresse>|"),
            "Quimper||  |");
  EXPECT_EQ(x(kHelene, "<eve:Naissance,d\xE9partement>|<eve:Naissance,code postal>"), "2A|");
  EXPECT_EQ(x(kHelene, deces + "code postal>|" + deces + "commune>"), "75012|Paris");
  EXPECT_EQ(x(kJean, "<eve:Naissance,Code Postal du lieu>"), "29200");
}

// A file that declares the order of its places: each sub-field takes the part its name gives;
// an INSEE code is no postal code.
TEST_F(RemplaceTest, EventPlaceSubFieldsFollowTheDeclaredForm) {
  db.PlaceForm = "Lieudit, Commune, Code_INSEE, D\xE9partement, R\xE9gion, Pays";
  db.SetPersonEvent(kJean, kNaissance,
                    "Ch\xE2teau, Saint-Germain-en-Laye, 78551, Yvelines, \xCEle-de-France, FRANCE",
                    4);
  const std::string all =
      "<eve:Naissance,pays>|<eve:Naissance,r\xE9gion>|<eve:Naissance,d\xE9partement>|"
      "<eve:Naissance,commune>|<eve:Naissance,lieu-dit>|<eve:Naissance,code postal>|"
      "<eve:Naissance,adresse>";
  EXPECT_EQ(x(kJean, all),
            "FRANCE|\xCEle-de-France|Yvelines|Saint-Germain-en-Laye|Ch\xE2teau||"
            "Ch\xE2teau  Saint-Germain-en-Laye");
  EXPECT_EQ(x(kJean, "<ldn:clair>"),
            "Ch\xE2teau, Saint-Germain-en-Laye, 78551, Yvelines, \xCEle-de-France, FRANCE");
  db.PlaceForm = "City, Zip, State, Country";
  EXPECT_EQ(x(kMarie, "<eve:Naissance,commune>|<eve:Naissance,pays>"), "Brest|");
}

TEST_F(RemplaceTest, MalformedEventTagsAreRemoved) {
  EXPECT_EQ(x(kJean,
              "[<eve:Naissance>|<eve:,date>|<eve:naissance,date>|<eve:Naissance,xyz>|"
              "<evenement>|<e>|<\xE9t\xE9>|<eve:Inconnu,date>]"),
            "[|||||||]");
  EXPECT_EQ(x(kPierre, "[<eve:naissance,date>]"), "[]");  // kinds match exactly: no fallback
  int32_t e = db.AddPersonEvent(kClaude);
  db.EventRecord(e)->Kind = "N";
  db.EventRecord(e)->Date = "1900";
  EXPECT_EQ(x(kClaude, "<eve:N,date>"), "1900");  // a one-letter kind is still a kind
}

// A missing birth is read from the baptism, marked " b", a missing death from the burial,
// marked " ()", in every form of the tag.
TEST_F(RemplaceTest, BaptismAndBurialFallbacks) {
  const std::string deces = "<eve:" + kDeces + ",";
  const struct {
    int32_t person;
    std::string text, expected;
  } rows[] = {
      {kPierre, "<eve:Naissance,date>", "7/6/1875 b"},
      {kPierre, "<eve:Naissance,lieu>.", "Brest b."},
      {kPierre, "<eve:Naissance,jour>", "7 b"},
      {kPierre, "<\xE9v\xE9:Naissance," + kAnnee + ">", "1875 b"},
      {kPierre, "[<eve:Naissance,note>]", "[]"},  // the baptism has no note either
      {kPierre, "<eve:Naissance,date:clair>",
       "7\xA0juin\xA0"
       "1875 b"},
      {kMarie, deces + "date>", "1890 ()"},
      {kMarie, deces + "lieu>", "Brest ()"},
      {kMarie, deces + "jour>", " ()"},  // the burial date is there, its day is not
      {kMarie, deces + "date:clair>", "1890 ()"},
      {kMarie, "[<eve:Naissance,date>]", "[vers 1852]"},
      {kClaude, "[" + deces + "date>]", "[]"},
      // With a union current, the fallback still asks the person, then reads the union.
      {kPierre, "<union 0><eve:Naissance,date>", " b"},
  };
  for (const auto& r : rows) EXPECT_EQ(x(r.person, r.text), r.expected) << r.text;
}

// Forms added to the vocabulary: ":clair" in words, ":ann\xE9e" the year. Tags of the table
// only; anything else with a colon stays an unknown tag.
TEST_F(RemplaceTest, DatesAndPlacesInWords) {
  const std::string annee = ":" + kAnnee + ">";
  EXPECT_EQ(x(kJean,
              "<ddn:clair> \xE0 <ldn:clair>, <date de d\xE9"
              "c\xE8s:clair>"),
            "12\xA0mai\xA0"
            "1850 \xE0 " +
                kBrestKerbonne +
                ", 3\xA0"
                "avril\xA0"
                "1920");
  EXPECT_EQ(x(kMarie, "<ddn:clair>|<ddm:clair>|<ldm:clair>|<date de divorce:clair>|<ddn" + annee),
            "vers\xA0"
            "1852|1er\xA0"
            "f\xE9vrier\xA0"
            "1874|France, Bretagne, 29, Brest|1880|1852");
  EXPECT_EQ(x(kJean, "[<ddd" + annee + "|<ldn" + annee + "|<nom:clair>|<chp:clair>|<ddn:x>]"),
            "[1920||||]");
  EXPECT_EQ(x(kJean, "<eve:Naissance,date:clair>/<eve:Naissance,LIEU:Clair>"),
            "12\xA0mai\xA0"
            "1850/" +
                kBrestKerbonne);
  EXPECT_EQ(x(kJean, "[<eve:Naissance,jour:clair>|<eve:Naissance,date:x>]"), "[|]");
  // A pattern with a colon is still a pattern.
  EXPECT_EQ(x(kJean, "<ddn JJ:clair>"), " 12:clair");
}

TEST_F(RemplaceTest, ValuesForAJavaScriptString) {
  // Safe in a script and in an attribute; the import's references become JavaScript escapes.
  const std::pair<std::string, std::string> cases[] = {
      {"O'HARA \"le\" \\ <b>x</b> & co",
       "O\\x27HARA \\x22le\\x22 \\\\ \\x3Cb\\x3Ex\\x3C/b\\x3E \\x26 co"},
      {"a\r\nb\tc", "a\\x0D\\x0Ab\\x09c"},
      {"&#321;\xF3"
       "d&#378;",
       "\\u0141\xF3"
       "d\\u017A"},
      {"&#128512;", "\\uD83D\\uDE00"},
      {"&#60;script", "\\x26#60;script"},  // not a reference the import makes
  };
  for (const auto& [name, js] : cases) {
    db.SetSurname(kMarc, name);
    EXPECT_EQ(x(kMarc, "\"<nom:js>\""), "\"" + js + "\"") << name;
  }
  EXPECT_EQ(x(kJean, "<ddn:clair:js>|<ks-num:js>|<p\xE8re><pre:js>"),
            "12\xA0mai\xA0"
            "1850|3|Jacques");
  // Not for event tags.
  EXPECT_EQ(x(kJean, "[<eve:Naissance,date:js>]"), "[]");
}

TEST_F(RemplaceTest, SourcesByNumber) {
  db.SourceRecord(2)->InUse = true;
  db.SourceRecord(2)->Title = "Registre";
  db.SourceRecord(2)->Text = "Acte 12\r\nfolio 3";
  db.SourceRecord(3)->Title = "Effac\xE9";  // not in use
  EXPECT_EQ(x(2, "<source:titre>|<source:texte>|<nom>"), "Registre|Acte 12 folio 3|LEGRAND");
  EXPECT_EQ(x(3, "[<source:titre>|<source:x>]"), "[|]");
  EXPECT_EQ(x(999999, "[<source:titre>]"), "[]");
}

TEST_F(RemplaceTest, SexConditions) {
  EXPECT_EQ(x(kJean, "avant <h>apr\xE8s"), "avant apr\xE8s");
  EXPECT_EQ(x(kMarie, "avant <h>apr\xE8s <nom>"), "");
  EXPECT_EQ(x(kClaude, "a<h>"), "");
  EXPECT_EQ(x(kClaude, "a<f>"), "");
  EXPECT_EQ(x(kMarie, "<nom> <f>x"), "MARTIN x");
  EXPECT_EQ(x(kJean, "<nom> <f>x"), "");
  EXPECT_EQ(x(kMarie, "<conjoint 1><h><pr\xE9nom>"), "Jean Marie");
  EXPECT_EQ(x(kJacques, "<nom><p\xE8re><h>z"), "");  // no person: neither sex
  EXPECT_EQ(x(kJacques, "<nom><p\xE8re><f>z"), "");
}

TEST_F(RemplaceTest, UnknownTagsAndStrayBrackets) {
  EXPECT_EQ(x(kJean,
              "<b><nom></b> <inconnu><zzz><i><D\xE9"
              "c\xE8s>!"),
            "DUPONT !");
  EXPECT_EQ(x(kJean, "a > <nom>"), "a > <nom>");
  EXPECT_EQ(x(kJean, "<nom> > <pr\xE9nom>"), "DUPONT > <pr\xE9nom>");
  EXPECT_EQ(x(kJean, "<nom> <pr\xE9nom"), "DUPONT <pr\xE9nom");
  EXPECT_EQ(x(kJean, "<<nom>>"), ">");  // "<<nom>" is one unknown tag
  EXPECT_EQ(x(kJean, "<nom<nom>"), "");
}

TEST_F(RemplaceTest, ValuesAreHtmlText) {
  // A value shows as written: it never opens a tag, an attribute or a reference, and is never
  // scanned for tags. Only the references the import makes for characters beyond
  // Windows-1252 stay.
  const std::pair<std::string, std::string> cases[] = {
      {"5 < 6 > 4", "5 &lt; 6 &gt; 4"},
      {"<script>alert(1)</script>", "&lt;script&gt;alert(1)&lt;/script&gt;"},
      {"Portrait x\" onload=\"alert(1)", "Portrait x&quot; onload=&quot;alert(1)"},
      {"l'an & co", "l&#39;an &amp; co"},
      {"Voir <b>ici</b> <nom>", "Voir &lt;b&gt;ici&lt;/b&gt; &lt;nom&gt;"},
      {"A<note>", "A&lt;note&gt;"},
      {"&#321;\xF3"
       "d&#378; &#128512;",
       "&#321;\xF3"
       "d&#378; &#128512;"},
      {"&#60;b&#62;", "&amp;#60;b&amp;#62;"},  // characters Windows-1252 holds
      {"&#233;&#8364;", "&amp;#233;&amp;#8364;"},
      {"&#0321;&#x141;&#321", "&amp;#0321;&amp;#x141;&amp;#321"},
      {"&#55296;&#1114112;&#99999999999;", "&amp;#55296;&amp;#1114112;&amp;#99999999999;"},
      {"&lt;&", "&amp;lt;&amp;"},
  };
  for (const auto& [note, html] : cases) {
    db.SetPersonField(kJean, 18, note);
    EXPECT_EQ(x(kJean, "<note>"), html) << note;
  }
  // A ">" of a value no longer ends the scan; the template's own text stays as written.
  db.SetPersonField(kJean, 18, "un > deux");
  EXPECT_EQ(x(kJean, "<note> & <pr\xE9nom> &#60;"), "un &gt; deux & Jean Marie &#60;");
  db.SetSurname(kJean, "O'Neil <i>");
  EXPECT_EQ(x(kJean, "<nom>|<nom:js>"), "O&#39;Neil &lt;i&gt;|O\\x27Neil \\x3Ci\\x3E");
}

// One family in the three modes, today being 7/12/2024: Pierre (dead) married Anne (dead) in
// 1940, then Marie (born 1950, living) in 1975; Louis, their son born 1980, is living.
TEST(LivingPersonsTest, EveryModeOnOneFamily) {
  TBD db;
  auto person = [&db](const char* nom, const char* pre, int sex, const std::string& birth,
                      const std::string& death) {
    int32_t p = db.NewPerson();
    db.SetSurname(p, nom);
    db.SetGivenNames(p, pre);
    db.SetSex(p, sex);
    if (!birth.empty()) db.SetPersonEvent(p, kNaissance, birth, 2);
    if (!death.empty()) db.SetPersonEvent(p, kDeces, death, 2);
    return p;
  };
  int32_t pierre = person("DUPONT", "Pierre", 0, "3/3/1915", "1990");
  int32_t anne = person("MARTIN", "Anne", 1, "1918", "1970");
  int32_t marie = person("LE GALL", "Marie Jeanne", 1, "1950", "");
  int32_t louis = person("DUPONT", "Louis", 0, "2/6/1980", "");
  db.SetPersonEvent(louis, kNaissance, "France, Bretagne, 29, Quimper", 4);
  db.SetPersonField(louis, PersonCode::Note, "Marin");
  db.SetAttribute(louis, "Titre", "Capitaine");
  db.SetPersonField(louis, PersonCode::DdMAJ, "1/1/2020");
  db.SetFather(louis, pierre);
  db.SetMother(louis, marie);
  for (auto [wife, date] : {std::pair{anne, "1940"}, std::pair{marie, "5/5/1975"}}) {
    int32_t u = db.NewUnion();
    db.SetHusband(u, pierre);
    db.SetWife(u, wife);
    db.SetUnionEvent(u, kMariage, date, 2);
    db.SetUnionEvent(u, kMariage, "Brest", 4);
  }
  const FixedClock today({2024, 12, 7});
  const std::string own =
      "<nom>|<pre>|<pr\xE9nom principal>|<sexe>|<ks-num>|<ddn>|<ldn:clair>|<note>|<chp:Titre>|"
      "<age>|<ddn AA>|<date maj>|<o+x>|<eve:Naissance,lieu>|<masqu\xE9>";
  const std::string family = "<ddm>|<o+x>|<union 1><eve:Mariage,date>|<conjoint 0><pre> <ddn>";
  struct Row {
    LivingMode mode;
    const char *louis, *pierre, *mother;
  } rows[] = {
      {LivingMode::Publish,
       "DUPONT|Louis|Louis|homme|4|2/6/1980|France, Bretagne, 29, Quimper|Marin|Capitaine|44| "
       "1980|1/1/2020|o|France, Bretagne, 29, Quimper|",
       "5/5/1975|od xl x|1940|Marie Jeanne 1950", "Marie Jeanne"},
      {LivingMode::Hide, "DUPONT|Louis|Louis|homme|4|||||0| 0||||oui", "|od xl|1940|Marie Jeanne ",
       "Marie Jeanne"},
      {LivingMode::Anonymous, "DUPONT|Personne vivante|Personne vivante|homme|4|||||0| 0||||oui",
       "|od xl|1940|Personne vivante ", "Personne vivante"},
  };
  for (const Row& r : rows) {
    SCOPED_TRACE(LivingModeName(r.mode));
    const TVivants vivants(db, r.mode, today);
    auto x = [&](int32_t p, const std::string& text) {
      return ExpandTags(db, p, text, today, &vivants);
    };
    EXPECT_EQ(x(louis, own), r.louis);
    EXPECT_EQ(x(pierre, family), r.pierre);
    EXPECT_EQ(x(louis, "<m\xE8re><pre>"), r.mother);
    // The dead keep everything that is theirs alone.
    EXPECT_EQ(x(pierre, "<ddn:clair>|<age>|<masqu\xE9>"),
              "3\xA0mars\xA0"
              "1915|74|");
    EXPECT_EQ(x(anne, "<ddm>|<ldm>"), "1940|Brest");
  }
}

TEST(MediaTagsTest, CountPathAndTitleByNumber) {
  TBD db;
  for (const char* birth : {"1850", "1990"}) {
    int32_t p = db.NewPerson();
    db.SetPersonEvent(p, kNaissance, birth, 2);
    db.AddPersonMedia(p, {"photos/a.jpg", "Portrait"});
    db.AddPersonMedia(p, {"C:\\Photos\\b.png", ""});
  }
  db.NewPerson();  // no media
  const FixedClock today({2024, 12, 7});
  const TVivants hide(db, LivingMode::Hide, today);
  const std::string a = MediaSitePath("photos/a.jpg"), b = MediaSitePath("C:\\Photos\\b.png");
  struct Row {
    int32_t person;
    const TVivants* vivants;
    std::string text, expected;
  } rows[] = {
      {1, nullptr, "<nombre de photos>", "2"},
      {1, nullptr, "<photo 1>|<titre de photo 1>", a + "|Portrait"},
      {1, nullptr, "<photo 2>|<titre de photo 2>|<photo 0>", b + "||" + b},
      {1, nullptr, "[<photo 3>|<photo -1>|<photo x>|<titre de photo 3>]", "[|||]"},
      {1, &hide, "<nombre de photos>|<photo 1>", "2|" + a},  // dead: kept
      {2, nullptr, "<nombre de photos>|<titre de photo 1>", "2|Portrait"},
      {2, &hide, "<nombre de photos>|<photo 1>|<titre de photo 1>|<photo 0>", "0|||"},
      {3, nullptr, "<nombre de photos>|<photo 1>|<photo 0>", "0||"},
      {1, nullptr, "<photo 1:js>", a},
  };
  for (const Row& r : rows)
    EXPECT_EQ(ExpandTags(db, r.person, r.text, today, r.vivants), r.expected) << r.text;
}

}  // namespace
}  // namespace lignado
