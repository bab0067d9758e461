#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace lignado {

// The lists that pages make from whole-base lists (a sort, a page of a list, the persons of an
// initial), made once for a generation instead of once per page, and shared by its threads.
// The database does not change while pages run, so one (kind, a, b) always gives one list.
class TListesMemo {
 public:
  // Lists shorter than this (both arguments) are made again: that is faster than a look-up.
  static constexpr std::size_t kMinSize = 4096;
  // Beyond this many bytes of arguments and lists kept, lists are made and not kept.
  static constexpr std::size_t kMaxBytes = std::size_t{768} << 20;

  // make(keep) makes the list of kind(a, b); it clears keep for a list that must not be kept
  // (a sort cut short).
  using Make = std::function<std::string(bool& keep)>;
  std::string Get(std::string_view kind, const std::string& a, const std::string& b,
                  const Make& make);

 private:
  // The number of a long text kept as an argument, under the lock; 0 when full.
  uint32_t textNumber(const std::string& text);
  std::string key(std::string_view kind, const std::string& a, const std::string& b);

  std::mutex mutex_;
  std::unordered_multimap<uint64_t, uint32_t> byPrint_;  // fingerprint -> text number
  std::vector<std::string> texts_;                       // text number - 1 -> text
  std::unordered_map<std::string, std::string> lists_;
  std::size_t bytes_ = 0;
};

}  // namespace lignado
