#include <gtest/gtest.h>

#include <climits>

#include "core/Retention.h"

namespace testsupport {
namespace {

using platform::LocalDateTime;

TEST(Retention, LimitIsTodaysMidnightMinusTheRetentionDays) {
  const LocalDateTime now{2026, 5, 10, 14, 30, 0};
  struct Case {
    LocalDateTime lastWrite;
    std::int32_t days;
    bool expired;
  };
  const Case cases[] = {
      {{2026, 5, 3, 0, 0, 0}, 7, true},       // exactly at the limit
      {{2026, 5, 3, 0, 0, 2}, 7, false},      // two seconds after it
      {{2026, 5, 2, 23, 59, 58}, 7, true},    // the evening before
      {{2026, 4, 1, 12, 0, 0}, 7, true},      // across a month
      {{2025, 12, 30, 23, 0, 0}, 130, true},  // across a year: the limit is 2025-12-31 00:00
      {{2025, 12, 31, 0, 0, 2}, 130, false},
      {{2026, 5, 10, 0, 0, 0}, 0, true},  // 0 days: today's midnight itself
      {{2026, 5, 10, 0, 0, 2}, 0, false},
      {{1, 1, 1, 0, 0, 0}, INT_MAX, false},  // a limit millions of years back expires nothing
  };
  for (const Case& c : cases) {
    EXPECT_EQ(core::IsExpired(c.lastWrite, now, c.days), c.expired)
        << c.lastWrite.year << "-" << c.lastWrite.month << "-" << c.lastWrite.day << " " << c.lastWrite.hour
        << ":" << c.lastWrite.minute << ":" << c.lastWrite.second << ", " << c.days << " days";
  }
}

TEST(Retention, LastWriteIsJudgedAtTwoSecondResolution) {
  EXPECT_EQ(core::PackedLocalTime({2026, 5, 3, 0, 0, 1}), (LocalDateTime{2026, 5, 3, 0, 0, 0}));
  EXPECT_EQ(core::PackedLocalTime({2026, 5, 3, 0, 0, 59}), (LocalDateTime{2026, 5, 3, 0, 0, 58}));
  EXPECT_TRUE(core::IsExpired(core::PackedLocalTime({2026, 5, 3, 0, 0, 1}), {2026, 5, 10, 9, 0, 0}, 7));
}

}  // namespace
}  // namespace testsupport
