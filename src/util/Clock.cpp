#include "util/Clock.h"

#include <ctime>

namespace lignado {
namespace {

class SystemTime final : public Clock {
 public:
  LocalTime now() const override {
    std::time_t t = std::time(nullptr);
    std::tm local{};
    localtime_r(&t, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday,
            local.tm_hour,        local.tm_min,     local.tm_sec};
  }
};

}  // namespace

const Clock& SystemClock() {
  static const SystemTime clock;
  return clock;
}

}  // namespace lignado
