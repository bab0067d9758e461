// Real GEDCOM files written by other programs (the shared corpus; skipped when absent).

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "ImportFixture.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;

struct RecordCounts {
  int indi = 0, fam = 0;
};

// Counts "0 @X@ INDI" and "0 @X@ FAM" lines on its own, without the importer's reader.
RecordCounts countRecords(std::string bytes) {
  bool utf16 = bytes.size() >= 2 && (bytes[0] == '\0' || bytes[1] == '\0' ||
                                     (bytes[0] == '\xFF' && bytes[1] == '\xFE') ||
                                     (bytes[0] == '\xFE' && bytes[1] == '\xFF'));
  if (utf16) std::erase(bytes, '\0');
  RecordCounts c;
  size_t i = 0;
  while (i < bytes.size()) {
    size_t e = bytes.find_first_of("\r\n", i);
    if (e == std::string::npos) e = bytes.size();
    std::string line = bytes.substr(i, e - i);
    i = e + 1;
    size_t b = line.find_first_not_of(' ');
    if (b == std::string::npos) continue;
    line = line.substr(b);
    while (!line.empty() && line.back() == ' ') line.pop_back();
    if (line.rfind("0 @", 0) != 0) continue;
    size_t close = line.find("@ ", 3);
    if (close == std::string::npos) continue;
    std::string rest = line.substr(close + 2);
    if (rest == "INDI") ++c.indi;
    if (rest == "FAM") ++c.fam;
  }
  return c;
}

