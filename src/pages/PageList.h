#pragma once

#include <cstdint>
#include <deque>
#include <filesystem>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "util/Owned.h"

namespace lignado {

// The list of the files a generation wrote into its destination, kept there so that the next
// complete build removes the pages this one no longer makes, and never a file of the user.
// Each file is recorded before it replaces the old one (size and content hash, one appended
// line), so a build stopped at any point leaves a record of every page it may have written; a
// file is ours when it still holds what a record says. Only a build that completed removes
// stale files and rewrites the list to its own files.
class TPageList {
 public:
  static constexpr const char* kFileName = ".lignado-pages";

  explicit TPageList(std::filesystem::path destDir);

  // Removes the temporary files a stopped build left, reads the list and opens it for this
  // build's records. The French reason when the list cannot be opened; empty when it is.
  std::string Open();
  // Records that `name` (below the destination, as the site names it) is about to hold these
  // bytes. 0, or the errno of a record that could not be written.
  int Intend(const std::string& name, std::string_view bytes);
  // The same for a file about to be renamed into place, by its size and modification time.
  int IntendStamp(const std::string& name, int64_t size, int64_t mtimeNs);

  struct Finished {
    int removed = 0;     // stale files removed
    std::string reason;  // French: why the new list could not be written; empty when it was
  };
  // After a build that completed: `written` names every file of this build (those not
  // recorded by Intend, the media, are recorded by size and time); the files of earlier
  // builds that this one did not write go when they still hold what we wrote.
  Finished Finish(const std::vector<std::string>& written);

  const std::filesystem::path& Path() const { return path_; }

  // The names the list of destDir records (file-system bytes, "/" between folders): files
  // that a generation wrote there, in a build that completed or not.
  static std::set<std::string> Recorded(const std::filesystem::path& destDir);

 private:
  struct Entry {
    int64_t size = 0;
    bool hashed = false;  // value: the content hash; else the modification time in ns
    uint64_t value = 0;
    bool operator==(const Entry&) const = default;
  };
  using Entries = std::map<std::string, std::vector<Entry>>;  // file-system name -> records
  // Calls f(name, entry) for each whole line of the list file.
  template <class F>
  static bool readLines(const std::filesystem::path& file, bool& endsLine, F&& f);
  static Entries read(const std::filesystem::path& file, bool& endsLine);
  static void add(Entries& entries, const std::string& name, const Entry& e);
  int record(const std::string& name, const Entry& e);
  bool ours(const std::filesystem::path& file, const std::vector<Entry>& entries) const;

  // This build's records, one per file written, kept compact (a site may have millions of
  // pages): the names side by side in blocks, each record pointing into them.
  struct Record {
    uint32_t block = 0, at = 0, length = 0;
    Entry entry;
  };
  std::string_view nameOf(const Record& r) const {
    return std::string_view(names_[r.block]).substr(r.at, r.length);
  }
  // The records sorted by name, the last one of each name alone (it replaced the others).
  std::vector<const Record*> latestByName() const;

  std::filesystem::path dest_, path_;
  Entries earlier_;
  std::vector<std::string> names_;
  std::deque<Record> now_;
  OwnedFd append_;
  std::mutex recording_;  // pages and template files are written from several threads
};

// Writes one file of the site, `name` below destDir as the site names it: recorded in the list
// first (when one is given), its folders made, then written whole, unless it already holds
// these bytes. Every file a generation writes goes through here. The French failure, naming the
// file and the reason; empty when the file is written.
std::string WriteSiteFile(const std::filesystem::path& destDir, const std::string& name,
                          std::string_view bytes, TPageList* list);

// The 64-bit hash of a content that the list records (MurmurHash64A).
uint64_t ContentHash64(std::string_view bytes);

}  // namespace lignado
