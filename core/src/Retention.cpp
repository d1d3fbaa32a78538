#include "core/Retention.h"

namespace core {
namespace {

// Days since 1970-01-01 of a date of the proleptic Gregorian calendar, for any year an int holds.
std::int64_t DaysFromCivil(std::int64_t year, unsigned month, unsigned day) {
  year -= month <= 2 ? 1 : 0;
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear = (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + day - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t DayNumber(const platform::LocalDateTime& value) {
  return DaysFromCivil(value.year, static_cast<unsigned>(value.month), static_cast<unsigned>(value.day));
}

}  // namespace

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
