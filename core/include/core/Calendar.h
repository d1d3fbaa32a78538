#pragma once

#include <cstdint>

#include "platform/System.h"

namespace core {

// Days since 1970-01-01 of a local date (proleptic Gregorian calendar), for any year an int holds.
std::int64_t DayNumber(const platform::LocalDateTime& value);

// Seconds of a local moment counted from 1970-01-01 00:00:00 of the same clock; differences between two
// such counts are the seconds the clock's face moved.
std::int64_t ClockSeconds(const platform::LocalDateTime& value);

}  // namespace core
