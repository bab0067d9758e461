#include "pages/ListesMemo.h"

namespace lignado {
namespace {

// A long list is told by its size and samples of its bytes; an equal fingerprint is checked
// against the whole text.
uint64_t fingerprint(std::string_view s) {
  uint64_t h = 14695981039346656037ull ^ s.size();
  auto mix = [&h](std::string_view part) {
    for (char c : part) h = (h ^ static_cast<unsigned char>(c)) * 1099511628211ull;
  };
  mix(s.substr(0, 64));
  if (s.size() > 64) mix(s.substr(s.size() - 64));
  const std::size_t step = s.size() / 64 + 1;
  for (std::size_t i = 0; i < s.size(); i += step) mix(s.substr(i, 8));
  return h;
}

}  // namespace

uint32_t TListesMemo::textNumber(const std::string& text) {
  const uint64_t print = fingerprint(text);
  auto [first, last] = byPrint_.equal_range(print);
  for (auto it = first; it != last; ++it)
    if (texts_[it->second - 1] == text) return it->second;
  if (bytes_ + text.size() > kMaxBytes) return 0;
  bytes_ += text.size();
  texts_.push_back(text);
  const auto number = static_cast<uint32_t>(texts_.size());
  byPrint_.emplace(print, number);
  return number;
}

// Short arguments stand as they are, long ones by their number ("\1" marks one).
std::string TListesMemo::key(std::string_view kind, const std::string& a, const std::string& b) {
  std::string k(kind);
  for (const std::string* arg : {&a, &b}) {
    k += '\0';
    if (arg->size() < kMinSize) {
      k += *arg;
      continue;
    }
    const uint32_t n = textNumber(*arg);
    if (n == 0) return {};
    k += '\1';
    k += std::to_string(n);
  }
  return k;
}

std::string TListesMemo::Get(std::string_view kind, const std::string& a, const std::string& b,
                             const Make& make) {
  bool keep = true;
  if (a.size() < kMinSize && b.size() < kMinSize) return make(keep);
  std::string k;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    k = key(kind, a, b);
    if (k.empty()) return make(keep);
    auto it = lists_.find(k);
    if (it != lists_.end()) return it->second;
  }
  // Made without the lock: a sort is long, and two threads making one list make the same.
  std::string list = make(keep);
  if (!keep) return list;
  std::lock_guard<std::mutex> lock(mutex_);
  if (bytes_ + k.size() + list.size() <= kMaxBytes && lists_.emplace(k, list).second)
    bytes_ += k.size() + list.size();
  return list;
}

}  // namespace lignado
