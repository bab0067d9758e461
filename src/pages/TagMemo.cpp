#include "pages/TagMemo.h"

#include "data/Base.h"

namespace lignado {
namespace {

// An entry by person: 0 never asked, kSeen asked once, else where the value is kept.
constexpr uint32_t kSeen = 1;
constexpr size_t kPageBits = 12, kPageSize = size_t{1} << kPageBits;
// A longer value (a whole note) is worked out again rather than kept; its length fits in
// two bytes.
constexpr size_t kMaxKept = 0xFFFF;

}  // namespace

struct TTagMemo::Memo {
  Memo(std::string text, size_t pageCount)
      : tags(std::move(text)),
        unknown(tags.UnknownTags()),
        pages(std::make_unique<std::atomic<std::atomic<uint32_t>*>[]>(pageCount)),
        pageCount(pageCount) {}
  ~Memo() {
    for (size_t i = 0; i < pageCount; ++i) delete[] pages[i].load();
  }
  const TTagText tags;
  const std::vector<TTagText::Unknown> unknown;
  std::unique_ptr<std::atomic<std::atomic<uint32_t>*>[]> pages;  // of kPageSize entries
  const size_t pageCount;
};

TTagMemo::TTagMemo(const TBD& db, const Clock& clock, const TVivants* vivants, size_t budget)
    : db_(db),
      clock_(clock),
      vivants_(vivants),
      persons_(std::max(db.PersonCount, 0)),
      budget_(budget),
      chunks_(std::make_unique<std::atomic<char*>[]>(kChunks)) {}

TTagMemo::~TTagMemo() {
  for (size_t i = 0; i < chunkCount_; ++i) delete[] chunks_[i].load();
}

TTagMemo::Memo& TTagMemo::Find(std::string_view text) {
  std::lock_guard<std::mutex> lock(mutex_);
  auto it = texts_.find(text);
  if (it == texts_.end()) {
    const size_t pages = (static_cast<size_t>(persons_) >> kPageBits) + 1;
    it = texts_.emplace(std::string(text), std::make_unique<Memo>(std::string(text), pages)).first;
    bytes_ += pages * sizeof(void*);
  }
  return *it->second;
}

const TTagText& TTagMemo::Tags(const Memo& m) {
  return m.tags;
}

const std::vector<TTagText::Unknown>& TTagMemo::UnknownTags(const Memo& m) {
  return m.unknown;
}

std::string TTagMemo::Expand(Memo& m, int32_t person) {
  std::string value;
  if (person < 1 || person > persons_) return ExpandTags(db_, person, m.tags, clock_, vivants_);
  if (find(m, person, value)) return value;
  value = ExpandTags(db_, person, m.tags, clock_, vivants_);
  keep(m, person, value);
  return value;
}

bool TTagMemo::find(const Memo& m, int32_t person, std::string& value) const {
  const size_t p = static_cast<size_t>(person);
  const std::atomic<uint32_t>* page = m.pages[p >> kPageBits].load(std::memory_order_acquire);
  if (!page) return false;
  const uint32_t at = page[p & (kPageSize - 1)].load(std::memory_order_acquire);
  if (at <= kSeen) return false;
  const char* chunk = chunks_[at >> kChunkBits].load(std::memory_order_acquire);
  const unsigned char* v =
      reinterpret_cast<const unsigned char*>(chunk + (at & ((size_t{1} << kChunkBits) - 1)));
  const size_t size = v[0] | (size_t{v[1]} << 8);
  value.assign(reinterpret_cast<const char*>(v + 2), size);
  return true;
}

// Two threads may work out the same value at once: the first one kept wins, and both are the
// same anyway.
void TTagMemo::keep(Memo& m, int32_t person, const std::string& value) {
  const size_t p = static_cast<size_t>(person);
  std::lock_guard<std::mutex> lock(mutex_);
  std::atomic<uint32_t>* page = m.pages[p >> kPageBits].load(std::memory_order_relaxed);
  if (!page) {
    if (bytes_ + kPageSize * sizeof(uint32_t) > budget_) return;  // over budget: not kept
    page = new std::atomic<uint32_t>[kPageSize]();
    bytes_ += kPageSize * sizeof(uint32_t);
    m.pages[p >> kPageBits].store(page, std::memory_order_release);
  }
  std::atomic<uint32_t>& entry = page[p & (kPageSize - 1)];
  const uint32_t at = entry.load(std::memory_order_relaxed);
  if (at == 0) {
    entry.store(kSeen, std::memory_order_relaxed);  // kept from the second request on
    return;
  }
  const size_t need = value.size() + 2, chunkSize = size_t{1} << kChunkBits;
  if (at != kSeen || value.size() > kMaxKept) return;
  if (chunkCount_ == 0 || used_ + need > chunkSize) {
    // The store is full: values are worked out again.
    if (chunkCount_ == kChunks || bytes_ + chunkSize > budget_) return;
    chunks_[chunkCount_].store(new char[chunkSize], std::memory_order_release);
    bytes_ += chunkSize;
    // Offsets 0 and 1 of the first chunk would read as "never asked" and "asked once".
    used_ = chunkCount_++ == 0 ? 2 : 0;
  }
  char* out = chunks_[chunkCount_ - 1].load(std::memory_order_relaxed) + used_;
  out[0] = static_cast<char>(value.size() & 0xFF);
  out[1] = static_cast<char>(value.size() >> 8);
  value.copy(out + 2, value.size());
  entry.store(static_cast<uint32_t>(((chunkCount_ - 1) << kChunkBits) | used_),
              std::memory_order_release);
  used_ += need;
}

size_t TTagMemo::MemoryUsed() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return bytes_;
}

}  // namespace lignado
