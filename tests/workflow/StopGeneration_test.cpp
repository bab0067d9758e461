// A stop request during the generation of a tree of a few thousand persons with a shipped
// template: no page after it, every page on disk whole and equal to the uninterrupted build's.

#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <memory>
#include <string>

#include "../../bench/TreeGen.h"
#include "TestSupport.h"
#include "pages/PageList.h"
#include "workflow/Publication.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using Files = std::map<std::string, std::string>;

Files files(const fs::path& folder) {
  Files out;
  for (const auto& e : fs::recursive_directory_iterator(folder))
    if (e.is_regular_file())
      out[e.path().lexically_relative(folder).string()] = test::readFile(e.path());
  out.erase(kStaleListName);
  return out;
}

// Asks for a stop from its stopAt-th question on, and keeps the folder's files as they were
// when it first did.
class StoppingHost : public test::RecordingHost {
 public:
  StoppingHost(int stopAt, fs::path folder) : stopAt_(stopAt), folder_(std::move(folder)) {}
  bool abortRequested() override {
    if (++polls_ < stopAt_) return false;
    if (!seen) atStop = files(folder_);
    seen = true;
    return true;
  }
  bool seen = false;
  Files atStop;

 private:
  int stopAt_, polls_ = 0;
  fs::path folder_;
};

class StopGeneration : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    dir_ = new test::TempDir;
    const fs::path ged = dir_->path() / "arbre.ged";
    ASSERT_TRUE(bench::WriteTree(ged.string(), 2000));
    ImportOutcome w = ImportForPublication(ged.string(), {}, nullptr);
    ASSERT_FALSE(w.result.failed) << w.failure;
    db_ = w.db.release();
    const fs::path whole = dir_->path() / "entier";
    fs::create_directories(whole);
    GenerateOutcome out = GeneratePublication(*db_, tpl(), whole, nullptr, LivingMode::Hide, 2);
    ASSERT_TRUE(out.done) << out.failure;
    whole_ = new Files(files(whole));
  }
  static void TearDownTestSuite() {
    delete whole_;
    delete db_;
    delete dir_;
  }
  static fs::path tpl() { return fs::path(LIGNADO_SOURCE_DIR) / "modele" / "classique"; }

  static test::TempDir* dir_;
  static TBD* db_;
  static Files* whole_;
};
test::TempDir* StopGeneration::dir_ = nullptr;
TBD* StopGeneration::db_ = nullptr;
Files* StopGeneration::whole_ = nullptr;

TEST_F(StopGeneration, NoPageAfterTheStopAndEveryPageWhole) {
  // One thread asks before each page and at each partition of each sort (the home page and the
  // surname pages sort); two threads ask while waiting for each page in turn.
  struct Case {
    int jobs, stopAt;
  };
  const Case cases[] = {{1, 1},    {1, 2}, {1, 5}, {1, 60}, {1, 700},
                        {1, 2500}, {2, 1}, {2, 3}, {2, 40}, {2, 900}};
  int n = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(testing::Message() << "jobs " << c.jobs << ", stop at " << c.stopAt);
    const fs::path site = dir_->path() / ("arrete" + std::to_string(++n));
    fs::create_directories(site);
    StoppingHost host(c.stopAt, site);
    const GenerateOutcome out =
        GeneratePublication(*db_, tpl(), site, &host, LivingMode::Hide, c.jobs);
    ASSERT_TRUE(host.seen);
    EXPECT_TRUE(out.stopped);
    EXPECT_FALSE(out.done);
    EXPECT_EQ(out.failure,
              "Cr\xE9"
              "ation des pages interrompue");
    const Files written = files(site);
    EXPECT_EQ(written, host.atStop);
    EXPECT_LT(written.size(), whole_->size());
    for (const auto& [name, bytes] : written)
      EXPECT_TRUE(whole_->count(name) && whole_->at(name) == bytes) << name;
  }
}

TEST_F(StopGeneration, AStoppedBuildKeepsTheEarlierSite) {
  const fs::path site = dir_->path() / "ancien";
  fs::create_directories(site);
  ASSERT_TRUE(GeneratePublication(*db_, tpl(), site, nullptr, LivingMode::Hide, 1).done);
  {
    // A page of an even earlier build, recorded as ours: a whole build would remove it.
    TPageList list(site);
    ASSERT_EQ(list.Open(), "");
    ASSERT_EQ(list.Intend("vieille.html", "<p>vieille</p>"), 0);
    test::writeFile(site / "vieille.html", "<p>vieille</p>");
  }
  StoppingHost host(300, site);
  const GenerateOutcome out = GeneratePublication(*db_, tpl(), site, &host, LivingMode::Hide, 1);
  ASSERT_TRUE(out.stopped);
  EXPECT_EQ(out.staleRemoved, 0);
  Files expected = *whole_;
  expected["vieille.html"] = "<p>vieille</p>";
  EXPECT_EQ(files(site), expected);
  EXPECT_EQ(TPageList::Recorded(site).count("vieille.html"), 1u);
}

}  // namespace
}  // namespace lignado
