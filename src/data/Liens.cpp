#include "data/Liens.h"

#include <algorithm>

#include "data/Base.h"

namespace lignado {

void TGroupes::Build(int32_t n, const std::vector<std::pair<int32_t, int32_t>>& pairs) {
  n = std::max(n, 0);
  start_.assign(static_cast<size_t>(n) + 1, 0);
  std::vector<std::pair<int32_t, int32_t>> strays;
  for (const auto& [key, value] : pairs) {
    if (key >= 1 && key <= n)
      ++start_[key];
    else
      strays.emplace_back(key, value);
  }
  // start_[k] ends group k; each group begins where the one before ends.
  for (size_t k = 1; k < start_.size(); ++k) start_[k] += start_[k - 1];
  // Filled back to front, so each group keeps the order the pairs came in.
  values_.resize(start_.back());
  std::vector<uint32_t> end(start_);
  for (auto it = pairs.rbegin(); it != pairs.rend(); ++it)
    if (it->first >= 1 && it->first <= n) values_[--end[it->first]] = it->second;
  std::stable_sort(strays.begin(), strays.end(),
                   [](const auto& a, const auto& b) { return a.first < b.first; });
  strayKeys_.clear();
  strayValues_.clear();
  for (const auto& [key, value] : strays) {
    strayKeys_.push_back(key);
    strayValues_.push_back(value);
  }
}

std::span<const int32_t> TGroupes::Of(int32_t key) const {
  if (key >= 1 && static_cast<size_t>(key) < start_.size())
    return std::span<const int32_t>(values_).subspan(start_[key - 1],
                                                     start_[key] - start_[key - 1]);
  auto [lo, hi] = std::equal_range(strayKeys_.begin(), strayKeys_.end(), key);
  return std::span<const int32_t>(strayValues_)
      .subspan(static_cast<size_t>(lo - strayKeys_.begin()), static_cast<size_t>(hi - lo));
}

TLiens::TLiens(const TBD& db) : PersonCount(db.PersonCount), UnionCount(db.UnionCount) {
  std::vector<std::pair<int32_t, int32_t>> pairs;
  pairs.reserve(static_cast<size_t>(std::max(PersonCount, 0)) * 2);
  for (int32_t q = 1; q <= PersonCount; ++q) {
    if (!db.IsPersonUsed(q)) continue;
    int32_t f = db.GetFather(q), m = db.GetMother(q);
    if (f != 0) pairs.emplace_back(f, q);
    if (m != 0 && m != f) pairs.emplace_back(m, q);
  }
  enfants_.Build(PersonCount, pairs);

  std::vector<std::pair<int32_t, int32_t>> wives;
  pairs.clear();
  for (int32_t u = 1; u <= UnionCount; ++u) {
    // A union not in use has no husband or wife, whatever its fields hold.
    if (int32_t h = db.GetHusband(u)) pairs.emplace_back(h, u);
    if (int32_t w = db.GetWife(u)) wives.emplace_back(w, u);
  }
  mari_.Build(PersonCount, pairs);
  femme_.Build(PersonCount, wives);
}

const TLiens& TLiensCache::Get(const TBD& db) {
  // The counts are fields that the reader and the wizard set directly.
  auto fits = [&db](const TLiens* l) {
    return l && l->PersonCount == db.PersonCount && l->UnionCount == db.UnionCount;
  };
  const TLiens* l = current_.load(std::memory_order_acquire);
  if (fits(l)) return *l;
  std::lock_guard<std::mutex> lock(mutex_);
  l = current_.load(std::memory_order_acquire);
  if (fits(l)) return *l;
  owned_ = std::make_unique<const TLiens>(db);
  current_.store(owned_.get(), std::memory_order_release);
  return *owned_;
}

}  // namespace lignado