std::vector<fs::path> corpusFiles() {
  std::vector<fs::path> files;
  fs::path dir = test::corpusDir();
  if (dir.empty()) return files;
  for (const auto& e : fs::directory_iterator(dir)) {
    std::string ext = e.path().extension().string();
    if (ext == ".ged" || ext == ".GED") files.push_back(e.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

struct CorpusImport {
  explicit CorpusImport(const fs::path& file, int capacity = 1000, uint8_t mode = kModeAnsel)
      : db(capacity) {
    result = ImportGedcom(db, file.string(), head, mode, false, false, true, &host);
  }
  TBD db;
  THead head;
  ImportResult result;
  test::RecordingHost host;
};

TEST(Corpus, EveryFileImportsAndCountsMatch) {
  auto files = corpusFiles();
  if (files.empty()) GTEST_SKIP() << "corpus absent";
  for (const fs::path& f : files) {
    SCOPED_TRACE(f.filename().string());
    RecordCounts want = countRecords(test::readFile(f));
    // Large enough for every file of the corpus.
    CorpusImport big(f, 10000);
    EXPECT_FALSE(big.result.failed) << big.result.reason;
    EXPECT_TRUE(big.host.messages.empty());
    EXPECT_FALSE(big.result.incomplete());
    EXPECT_EQ(big.db.PersonCount, want.indi);
    EXPECT_LE(big.db.UnionCount, want.fam);
    // At the default capacity a larger file keeps its first 1000 persons and says so.
    CorpusImport small(f);
    EXPECT_FALSE(small.result.failed);
    EXPECT_EQ(small.db.PersonCount, std::min(want.indi, 1000));
    EXPECT_EQ(small.result.personsDropped, std::max(want.indi - 1000, 0));
  }
}

int32_t findPerson(const TBD& db, const std::string& surname, const std::string& given) {
  for (int32_t p = 1; p <= db.PersonCount; ++p)
    if (db.GetSurname(p) == surname && db.GetGivenNames(p) == given) return p;
  return 0;
}

fs::path corpusFile(const char* name) {
  fs::path dir = test::corpusDir();
  if (dir.empty() || !fs::exists(dir / name)) return {};
  return dir / name;
}

bool hasNote(const TBD& db, const std::string& part) {
  for (int32_t p = 1; p <= db.PersonCount; ++p)
    if (db.GetPersonField(p, 18).find(part) != std::string::npos) return true;
  return false;
}

bool hasPlace(const TBD& db, const std::string& place) {
  for (int32_t e = 1; e <= db.EventCount; ++e)
    if (db.EventRecord(e)->Place == place) return true;
  return false;
}

TEST(CorpusCharacters, Utf8WithByteOrderMark) {
  fs::path f = corpusFile("pres2020.ged");
  if (f.empty()) GTEST_SKIP() << "corpus absent";
  CorpusImport im(f, 10000);
  EXPECT_EQ(im.head[6], "UTF-8");
  EXPECT_TRUE(hasPlace(
      im.db,
      "Saint-Martin-de-R\xE9, Departement de la Charente-Maritime, Poitou-Charentes, France"));
  EXPECT_TRUE(hasPlace(im.db, "Paris, \xCEle-de-France, France"));
  EXPECT_TRUE(hasPlace(im.db,
                       "Ard\xE8"
                       "che, Rh\xF4ne-Alpes, France"));
  EXPECT_TRUE(hasPlace(im.db, "Freiburg, Baden-W\xFCrttemberg, Germany"));
  // Her first NAME line holds the accents; the second one, without, is the one kept.
  EXPECT_NE(findPerson(im.db, "IVANA M WINKLMAYR", ""), 0);
}

TEST(CorpusCharacters, IbmPcHeader) {
  fs::path f = corpusFile("US+Presidents+Trees+I.ged");
  if (f.empty()) GTEST_SKIP() << "corpus absent";
  CorpusImport im(f, 10000);  // the caller's ANSEL default gives way to "CHAR IBMPC"
  int32_t p = findPerson(im.db, "BUCHANAN", "James");
  ASSERT_NE(p, 0);
  EXPECT_NE(im.db.GetPersonField(p, 18).find("John C. Fr\xE9mont and"), std::string::npos);
}

TEST(CorpusCharacters, AnsiHeaderKeepsWindowsBytes) {
  fs::path f = corpusFile("Irish+Kings.ged");
  if (f.empty()) GTEST_SKIP() << "corpus absent";
  test::TempDir dir;
  fs::copy_file(f, dir.path() / "i.ged");
  TBD db;
  THead head;
  // Under an IBM PC default the pound sign (0xA3) would become u acute (0xFA) and the n tilde
  // would stay; "CHAR ANSI" keeps the Windows bytes. Its sources are cited below facts only, and
  // kept so; its notes are records of their own, linked from the persons.
  ImportResult r =
      ImportGedcom(db, dir.str() + "i.ged", head, kModeIbmPc, false, true, true, nullptr);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(head[6], "ANSI");
  EXPECT_EQ(db.PersonCount, 178);
  std::string log = test::readFile(dir.path() / "kestrane.log");
  bool pound = false;
  for (int32_t s = 1; s <= db.SourceCount; ++s)
    pound = pound || db.SourceRecord(s)->Text.find(
                         "\r\n\xA3"
                         "5.99") != std::string::npos;
  EXPECT_TRUE(pound);
  EXPECT_EQ(log.find("Pointeur de source invalide"), std::string::npos);
  EXPECT_TRUE(hasNote(db,
                      "provinces of La Coru\xF1"
                      "a, Lug"));
}

TEST(CorpusCharacters, AnselWithCarriageReturnsOnly) {
  fs::path f = corpusFile("TGC55C.ged");
  if (f.empty()) GTEST_SKIP() << "corpus absent";
  test::TempDir dir;
  fs::copy_file(f, dir.path() / "t.ged");
  TBD db;
  THead head;
  ImportResult r =
      ImportGedcom(db, dir.str() + "t.ged", head, kModeNone, false, true, true, nullptr);
  EXPECT_FALSE(r.failed);
  EXPECT_EQ(head[6], "ANSEL");
  EXPECT_EQ(db.PersonCount, 15);
  // The acute row of the ANSEL notes: vowels precomposed, the other letters left as they are.
  EXPECT_TRUE(hasNote(db,
                      "\xC1\xE2"
                      "B\xE2"
                      "C\xE2"
                      "D\xC9\xE2"
                      "F\xE2"
                      "G\xE2"
                      "H\xCD\xE2"
                      "J"));
}

TEST(CorpusCharacters, Utf16LittleEndian) {
  fs::path f = corpusFile("555SAMPLE16LE.GED");
  if (f.empty()) GTEST_SKIP() << "corpus absent";
  CorpusImport im(f);
  EXPECT_EQ(im.head[6], "UNICODE");
  EXPECT_EQ(im.db.PersonCount, 3);
  EXPECT_EQ(im.db.GetSurname(1), "WILLIAMS");
  EXPECT_EQ(im.db.GetGivenNames(1), "Robert Eugene");
  EXPECT_EQ(im.db.GetSurname(2), "WILSON");
}

}  // namespace
}  // namespace lignado
