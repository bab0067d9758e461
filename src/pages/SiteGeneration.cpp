#include "pages/SiteGeneration.h"

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <exception>
#include <filesystem>
#include <mutex>
#include <optional>
#include <system_error>
#include <thread>

#include "pages/PageList.h"
#include "pages/Referencement.h"
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

// A page written, and whether the sitemap leaves it out: its bytes are at hand here.
void recordPage(SiteResult& result, std::string fileName, std::string_view bytes) {
  result.noIndex.push_back(fileName.ends_with(".html") && PageAsksNoIndex(bytes));
  result.written.push_back(std::move(fileName));
  ++result.pagesWritten;
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
  recordPage(result, fileName, text);
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

// Pages run, are made and are written on worker threads. The calling thread takes each run in
// work-list order and resolves its links against the work list (which queues the pages they
// name and copies the template's files), and alone talks to the host. Files are written in
// work-list order, one at a time, by whichever worker completes that order, so the files, the
// page list and the messages are those of a run on one thread.
class ParallelSite {
 public:
  ParallelSite(TKSParse& interpreter, const std::string& templateDir, const std::string& destDir,
               TPageList* list, int threads, Host* host, SiteResult& result)
      : templateDir_(templateDir), destDir_(destDir), list_(list), host_(host), result_(result) {
    for (int t = 0; t < threads; ++t)
      workers_.emplace_back(
          [this, parser = interpreter.ForThread(&stopHost_)]() mutable { work(parser); });
  }
  ~ParallelSite() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      closing_ = true;
    }
    more_.notify_all();
    for (std::thread& t : workers_) t.join();
  }
  ParallelSite(const ParallelSite&) = delete;
  ParallelSite& operator=(const ParallelSite&) = delete;

  // Runs the whole work list; returns once every page up to the end (or up to the one that
  // stopped the generation) is written.
  void Generate(TWorkList& work, TTemplateAssets& assets) {
    queue(work);
    std::size_t i = 0;
    for (; i < work.size(); ++i) {
      Slot* ranSlot = ran(i);
      if (!ranSlot) break;  // a write failed: the generation ends there
      Slot& slot = *ranSlot;
      if (slot.error) {
        halted_ = true;
        std::rethrow_exception(slot.error);
      }
      if (slot.page.stopped || stop_.load(std::memory_order_relaxed)) {
        mark(slot, Slot::kStop);
        ++i;
        break;
      }
      const Slot::State state = resolve(slot.ref, slot, work, assets);
      mark(slot, state);
      if (state == Slot::kFail) {
        ++i;
        break;
      }
      queue(work);
      showProgress(host_, work, i);
      if (halted_.load()) {
        ++i;
        break;
      }
    }
    // Until the writes are done, the host may still stop them; not once they are.
    {
      std::lock_guard<std::mutex> writing(writing_);
      askUntil_ = i;
    }
    std::unique_lock<std::mutex> lock(mutex_);
    while (committed_ < i && !halted_.load()) {
      if (done_.wait_for(lock, std::chrono::milliseconds(20)) == std::cv_status::timeout) {
        lock.unlock();
        poll();
        lock.lock();
      }
    }
    if (commitError_) std::rethrow_exception(commitError_);
  }

 private:
  static constexpr std::size_t kAhead = 4096;

  struct Slot {
    enum State : uint8_t { kRunning, kRan, kResolved, kMaking, kMade, kSkip, kFail, kStop };
    State state = kRunning;
    std::string ref;
    PageRun page;
    std::exception_ptr error;
    std::vector<PageLink> links;
    std::string resolved;  // the links' new targets, one after the other
    std::vector<std::size_t> ends;
    std::string fileName;
    std::string text;  // the page made; bytes as they will be written, unless undeclared
    PageCharset declared = PageCharset::None;
  };

  // Asks the host whether to stop, while no file is being written: once it says stop, no
  // further file is.
  void poll() {
    std::lock_guard<std::mutex> writing(writing_);
    if (passed_ >= askUntil_) return;  // nothing is left to write
    if (hostAbort(host_)) stop_.store(true, std::memory_order_relaxed);
  }

  // Hands the workers the entries they may run next: those within kAhead of the one the
  // calling thread waits for (the work list may hold millions more by then).
  void queue(const TWorkList& work) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      const std::size_t until = std::min(work.size(), waitingFor_ + kAhead + 1);
      if (until <= queued_) return;  // nothing new: no worker to wake
      for (std::size_t k = queued_; k < until; ++k) pending_.emplace_back(work[k]);
      queued_ = until;
    }
    more_.notify_all();
  }

  Slot& slotAt(std::size_t i) { return slots_[i - base_]; }

  // The run of entry i, once there (none once the generation halted); the host is asked now
  // and then meanwhile.
  Slot* ran(std::size_t i) {
    poll();
    std::unique_lock<std::mutex> lock(mutex_);
    waitingFor_ = i;
    more_.notify_all();  // the window moved on
    while (i >= base_ + slots_.size() || slotAt(i).state == Slot::kRunning) {
      if (halted_.load()) return nullptr;
      if (done_.wait_for(lock, std::chrono::milliseconds(20)) == std::cv_status::timeout) {
        lock.unlock();
        poll();
        lock.lock();
      }
    }
    return &slotAt(i);
  }

  // The calling thread's part of a page, in work-list order (see writePage).
  Slot::State resolve(const std::string& ref, Slot& slot, TWorkList& work,
                      TTemplateAssets& assets) {
    if (slot.page.text.empty()) return Slot::kSkip;
    slot.fileName = fileNameOf(ref, assets);
    if (!StaysInside(slot.fileName)) return Slot::kSkip;
    const fs::path file = fs::path(destDir_) / NativeName(slot.fileName);
    if (!nameFits(file)) {
      slot.text = WriteFailureText(file, ENAMETOOLONG);
      return Slot::kFail;
    }
    slot.ends.reserve(slot.links.size());
    for (const PageLink& link : slot.links) {
      ResolveLink(slot.page.text, link, work, &assets, slot.resolved);
      slot.ends.push_back(slot.resolved.size());
    }
    if (!assets.Failure().empty()) {
      slot.text = assets.Failure();
      return Slot::kFail;
    }
    return Slot::kResolved;
  }

  void mark(Slot& slot, Slot::State state) {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      slot.state = state;
      if (state == Slot::kResolved) making_.push_back(&slot);
    }
    more_.notify_all();
  }

  bool committable(std::size_t k) const {
    if (k >= base_ + slots_.size()) return false;
    const Slot::State s = slots_[k - base_].state;
    return s == Slot::kMade || s == Slot::kSkip || s == Slot::kFail || s == Slot::kStop;
  }

  void work(TKSParse& parser) {
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
      if (closing_) return;
      if (!committing_ && !halted_.load() && committable(committed_)) {
        commitAll(lock);
        continue;
      }
      if (!making_.empty()) {
        make(lock);
        continue;
      }
      // Not further ahead of the files written than of the calling thread: pages made
      // faster than a slow disk takes them would otherwise pile up in memory.
      if (!halted_.load() && !pending_.empty() &&
          next_ < std::min(waitingFor_, committed_) + kAhead) {
        runOne(parser, lock);
        continue;
      }
      more_.wait(lock);
    }
  }

  // Takes the next entry and runs it with the lock released; its links are found too.
  void runOne(TKSParse& parser, std::unique_lock<std::mutex>& lock) {
    ++next_;
    slots_.emplace_back();
    Slot* slot = &slots_.back();  // a deque keeps it in place
    slot->ref = std::move(pending_.front());
    pending_.pop_front();
    lock.unlock();
    try {
      slot->page = runPage(parser, slot->ref, templateDir_);
      slot->links = FindLinks(slot->page.text, true);
    } catch (...) {
      // Raised again on the calling thread when it reaches this page, as one thread would.
      slot->error = std::current_exception();
    }
    lock.lock();
    slot->state = Slot::kRan;
    done_.notify_all();
  }

  // Makes a resolved page: its links replaced, its bytes as its charset asks.
  void make(std::unique_lock<std::mutex>& lock) {
    Slot* slot = making_.front();
    making_.pop_front();
    slot->state = Slot::kMaking;
    lock.unlock();
    try {
      std::string text = ReplaceLinks(slot->page.text, slot->links, slot->resolved, slot->ends);
      text += "\r\n";
      slot->page.text = std::string();
      slot->links = {};
      slot->resolved = std::string();
      slot->declared = DeclaredCharset(text);
      slot->text = slot->declared == PageCharset::Utf8 ? PageToUtf8(text) : std::move(text);
    } catch (...) {
      lock.lock();
      fail(std::current_exception());
      return;
    }
    lock.lock();
    slot->state = Slot::kMade;
    more_.notify_all();
  }

  // Writes the pages that follow in work-list order, one at a time, until one is not made yet.
  void commitAll(std::unique_lock<std::mutex>& lock) {
    committing_ = true;
    while (!halted_.load() && committable(committed_)) {
      Slot& slot = slotAt(committed_);
      lock.unlock();
      bool go = true;
      try {
        go = commit(slot);
      } catch (...) {
        lock.lock();
        fail(std::current_exception());
        break;
      }
      lock.lock();
      if (!go) halted_ = true;
      ++committed_;
      while (base_ < committed_ && base_ < waitingFor_) {
        slots_.pop_front();
        ++base_;
      }
      done_.notify_all();
    }
    committing_ = false;
    more_.notify_all();
  }

  // As writePage: false when the generation ends here.
  bool commit(Slot& slot) {
    std::lock_guard<std::mutex> writing(writing_);
    ++passed_;
    if (slot.state == Slot::kStop || stop_.load(std::memory_order_relaxed)) {
      result_.stopped = true;
      return false;
    }
    if (!slot.page.limit.empty())
      result_.limited.push_back("Page \"" + slot.ref + "\" : " + slot.page.limit);
    if (slot.state == Slot::kSkip) return true;
    if (slot.state == Slot::kFail) {
      result_.failure = slot.text;
      return false;
    }
    // The first page written sets the charset of the pages that declare none.
    if (siteCharset_ == PageCharset::None)
      siteCharset_ = slot.declared == PageCharset::None ? PageCharset::Other : slot.declared;
    if (slot.declared == PageCharset::None && siteCharset_ == PageCharset::Utf8)
      slot.text = PageToUtf8(slot.text);
    result_.failure = WriteSiteFile(destDir_, slot.fileName, slot.text, list_);
    if (!result_.failure.empty()) return false;
    recordPage(result_, std::move(slot.fileName), slot.text);
    slot.text = std::string();
    return true;
  }

  void fail(std::exception_ptr error) {
    if (!commitError_) commitError_ = error;
    halted_ = true;
    done_.notify_all();
    more_.notify_all();
  }

  const std::string templateDir_, destDir_;
  TPageList* list_;
  Host* host_;
  SiteResult& result_;  // written by the worker that writes the files
  std::atomic<bool> stop_{false};
  StopFlagHost stopHost_{stop_};
  std::mutex writing_;  // held while a file is written, and while the host is asked
  PageCharset siteCharset_ = PageCharset::None;
  // Under writing_: entries passed by the writes, and the number of entries there are to
  // pass, once the calling thread knows it.
  std::size_t passed_ = 0, askUntil_ = ~std::size_t{0};
  std::mutex mutex_;  // all below
  std::condition_variable more_, done_;
  std::deque<std::string> pending_;  // the work list's entries from next_ on, up to queued_
  std::size_t queued_ = 0;           // entries of the work list queued so far
  std::deque<Slot> slots_;           // entries from base_ to next_
  std::size_t base_ = 0, next_ = 0;
  std::deque<Slot*> making_;    // resolved pages waiting to be made
  std::size_t committed_ = 0;   // entries written (or passed) so far
  std::size_t waitingFor_ = 0;  // the entry the calling thread waits for
  bool committing_ = false;
  std::atomic<bool> halted_{false};  // a write failed, the generation stopped or a thread threw
  std::exception_ptr commitError_;
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
      const std::string ref(work[i]);
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
    ParallelSite site(interpreter, templateDir, destDir, list, threads, host, result);
    site.Generate(work, assets);
  }
  result.written.insert(result.written.end(), assets.Copied().begin(), assets.Copied().end());
  hostProgressPos(host, 0);
  return result;
}

}  // namespace lignado
