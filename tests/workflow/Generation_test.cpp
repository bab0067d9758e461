// Builds killed, disks filled: every page on disk is whole, and the next complete build removes
// every stale page and never a file of the user.

#include <gtest/gtest.h>
#include <sys/inotify.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "TestSupport.h"
#include "pages/PageList.h"
#include "util/FileTools.h"
#include "workflow/Publication.h"

namespace lignado {
namespace {

namespace fs = std::filesystem;
using test::readFile;
using test::TempDir;
using test::writeFile;

const char kFamily[] =
    "0 HEAD\r\n1 CHAR ANSEL\r\n"
    "0 @I1@ INDI\r\n1 NAME Jean /Dupont/\r\n"
    "0 @I2@ INDI\r\n1 NAME Marie /Martin/\r\n"
    "0 @I3@ INDI\r\n1 NAME Pierre /Dupont/\r\n"
    "0 @I4@ INDI\r\n1 NAME Anne /Dupont/\r\n0 TRLR\r\n";

// A host that kills its own process, as kill -9 would, when `killAt` pages have been written.
class KillingHost : public test::RecordingHost {
 public:
  explicit KillingHost(int killAt) : killAt_(killAt) {}
  void setProgressPos(long long) override {
    // The first call comes before any page, then one after each page, one at the end.
    if (calls_++ == killAt_) ::raise(SIGKILL);
  }

 private:
  int killAt_, calls_ = 0;
};

class Generation : public ::testing::Test {
 protected:
  void SetUp() override {
    writeFile(dir.path() / "famille.ged", kFamily);
    ImportOutcome w = ImportForPublication((dir.path() / "famille.ged").string(), {}, nullptr);
    ASSERT_FALSE(w.result.failed) << w.failure;
    db = std::move(w.db);
    fs::create_directories(site);
  }

  // The template of a build: a home page linking one page per person of the list; each page
  // says which build wrote it, padded with `filler` bytes.
  void writeTemplate(const std::string& persons, const std::string& build, std::size_t filler) {
    fs::create_directories(tpl);
    writeFile(tpl / "index.kshtml", "<p>" + build + "</p>\n#\n$t = \"" + persons +
                                        "\"\necho evalue($t, include(ligne), \"\")\n#\n");
    writeFile(tpl / "ligne.kshtml", "#\necho \"<a href=\"p|id=$1\">$1</a>\"\n#\n");
    writeFile(tpl / "p.kshtml", "<p>" + build + std::string(filler, '.') +
                                    "</p>\n#\necho champ($id, \"<nom>\")\n#\n");
  }
  std::string page(const std::string& build, std::size_t filler, const char* surname) {
    return "<p>" + build + std::string(filler, '.') + "</p>\r\n" + surname + "\r\n\r\n";
  }

  GenerateOutcome build(const std::string& persons, const std::string& name,
                        std::size_t filler = 0) {
    writeTemplate(persons, name, filler);
    return GeneratePublication(*db, tpl, site, nullptr, LivingMode::Publish, 1);
  }

  // Runs a build in a child process that kills itself after `killAt` pages; true when it was
  // killed.
  bool killedBuild(const std::string& persons, const std::string& name, int killAt) {
    writeTemplate(persons, name, 0);
    const pid_t child = ::fork();
    if (child == 0) {
      KillingHost host(killAt);
      GeneratePublication(*db, tpl, site, &host, LivingMode::Publish, 1);
      ::_exit(0);
    }
    int status = 0;
    ::waitpid(child, &status, 0);
    return WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
  }

  // Every file below a folder but the page list, hidden ones included, with its bytes.
  static std::map<std::string, std::string> files(const fs::path& folder) {
    std::map<std::string, std::string> out;
    for (const auto& e : fs::recursive_directory_iterator(folder))
      if (e.is_regular_file())
        out[e.path().lexically_relative(folder).string()] = readFile(e.path());
    out.erase(".lignado-pages");
    return out;
  }
  // The site of the current template, built into a new folder.
  std::map<std::string, std::string> freshSite() {
    const fs::path fresh = dir.path() / ("frais" + std::to_string(++freshCount));
    fs::create_directories(fresh);
    EXPECT_TRUE(GeneratePublication(*db, tpl, fresh, nullptr, LivingMode::Publish, 1).done);
    return files(fresh);
  }
  int freshCount = 0;

