#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "pages/Remplace.h"
#include "util/Clock.h"

namespace lignado {

class TBD;
class TVivants;

// The tag texts of a generation, each read once, and their expansions by person number: a
// person's name and dates are asked for on every page that links to them. A value is kept
// from its second request on, in one byte store, so that memory grows with what pages share,
// a few bytes a person for the rest, up to a budget: beyond it values are worked out again.
// The database, clock and living rule do not change while it serves; several threads may use
// one object.
class TTagMemo {
 public:
  // What the tables by person and the kept values may take at most, in bytes.
  static constexpr size_t kBudget = size_t{96} << 20;
  TTagMemo(const TBD& db, const Clock& clock, const TVivants* vivants, size_t budget = kBudget);
  ~TTagMemo();
  TTagMemo(const TTagMemo&) = delete;
  TTagMemo& operator=(const TTagMemo&) = delete;

  bool Serves(const TBD& db, const TVivants* vivants) const {
    return &db == &db_ && vivants == vivants_;
  }
  // A tag text, read once and kept while the object lives.
  struct Memo;
  Memo& Find(std::string_view text);
  static const TTagText& Tags(const Memo& m);
  static const std::vector<TTagText::Unknown>& UnknownTags(const Memo& m);
  // ExpandTags of the memo's text for person.
  std::string Expand(Memo& m, int32_t person);
  // Bytes held for values and for the tables by person: at most the budget, and a table of
  // tag texts.
  size_t MemoryUsed() const;

 private:
  bool find(const Memo& m, int32_t person, std::string& value) const;
  void keep(Memo& m, int32_t person, const std::string& value);

  const TBD& db_;
  const Clock& clock_;
  const TVivants* vivants_;
  const int32_t persons_;
  const size_t budget_;

  mutable std::mutex mutex_;  // texts_, and every write below
  struct TextHash {
    using is_transparent = void;
    size_t operator()(std::string_view s) const { return std::hash<std::string_view>()(s); }
  };
  std::unordered_map<std::string, std::unique_ptr<Memo>, TextHash, std::equal_to<>> texts_;
  // The byte store: values, each after its length, in chunks that never move.
  static constexpr size_t kChunkBits = 20, kChunks = 4096;
  std::unique_ptr<std::atomic<char*>[]> chunks_;
  size_t chunkCount_ = 0, used_ = 0;
  size_t bytes_ = 0;
};

}  // namespace lignado
