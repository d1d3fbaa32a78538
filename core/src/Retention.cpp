#include "core/Retention.h"

#include "core/Calendar.h"

namespace core {
platform::LocalDateTime PackedLocalTime(const platform::LocalDateTime& lastWrite) {
  platform::LocalDateTime packed = lastWrite;
  packed.second &= ~1;
  return packed;
}

bool IsExpired(const platform::LocalDateTime& lastWrite, const platform::LocalDateTime& now,
               std::int32_t retentionDays) {
  const std::int64_t limitDay = DayNumber(now) - retentionDays;
  const std::int64_t lastWriteDay = DayNumber(lastWrite);
  // The limit is that day at 00:00:00, so any moment later on an earlier day, or at midnight of that day,
  // is at or before it.
  if (lastWriteDay != limitDay) return lastWriteDay < limitDay;
  return lastWrite.hour == 0 && lastWrite.minute == 0 && lastWrite.second == 0;
}

}  // namespace core
