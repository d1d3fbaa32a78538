#pragma once

#include <chrono>

namespace platform {

using TimePoint = std::chrono::system_clock::time_point;

// A moment as the local clock shows it.
struct LocalDateTime {
  int year = 0;
  int month = 0;  // 1 to 12
  int day = 0;    // 1 to 31
  int hour = 0;   // 0 to 23
  int minute = 0;
  int second = 0;
  friend auto operator<=>(const LocalDateTime&, const LocalDateTime&) = default;
};

// The time of day and the user's way of writing it, and waiting.
class Clock {
 public:
  virtual ~Clock() = default;
  virtual TimePoint Now() = 0;
  virtual LocalDateTime ToLocal(TimePoint moment) = 0;
  // The separators of the user's date and time formats ('/' and ':' when the locale has none).
  virtual char DateSeparator() = 0;
  virtual char TimeSeparator() = 0;
  virtual void Sleep(std::chrono::milliseconds duration) = 0;
};

}  // namespace platform
