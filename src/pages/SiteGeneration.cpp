#include "pages/SiteGeneration.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "pages/PageList.h"
#include "pages/TemplateAssets.h"
#include "pages/TemplateFiles.h"
#include "pages/WorkList.h"
#include "pages/uParser.h"
#include "util/Host.h"
#include "util/Utf8.h"

namespace lignado {
namespace fs = std::filesystem;

namespace {

// Whether the file system can hold a name this long (Linux: 255 bytes a part, 4096 in all).
bool nameFits(const fs::path& file) {
  if (file.native().size() >= 4096) return false;
  for (const fs::path& part : file)
    if (part.native().size() > 255) return false;
  return true;
}

// The file a reference is written to. The pages before it in the work list decide whether it is
// a script page, so the calling thread asks when its turn comes.
std::string fileNameOf(const std::string& ref, const TTemplateAssets& assets) {
  return assets.IsScript(ref) ? ScriptFileName(ref) : PageFileName(ref);
}

// One page's run: its text (empty for a missing template or an empty page), and the limit
// it went over, if any.
struct PageRun {
  std::string text;
  std::string limit;
  bool stopped = false;  // the stop request cut it short: it must not be written
};

PageRun runPage(TKSParse& parser, const std::string& ref, const std::string& templateDir) {
  PageRun run;
  if (std::optional<std::string> page = parser.RunPage(ref, templateDir))
    run.text = std::move(*page);
  run.limit = parser.LimitText;
  run.stopped = parser.Stopped;
  return run;
}

// What follows a page's run, on the calling thread and in work-list order: its links are
// rewritten (which queues the pages they name and copies the template's files), the file
// written. A reference whose file would land outside the destination counts as a missing
// template. False when a write failed: the result says which, and the generation stops.
bool writePage(const std::string& ref, const PageRun& page, TWorkList& work,
               TTemplateAssets& assets, const std::string& destDir, TPageList* list,
               SiteResult& result, PageCharset& siteCharset) {
  if (!page.limit.empty()) result.limited.push_back("Page \"" + ref + "\" : " + page.limit);
  if (page.text.empty()) return true;
  const std::string fileName = fileNameOf(ref, assets);
  if (!StaysInside(fileName)) return true;
  const fs::path file = fs::path(destDir) / NativeName(fileName);
  if (!nameFits(file)) {
    result.failure = WriteFailureText(file, ENAMETOOLONG);
    return false;
  }
  std::string text = RewriteLinks(page.text, work, &assets);
  text += "\r\n";
  result.failure = assets.Failure();
  if (result.failure.empty())
    result.failure = WriteSiteFile(destDir, fileName, PageBytes(text, siteCharset), list);
  if (!result.failure.empty()) return false;
  ++result.pagesWritten;
  result.written.push_back(fileName);
  return true;
}

void showProgress(Host* host, const TWorkList& work, std::size_t i) {
  hostProgressMax(host, static_cast<long long>(work.size()));
  hostProgressPos(host, static_cast<long long>(i));
}

// A host for page runs on other threads: it only answers the stop request, from a flag that
// the calling thread sets after asking the real host.
class StopFlagHost final : public Host {
 public:
  explicit StopFlagHost(const std::atomic<bool>& stop) : stop_(stop) {}
  void showMessage(const std::string&) override {}
  void setStatus(const std::string&) override {}
  void setProgressMax(long long) override {}
  void setProgressPos(long long) override {}
  void processMessages() override {}
  bool abortRequested() override { return stop_.load(std::memory_order_relaxed); }

 private:
  const std::atomic<bool>& stop_;
};

// The calling thread's host for its own page runs: it asks the real host (which keeps the window
// answering) and raises the flag once it says stop, so that the other threads see it.
class CallerStopHost final : public Host {
 public:
  CallerStopHost(Host* host, std::atomic<bool>& stop) : host_(host), stop_(stop) {}
  void showMessage(const std::string&) override {}
  void setStatus(const std::string&) override {}
  void setProgressMax(long long) override {}
  void setProgressPos(long long) override {}
  void processMessages() override {}
  bool abortRequested() override { return Poll(); }
  // Once seen, the stop stays: the generation ends.
  bool Poll() {
    if (hostAbort(host_)) stop_.store(true, std::memory_order_relaxed);
    return stop_.load(std::memory_order_relaxed);
  }

 private:
  Host* host_;
  std::atomic<bool>& stop_;
};

// Pages run on several threads while the calling thread takes their texts in work-list order,
// so the work list, the files and the messages are those of a run on one thread. A thread
// runs pages at most kAhead entries beyond the one the calling thread waits for.
class ParallelPages {
 public:
  ParallelPages(TKSParse& interpreter, const std::string& templateDir, int threads, Host* host)
      : templateDir_(templateDir),
        callerHost_(host, stop_),
        caller_(interpreter.ForThread(&callerHost_)) {
    for (int t = 1; t < threads; ++t)
      workers_.emplace_back(
          [this, parser = interpreter.ForThread(&stopHost_)]() mutable { work(parser); });
  }
  ~ParallelPages() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    more_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  ParallelPages(const ParallelPages&) = delete;
  ParallelPages& operator=(const ParallelPages&) = delete;

