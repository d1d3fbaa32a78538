#pragma once

#include <cstdint>

#include "platform/System.h"

namespace core {

// A last-write time as the clean-up judges it: the local date and time at the two-second resolution of
// the packed date-time of classic file systems (seconds rounded down to an even number).
platform::LocalDateTime PackedLocalTime(const platform::LocalDateTime& lastWrite);

// Whether an entry last written at lastWrite (local) has expired: today's date at 00:00:00 minus the
// retention days is at or after it. Any number of days, however large, is counted without overflow.
bool IsExpired(const platform::LocalDateTime& lastWrite, const platform::LocalDateTime& now,
               std::int32_t retentionDays);

}  // namespace core
