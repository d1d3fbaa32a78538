#pragma once

#include <array>
#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "platform/System.h"

namespace core {

// The automatic mode's clock. Every tick compares the schedule times with the clock as it always has: a
// time is due only during its second hh:mm:00. A time that passes with no tick in its second (the machine
// was suspended, a job or a box held the program, the settings arrived just after it) is missed for that
// day, unless the administrator asks for catch-up: then the next tick runs one catch-up job, whose log
// block names the times it makes up for.
class Scheduler {
 public:
  // The job to run; the note (UTF-8) is empty for a time that is due, and says which times were missed
  // for a catch-up job.
  using RunJob = std::function<void(const std::string& note)>;

  explicit Scheduler(platform::Clock& clock) : clock_(clock) {}

  // The clock starts watching: times that passed before now are not missed.
  void Start();
  // One tick. A job that ends the tick early (by throwing) ends it here too; the times up to then count
  // as watched.
  void Tick(const std::array<std::string, 4>& scheduleTimes, bool catchUp, const RunJob& runJob);
  // How long the clock's timer waits for its next tick, read after a tick: until the middle of the next
  // second of the clock. A tick a few milliseconds from a second's edge now and then lands twice in one
  // second and none in the next, and a second without a tick is a schedule time missed; half a second of
  // lateness either way still leaves one tick in every second.
  std::chrono::milliseconds TimeToNextTick();

 private:
  // Runs the job for every time due now; whether any was.
  bool RunDueTimes(const std::array<std::string, 4>& scheduleTimes, const RunJob& runJob);

  platform::Clock& clock_;
  // The moment of the last tick's comparisons, and the seconds (as ClockSeconds) at which a time matched
  // and ran since; a time passes unseen when its second lies after the one and is not among the others.
  std::optional<platform::LocalDateTime> watchedUntil_;
  std::vector<std::int64_t> ranAt_;
};

// The schedule times, in slot order and each once, whose second hh:mm:00 falls strictly between two
// moments of the local clock (on any day between them). Times not written "hh:mm" within 00:00 to 23:59
// never count: they never match either. Occurrences at a second listed in `ran` (as ClockSeconds) do not
// count: they were run.
std::vector<std::string> TimesBetween(const std::array<std::string, 4>& scheduleTimes,
                                      const platform::LocalDateTime& after,
                                      const platform::LocalDateTime& before,
                                      const std::vector<std::int64_t>& ran = {});

// The log line of a catch-up job (UTF-8).
std::string MissedTimesNote(const std::vector<std::string>& times);

}  // namespace core
