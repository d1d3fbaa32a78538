#include "core/Calendar.h"

namespace core {

std::int64_t DayNumber(const platform::LocalDateTime& value) {
  const auto month = static_cast<unsigned>(value.month);
  const std::int64_t year = static_cast<std::int64_t>(value.year) - (month <= 2 ? 1 : 0);
  const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
  const auto yearOfEra = static_cast<unsigned>(year - era * 400);
  const unsigned dayOfYear =
      (153 * (month > 2 ? month - 3 : month + 9) + 2) / 5 + static_cast<unsigned>(value.day) - 1;
  const unsigned dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
  return era * 146097 + static_cast<std::int64_t>(dayOfEra) - 719468;
}

std::int64_t ClockSeconds(const platform::LocalDateTime& value) {
  return DayNumber(value) * 86400 + value.hour * 3600LL + value.minute * 60LL + value.second;
}

}  // namespace core
