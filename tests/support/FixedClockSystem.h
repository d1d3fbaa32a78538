#pragma once

#include <ctime>

#include "platform/MachineSystem.h"

namespace testsupport {

// The machine's own system with a clock the test sets (local time) and "/" and ":" as separators,
// so that a job's texts are known in advance. Installed for its lifetime.
class FixedClockSystem : public platform::MachineSystem {
 public:
  explicit FixedClockSystem(const platform::LocalDateTime& now) {
    Set(now);
    platform::SetCurrent(this);
  }
  ~FixedClockSystem() override { platform::SetCurrent(nullptr); }
  FixedClockSystem(const FixedClockSystem&) = delete;
  FixedClockSystem& operator=(const FixedClockSystem&) = delete;

  void Set(const platform::LocalDateTime& now) {
    std::tm local{};
    local.tm_year = now.year - 1900;
    local.tm_mon = now.month - 1;
    local.tm_mday = now.day;
    local.tm_hour = now.hour;
    local.tm_min = now.minute;
    local.tm_sec = now.second;
    local.tm_isdst = -1;
    now_ = std::chrono::system_clock::from_time_t(std::mktime(&local));
  }
  // Into the second Set left the clock at.
  void AddMilliseconds(int milliseconds) { now_ += std::chrono::milliseconds(milliseconds); }
  platform::TimePoint Now() override { return now_; }
  char DateSeparator() override { return '/'; }
  char TimeSeparator() override { return ':'; }

 private:
  platform::TimePoint now_;
};

}  // namespace testsupport