  // The work list grew: its new entries may run.
  void Queue(const TWorkList& work) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      for (std::size_t k = refs_.size(); k < work.size(); ++k) {
        refs_.push_back(work[k]);
        slots_.emplace_back();
      }
    }
    more_.notify_all();
  }

  // The stop request as the host last answered it.
  bool Stopped() const { return stop_.load(std::memory_order_relaxed); }

  // The run of entry i. Until it is there the calling thread runs pages too, and asks the
  // host for the stop request now and then: the threads read the answer from a flag.
  PageRun Take(std::size_t i) {
    callerHost_.Poll();
    std::unique_lock<std::mutex> lock(mutex_);
    waitingFor_ = i;
    more_.notify_all();  // the window moved on
    while (!slots_[i].done) {
      if (next_ < refs_.size() && next_ < i + kAhead) {
        runOne(caller_, lock);
        continue;
      }
      if (done_.wait_for(lock, std::chrono::milliseconds(20)) == std::cv_status::timeout) {
        lock.unlock();
        callerHost_.Poll();
        lock.lock();
      }
    }
    Slot slot = std::move(slots_[i]);
    slots_[i] = Slot();
    lock.unlock();
    if (slot.error) std::rethrow_exception(slot.error);
    return std::move(slot.page);
  }

 private:
  static constexpr std::size_t kAhead = 4096;

  struct Slot {
    bool done = false;
    PageRun page;
    std::exception_ptr error;
  };

  void work(TKSParse& parser) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      more_.wait(lock, [this] {
        return closing_ || (next_ < refs_.size() && next_ < waitingFor_ + kAhead);
      });
      if (closing_) return;
      runOne(parser, lock);
    }
  }

  // Takes the next entry and runs it with the lock released.
  void runOne(TKSParse& parser, std::unique_lock<std::mutex>& lock) {
    const std::size_t k = next_++;
    const std::string ref = std::move(refs_[k]);  // each entry runs once
    lock.unlock();
    Slot slot;
    try {
      slot.page = runPage(parser, ref, templateDir_);
    } catch (...) {
      // Raised again on the calling thread when it reaches this page, as one thread would.
      slot.error = std::current_exception();
    }
    slot.done = true;
    lock.lock();
    slots_[k] = std::move(slot);
    done_.notify_all();
  }

  const std::string templateDir_;
  std::atomic<bool> stop_{false};
  StopFlagHost stopHost_{stop_};
  CallerStopHost callerHost_;
  TKSParse caller_;  // the calling thread's runs
  std::mutex mutex_;
  std::condition_variable more_, done_;
  std::vector<std::string> refs_;  // the work list as far as it is known
  std::vector<Slot> slots_;
  std::size_t next_ = 0;        // the next entry to run
  std::size_t waitingFor_ = 0;  // the entry the calling thread waits for
  bool closing_ = false;
  std::vector<std::thread> workers_;  // last: they stop before the rest goes
};

}  // namespace

int PageThreads(int jobs) {
  if (jobs > 0) return jobs;
  unsigned cores = std::thread::hardware_concurrency();
  return cores > 0 ? static_cast<int>(cores) : 1;
}

SiteResult GenerateSite(TKSParse& interpreter, const std::string& templateDir,
                        const std::string& destDir, Host* host, int jobs, TPageList* list) {
  SiteResult result;
  std::error_code ec;
  if (!fs::is_directory(fs::path(destDir), ec)) {
    result.noDestination = true;
    return result;
  }
  hostProgressMax(host, 0);
  hostProgressPos(host, 0);
  TWorkList work;
  TTemplateAssets assets(templateDir, destDir, list);
  interpreter.TemplateDir = templateDir;
  const int threads = PageThreads(jobs);
  PageCharset siteCharset = PageCharset::None;
  if (threads == 1) {
    for (std::size_t i = 0; i < work.size(); ++i) {
      const std::string ref = work[i];
      PageRun page;
      if (StaysInside(fileNameOf(ref, assets))) page = runPage(interpreter, ref, templateDir);
      if (page.stopped || hostAbort(host)) {
        result.stopped = true;
        break;
      }
      if (!writePage(ref, page, work, assets, destDir, list, result, siteCharset)) break;
      showProgress(host, work, i);
    }
  } else {
    // Other threads run whatever the work list holds; writePage keeps what one thread keeps.
    ParallelPages pages(interpreter, templateDir, threads, host);
    pages.Queue(work);
    for (std::size_t i = 0; i < work.size(); ++i) {
      const std::string ref = work[i];
      PageRun page = pages.Take(i);
      if (page.stopped || pages.Stopped()) {
        result.stopped = true;
        break;
      }
      if (!writePage(ref, page, work, assets, destDir, list, result, siteCharset)) break;
      pages.Queue(work);
      showProgress(host, work, i);
    }
  }
  result.written.insert(result.written.end(), assets.Copied().begin(), assets.Copied().end());
  hostProgressPos(host, 0);
  return result;
}

}  // namespace lignado
