#include <gtest/gtest.h>

#include "core/TransferProgress.h"

namespace core {
namespace {

using std::chrono::seconds;

// A database of 100 MB: 5% is 5 MB. Pieces arrive at the seconds given after the start.
TEST(TransferProgress, ALineEveryFivePercentOrTenSecondsAndTheGaugeStopsAt99) {
  constexpr std::int64_t kMegabyte = 1024 * 1024;
  const platform::TimePoint start{seconds(1'000'000)};
  struct Case {
    std::int64_t piece;
    int second;
    const char* line;  // nullptr: none due
    int percent;
  };
  const Case cases[] = {
      {1 * kMegabyte, 1, nullptr, 1},
      {4 * kMegabyte - 1, 2, nullptr, 4},
      {1, 3, "Recebidos 5,0 MB", 5},
      {kMegabyte / 2, 12, nullptr, 5},
      {kMegabyte / 4, 13, "Recebidos 5,8 MB", 5},
      {200 * kMegabyte, 14, "Recebidos 205,8 MB", 99},
  };
  TransferProgress progress(100 * kMegabyte, start);
  for (const Case& c : cases) {
    const bool due = progress.Received(static_cast<std::size_t>(c.piece), start + seconds(c.second));
    EXPECT_EQ(c.line != nullptr, due) << c.second;
    if (due) {
      EXPECT_EQ(c.line, progress.Line());
    }
    EXPECT_EQ(c.percent, progress.Percent()) << c.second;
  }
  EXPECT_EQ("Total recebido: 205,8 MB", progress.TotalLine());

  // Without the database's size the time alone brings the lines, and the gauge does not move.
  TransferProgress unsized(0, start);
  EXPECT_FALSE(unsized.Received(300 * kMegabyte, start + seconds(9)));
  EXPECT_TRUE(unsized.Received(1, start + seconds(10)));
  EXPECT_EQ("Recebidos 300,0 MB", unsized.Line());
  EXPECT_EQ(0, unsized.Percent());
}

}  // namespace
}  // namespace core
