#include <gtest/gtest.h>

#include "core/Scheduler.h"
#include "tests/support/FixedClockSystem.h"

namespace testsupport {
namespace {

using platform::LocalDateTime;
using Times = std::array<std::string, 4>;

TEST(Scheduler, TimesBetweenTwoMomentsOfTheClock) {
  struct Case {
    Times times;
    LocalDateTime after, before;
    std::vector<std::string> missed;
  };
  const Case cases[] = {
      {{"08:00", "", "", ""}, {2026, 3, 7, 7, 59, 58}, {2026, 3, 7, 8, 20, 0}, {"08:00"}},  // suspended
      {{"08:00", "", "", ""}, {2026, 3, 7, 7, 59, 59}, {2026, 3, 7, 8, 0, 0}, {}},  // its second is ticking
      {{"08:00", "", "", ""}, {2026, 3, 7, 8, 0, 0}, {2026, 3, 7, 8, 0, 5}, {}},    // its second was seen
      {{"08:00", "12:00", "08:00", "23:59"},
       {2026, 3, 7, 7, 0, 0},
       {2026, 3, 7, 13, 0, 0},
       {"08:00", "12:00"}},
      {{"00:00", "", "", ""}, {2026, 3, 7, 23, 50, 0}, {2026, 3, 8, 0, 10, 0}, {"00:00"}},  // across midnight
      {{"9:30", "24:00", "12:60", "ab:cd"},
       {2026, 3, 7, 0, 0, 0},
       {2026, 3, 7, 23, 0, 0},
       {}},  // never match
      {{"18:00", "06:00", "", ""},
       {2026, 3, 5, 12, 0, 0},
       {2026, 3, 7, 1, 0, 0},
       {"18:00", "06:00"}},  // days
      {{"07:59", "23:00", "", ""},
       {2026, 3, 7, 0, 0, 0},
       {2026, 3, 7, 23, 30, 0},
       {"07:59", "23:00"}},  // the last minute of an hour, the last hour of a day
      {{"08:30", "", "", ""},
       {2026, 3, 7, 8, 29, 59},
       {2026, 3, 7, 8, 30, 1},
       {"08:30"}},  // its second passed
  };
  for (const Case& c : cases) {
    EXPECT_EQ(core::TimesBetween(c.times, c.after, c.before), c.missed)
        << c.times[0] << " from " << c.after.hour << ":" << c.after.minute << " to " << c.before.hour << ":"
        << c.before.minute;
  }
}

class SchedulerClock : public ::testing::Test {
 protected:
  // Ticks once at each given moment; returns the notes of the jobs run.
  std::vector<std::string> TickAt(std::initializer_list<LocalDateTime> moments, const Times& times) {
    std::vector<std::string> jobs;
    for (const LocalDateTime& moment : moments) {
      clock.Set(moment);
      scheduler.Tick(times, catchUp, [&](const std::string& note) { jobs.push_back(note); });
    }
    return jobs;
  }