  TempDir dir;
  std::unique_ptr<TBD> db;
  fs::path tpl = dir.path() / "modele";
  fs::path site = dir.path() / "site";
};

TEST_F(Generation, AKilledBuildLeavesWholePagesAndTheNextOneRemovesTheStaleOnes) {
  // Build "b" writes index, then p_id_1 to p_id_4; it is killed after each count of pages,
  // and once after its last page, before its list is rewritten.
  for (int killAt = 1; killAt <= 6; ++killAt) {
    SCOPED_TRACE("killed after " + std::to_string(killAt) + " pages");
    fs::remove_all(site);
    fs::create_directories(site);
    ASSERT_TRUE(build("1|2|3", "a").done);
    writeFile(site / "notes.html", "les notes de l'utilisateur");
    writeFile(site / "p_id_4.html", "une page de l'utilisateur, au nom d'une page");

    ASSERT_TRUE(killedBuild("1|2|3|4", "b", killAt));
    const char* surnames[] = {"", "DUPONT", "MARTIN", "DUPONT", "DUPONT"};
    for (int p = 1; p <= 3; ++p) {
      const std::string now = readFile(site / ("p_id_" + std::to_string(p) + ".html"));
      EXPECT_TRUE(now == page("a", 0, surnames[p]) || now == page("b", 0, surnames[p])) << now;
    }

    const GenerateOutcome c = build("1", "c");
    ASSERT_TRUE(c.done) << c.failure;
    const bool wroteFour = killAt >= 5;
    EXPECT_EQ(c.staleRemoved, wroteFour ? 3 : 2);
    std::map<std::string, std::string> expected = freshSite();
    EXPECT_EQ(expected.size(), 3u);  // index, p_id_1 and robots.txt
    EXPECT_EQ(expected["p_id_1.html"], page("c", 0, "DUPONT"));
    expected["notes.html"] = "les notes de l'utilisateur";
    if (!wroteFour) expected["p_id_4.html"] = "une page de l'utilisateur, au nom d'une page";
    EXPECT_EQ(files(site), expected);  // no temporary file either
  }
}

// A build killed between its record of a page and the page itself: the page is as it was, and
// the next build still tells it from a file of the user.
TEST_F(Generation, AKillBetweenTheRecordAndTheWriteKeepsTheOldPageKnown) {
  ASSERT_TRUE(build("1|2", "a").done);
  {
    TPageList list(site);
    ASSERT_EQ(list.Open(), "");
    ASSERT_EQ(list.Intend("p_id_2.html", page("b", 0, "MARTIN")), 0);
    ASSERT_EQ(list.Intend("mien.html", "prévu, jamais écrit"), 0);
    writeFile(site / (std::string(kTempPrefix) + "99-1"), page("b", 0, "MAR"));  // cut short
  }  // killed here: no page replaced, no list rewritten
  writeFile(site / "mien.html", "de l'utilisateur");
  const GenerateOutcome c = build("1", "c");
  ASSERT_TRUE(c.done);
  EXPECT_EQ(c.staleRemoved, 1);
  EXPECT_FALSE(fs::exists(site / "p_id_2.html"));
  EXPECT_EQ(readFile(site / "mien.html"), "de l'utilisateur");
  EXPECT_FALSE(fs::exists(site / (std::string(kTempPrefix) + "99-1")));
}

// A kill that lands while a large page is being written: the page on disk is the old one or
// the new one, whole, and the next build sweeps the temporary file away.
TEST_F(Generation, AKillDuringAWriteLeavesTheOldPageOrTheNewOne) {
  const std::size_t big = 32 << 20;
  ASSERT_TRUE(build("1", "a").done);
  writeTemplate("1", "b", big);
  const int watch = ::inotify_init1(IN_CLOEXEC);
  ASSERT_GE(watch, 0);
  ASSERT_GE(::inotify_add_watch(watch, site.c_str(), IN_CREATE), 0);
  const pid_t child = ::fork();
  if (child == 0) {
    GeneratePublication(*db, tpl, site, nullptr, LivingMode::Publish, 1);
    ::_exit(0);
  }
  // The second temporary file is the big page's (the first is the home page's).
  alignas(inotify_event) char events[4096];
  for (int created = 0; created < 2;) {
    const ssize_t n = ::read(watch, events, sizeof events);
    ASSERT_GT(n, 0);
    for (char* p = events; p < events + n;) {
      auto* e = reinterpret_cast<inotify_event*>(p);
      if (e->len > 0 && std::string(e->name).rfind(kTempPrefix, 0) == 0) ++created;
      p += sizeof(inotify_event) + e->len;
    }
  }
  ::kill(child, SIGKILL);
  ::waitpid(child, nullptr, 0);
  ::close(watch);
  const std::string now = readFile(site / "p_id_1.html");
  EXPECT_TRUE(now == page("a", 0, "DUPONT") || now == page("b", big, "DUPONT"))
      << now.size() << " bytes";

  ASSERT_TRUE(build("2", "c").done);
  EXPECT_EQ(files(site), freshSite());
}

// A rebuild leaves a page that did not change as it is (the same file), and replaces the others.
TEST_F(Generation, ARebuildLeavesUnchangedPagesAlone) {
  ASSERT_TRUE(build("1|2", "a").done);
  const auto inode = [this](const char* name) {
    struct stat st {};
    return ::stat((site / name).c_str(), &st) == 0 ? st.st_ino : 0;
  };
  const auto index = inode("index.html"), one = inode("p_id_1.html");
  writeFile(tpl / "p.kshtml", "#\necho \"nouveau $id\"\n#\n");
  ASSERT_TRUE(GeneratePublication(*db, tpl, site, nullptr, LivingMode::Publish, 1).done);
  EXPECT_EQ(inode("index.html"), index);
  EXPECT_NE(inode("p_id_1.html"), one);
  EXPECT_EQ(readFile(site / "p_id_1.html"), "nouveau 1\r\n\r\n");
}

// A destination on a small disk that fills up: one failure naming the file and "disque plein",
// every page whole, nothing removed, and a later build that fits removes what it must.
TEST_F(Generation, AFullDiskStopsTheBuildInOneMessage) {
  if (::mount("tmpfs", site.c_str(), "tmpfs", 0, "size=200k") != 0)
    GTEST_SKIP() << "no tmpfs can be mounted here";
  struct Unmount {
    fs::path at;
    ~Unmount() { ::umount(at.c_str()); }
  } unmount{site};
  ASSERT_TRUE(build("1|2|3", "a").done);
  test::RecordingHost host;
  writeTemplate("1|2|3", "b", 90000);
  const GenerateOutcome b = GeneratePublication(*db, tpl, site, &host, LivingMode::Publish, 1);
  EXPECT_FALSE(b.done);
  EXPECT_EQ(b.failure.rfind("Impossible d'enregistrer le fichier \"" + site.string() + "/p_id_", 0),
            0u)
      << b.failure;
  EXPECT_TRUE(b.failure.ends_with(".html\" : disque plein.")) << b.failure;
  EXPECT_TRUE(host.messages.empty());
  const char* surnames[] = {"", "DUPONT", "MARTIN", "DUPONT"};
  int bigPages = 0;
  for (int p = 1; p <= 3; ++p) {
    const std::string now = readFile(site / ("p_id_" + std::to_string(p) + ".html"));
    bigPages += now == page("b", 90000, surnames[p]);
    EXPECT_TRUE(now == page("a", 0, surnames[p]) || now == page("b", 90000, surnames[p]));
  }
  EXPECT_GE(bigPages, 1);
  EXPECT_LE(bigPages, 2);

  const GenerateOutcome c = build("1", "c");
  ASSERT_TRUE(c.done) << c.failure;
  EXPECT_EQ(c.staleRemoved, 2);
  EXPECT_EQ(files(site), freshSite());
}

}  // namespace
}  // namespace lignado
