#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace lignado {

class TTemplateAssets;

// The ordered list of page references met while generating a site; a reference that equals
// an entry without regard to case is already there. The texts stay in place: a view of an
// entry lives as long as the list.
class TWorkList {
 public:
  TWorkList();  // holds "index"
  std::size_t size() const { return where_.size(); }
  std::string_view operator[](std::size_t i) const {
    const Where& w = where_[i];
    return std::string_view(blocks_[w.block].get() + w.at, w.length);
  }
  // The entry equal to ref ignoring case, if any.
  std::optional<std::string_view> Find(std::string_view ref) const;
  bool Add(std::string_view ref);  // false when already there

 private:
  // Entries by their text folded to lower case, in one open-addressed table holding a part of
  // each hash: a page looks up every link it holds, mostly in a list of many thousands.
  struct Slot {
    uint32_t entry = 0;  // entry index + 1; 0 marks a free slot
    uint32_t hash = 0;
  };
  const Slot* slot(std::string_view ref, std::size_t hash) const;
  void place(std::size_t entry, std::size_t hash);
  // The texts side by side in blocks that never move (a site may have millions of pages).
  struct Where {
    uint32_t block = 0, at = 0, length = 0;
  };
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::size_t blockSize_ = 0, blockUsed_ = 0;  // of the last block
  std::vector<Where> where_;
  std::vector<Slot> table_;
};

// With assets, a link or source ("src=") naming a file of the template folder copies it and
// stays as written.
std::string RewriteLinks(const std::string& pageText, TWorkList& workList,
                         TTemplateAssets* assets = nullptr);

// RewriteLinks in three steps, so that threads can share the work: the links of a page found
// (any thread), each resolved in page order against the work list (one thread), the page made
// with the texts resolved (any thread).
struct PageLink {
  std::size_t start = 0, end = 0;  // the target, between "ref=" (or "src=") and its quote
  bool source = false;             // "src=", looked for only when sources is true
};
std::vector<PageLink> FindLinks(std::string_view pageText, bool sources);
// Appends what the link's target becomes to out; the page it names joins the work list.
void ResolveLink(std::string_view pageText, const PageLink& link, TWorkList& workList,
                 TTemplateAssets* assets, std::string& out);
// The page with each link's target replaced: resolved holds the new targets one after the
// other, ends[i] where that of links[i] ends.
std::string ReplaceLinks(std::string_view pageText, const std::vector<PageLink>& links,
                         std::string_view resolved, const std::vector<std::size_t>& ends);
std::string PageFileName(const std::string& reference);

}  // namespace lignado
