#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>
#include <span>
#include <vector>

namespace lignado {

class TBD;

// Numbers grouped by a key, each group in ascending order: the dense keys 1..n in one table,
// any other key (a link to a number outside the pool) in a sorted side table.
class TGroupes {
 public:
  // (key, value) pairs given in ascending order of value.
  void Build(int32_t n, const std::vector<std::pair<int32_t, int32_t>>& pairs);
  std::span<const int32_t> Of(int32_t key) const;

 private:
  std::vector<uint32_t> start_;  // group k is values_[start_[k - 1], start_[k])
  std::vector<int32_t> values_;
  std::vector<int32_t> strayKeys_;  // sorted, one per stray value
  std::vector<int32_t> strayValues_;
};

// Who links to whom, read from the records in one pass: the persons in use by either parent,
// the unions in use by husband and by wife. The database builds it when a question needs it
// and drops it when a link changes (TBD::Liens).
class TLiens {
 public:
  explicit TLiens(const TBD& db);

  // Persons in use whose father or mother is p (once each), in person-number order.
  std::span<const int32_t> Enfants(int32_t p) const { return enfants_.Of(p); }
  // Unions in use whose husband (wife) is p, in union-number order.
  std::span<const int32_t> UnionsMari(int32_t p) const { return mari_.Of(p); }
  std::span<const int32_t> UnionsFemme(int32_t p) const { return femme_.Of(p); }

  // The counts it was read with: the reader and the wizard set them directly.
  int32_t PersonCount, UnionCount;

 private:
  TGroupes enfants_, mari_, femme_;
};

// The index of a database, built on the first question after Drop. A copy starts empty and
// builds its own. Threads may ask at once while nothing changes the database.
class TLiensCache {
 public:
  TLiensCache() = default;
  TLiensCache(const TLiensCache&) {}
  TLiensCache& operator=(const TLiensCache&) {
    Drop();
    return *this;
  }
  const TLiens& Get(const TBD& db);
  void Drop() { current_.store(nullptr, std::memory_order_relaxed); }

 private:
  std::mutex mutex_;
  std::unique_ptr<const TLiens> owned_;
  std::atomic<const TLiens*> current_{nullptr};
};

}  // namespace lignado