  FixedClockSystem clock{{2026, 3, 7, 7, 0, 0}};
  core::Scheduler scheduler{clock};
  bool catchUp = true;
};

TEST_F(SchedulerClock, EveryTickAimsTheNextAtTheMiddleOfTheNextSecond) {
  // Into the second of the tick, and the wait: from a second's edge one and a half, from its middle one.
  for (const auto& [intoSecond, wait] : {std::pair{0, 1500}, {3, 1497}, {500, 1000}, {999, 501}}) {
    clock.Set({2026, 3, 7, 7, 59, 59});
    clock.AddMilliseconds(intoSecond);
    EXPECT_EQ(scheduler.TimeToNextTick(), std::chrono::milliseconds(wait)) << intoSecond;
  }
}

TEST_F(SchedulerClock, WithoutCatchUpATimeWithNoTickInItsSecondIsMissedForTheDay) {
  catchUp = false;
  scheduler.Start();
  struct Case {
    std::initializer_list<LocalDateTime> ticks;
    std::size_t jobs;
  };
  const Case cases[] = {
      {{{2026, 3, 7, 7, 59, 58}, {2026, 3, 7, 12, 20, 0}, {2026, 3, 7, 12, 20, 1}}, 0},  // suspended
      {{{2026, 3, 7, 7, 59, 59}, {2026, 3, 7, 8, 0, 1}}, 0},                             // a tick skipped
      {{{2026, 3, 8, 7, 59, 59}, {2026, 3, 8, 8, 0, 0}, {2026, 3, 8, 8, 0, 1}}, 1},      // its second
  };
  for (const Case& c : cases)
    EXPECT_EQ(TickAt(c.ticks, {"08:00", "", "", ""}).size(), c.jobs) << c.ticks.begin()->day;

  // A job that lasts past the next time: that time is missed.
  std::vector<std::string> jobs;
  clock.Set({2026, 3, 9, 8, 0, 0});
  scheduler.Tick({"08:00", "08:30", "", ""}, false, [&](const std::string& note) {
    jobs.push_back(note);
    clock.Set({2026, 3, 9, 8, 45, 0});
  });
  EXPECT_EQ(TickAt({{2026, 3, 9, 8, 45, 1}}, {"08:00", "08:30", "", ""}), std::vector<std::string>{});
  EXPECT_EQ(jobs, (std::vector<std::string>{""}));
}

TEST_F(SchedulerClock, ATimeIsRunOnceInItsSecondAndNeverCaughtUpAgain) {
  scheduler.Start();
  const auto jobs =
      TickAt({{2026, 3, 7, 7, 59, 59}, {2026, 3, 7, 8, 0, 0}, {2026, 3, 7, 8, 0, 1}}, {"08:00", "", "", ""});
  EXPECT_EQ(jobs, (std::vector<std::string>{""}));
}

TEST_F(SchedulerClock, AJumpOverATimeGivesExactlyOneCatchUpJobThatSaysSo) {
  scheduler.Start();
  const auto jobs = TickAt({{2026, 3, 7, 7, 59, 58}, {2026, 3, 7, 12, 20, 0}, {2026, 3, 7, 12, 20, 1}},
                           {"08:00", "12:00", "", ""});
  EXPECT_EQ(jobs,
            (std::vector<std::string>{"Backup fora de hora: os horários 08:00, 12:00 passaram sem backup."}));
}

TEST_F(SchedulerClock, ATimeThatPassesDuringALongJobIsCaughtUpAfterIt) {
  scheduler.Start();
  std::vector<std::string> jobs;
  clock.Set({2026, 3, 7, 8, 0, 0});
  scheduler.Tick({"08:00", "08:30", "", ""}, true, [&](const std::string& note) {
    jobs.push_back(note);
    clock.Set({2026, 3, 7, 8, 45, 0});  // the job took 45 minutes
  });
  clock.Set({2026, 3, 7, 8, 45, 1});
  scheduler.Tick({"08:00", "08:30", "", ""}, true, [&](const std::string& note) { jobs.push_back(note); });
  EXPECT_EQ(jobs, (std::vector<std::string>{"", "Backup fora de hora: o horário 08:30 passou sem backup."}));
}

TEST_F(SchedulerClock, ATimeThatIsDueMakesUpForTheMissedOnesWithoutASecondJob) {
  scheduler.Start();
  const auto jobs = TickAt({{2026, 3, 7, 7, 59, 58}, {2026, 3, 7, 8, 30, 0}}, {"08:00", "08:30", "", ""});
  EXPECT_EQ(jobs, (std::vector<std::string>{""}));
}

TEST_F(SchedulerClock, TimesThatPassWhileTheSettingsLoadAreCaughtUpWhenTheyArrive) {
  clock.Set({2026, 3, 7, 7, 59, 59});
  scheduler.Start();
  EXPECT_TRUE(TickAt({{2026, 3, 7, 8, 0, 0}, {2026, 3, 7, 8, 0, 1}}, {"", "", "", ""}).empty());
  EXPECT_EQ(TickAt({{2026, 3, 7, 8, 0, 2}}, {"08:00", "", "", ""}).size(), 1u);
  EXPECT_TRUE(TickAt({{2026, 3, 7, 8, 0, 3}}, {"08:00", "", "", ""}).empty());
}

TEST_F(SchedulerClock, NothingBeforeTheClockStartedIsMissed) {
  clock.Set({2026, 3, 7, 8, 30, 0});
  scheduler.Start();
  EXPECT_TRUE(TickAt({{2026, 3, 7, 8, 30, 1}}, {"08:00", "", "", ""}).empty());
}

}  // namespace
}  // namespace testsupport
