#pragma once

namespace lignado {

// A local date and time of day.
struct LocalTime {
  int year = 0, month = 0, day = 0;  // month and day from 1
  int hour = 0, minute = 0, second = 0;
};

// Where today's date and the time of day come from: the system clock, or a fixed one in tests.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual LocalTime now() const = 0;
};

/// The system's local time; the clock every caller gets unless it hands in another.
const Clock& SystemClock();

/// Always the same moment.
class FixedClock final : public Clock {
 public:
  explicit FixedClock(const LocalTime& t) : time_(t) {}
  LocalTime now() const override { return time_; }

 private:
  LocalTime time_;
};

}  // namespace lignado
