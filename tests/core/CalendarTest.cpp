#include <gtest/gtest.h>

#include "core/Calendar.h"

namespace testsupport {
namespace {

using platform::LocalDateTime;

TEST(Calendar, DayNumbersCountFromTheFirstOfJanuary1970) {
  struct Case {
    LocalDateTime date;
    std::int64_t day;
  };
  const Case cases[] = {
      {{1970, 1, 1, 0, 0, 0}, 0},      {{1969, 12, 31, 0, 0, 0}, -1},    {{2024, 2, 28, 0, 0, 0}, 19781},
      {{2024, 2, 29, 0, 0, 0}, 19782},  // January and February count with the year before
      {{2024, 3, 1, 0, 0, 0}, 19783},  {{2100, 3, 1, 0, 0, 0}, 47541},    // 2100 has no 29 February
      {{0, 3, 1, 0, 0, 0}, -719468},   {{-400, 3, 1, 0, 0, 0}, -865565},  // 400 years of 146097 days before
                                                                          // that
  };
  for (const Case& c : cases) {
    EXPECT_EQ(core::DayNumber(c.date), c.day) << c.date.year << "-" << c.date.month << "-" << c.date.day;
  }
  EXPECT_EQ(core::ClockSeconds({1970, 1, 2, 1, 2, 3}), 86400 + 3600 + 120 + 3);
}

}  // namespace
}  // namespace testsupport
