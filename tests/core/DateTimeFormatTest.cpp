#include <gtest/gtest.h>

#include "core/DateTimeFormat.h"

namespace core {
namespace {

TEST(DateTimeFormat, CodesBecomeZeroPaddedPartsAndSeparatorsThoseGiven) {
  struct Case {
    const char* format;
    platform::LocalDateTime value;
    char dateSeparator, timeSeparator;
    const char* expected;
  };
  const Case cases[] = {
      {"dd/mm/yyyy hh:nn", {2026, 3, 7, 21, 5, 59}, '/', ':', "07/03/2026 21:05"},
      {"dd/mm/yyyy hh:nn:ss", {2026, 12, 31, 0, 0, 9}, '.', '-', "31.12.2026 00-00-09"},
      {"yyyymmdd_hhnn", {2026, 3, 7, 21, 5, 59}, '/', ':', "20260307_2105"},
      {"yyyy", {987, 1, 1, 0, 0, 0}, '/', ':', "0987"},
      // Lone letters and letters of no code are copied as they are.
      {"m d y h n s x", {2026, 3, 7, 21, 5, 59}, '/', ':', "m d y h n s x"},
      // Three "y" are no year; of three "m" the first two are the month.
      {"yyy/mmm", {2026, 3, 7, 21, 5, 59}, '-', ':', "yyy-03m"},
      {"", {2026, 3, 7, 21, 5, 59}, '/', ':', ""},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.expected, FormatDateTime(c.format, c.value, c.dateSeparator, c.timeSeparator)) << c.format;
  }
}

}  // namespace
}  // namespace core
