#include "core/Scheduler.h"

#include <algorithm>

#include "core/Calendar.h"
#include "core/DateTimeFormat.h"

namespace core {
namespace {

// Hours and minutes of a time written "hh:mm", as the exact match needs it.
std::optional<std::pair<int, int>> HoursAndMinutes(const std::string& time) {
  const auto digit = [&](std::size_t i) { return time[i] >= '0' && time[i] <= '9'; };
  if (time.size() != 5 || time[2] != ':' || !digit(0) || !digit(1) || !digit(3) || !digit(4))
    return std::nullopt;
  const int hours = (time[0] - '0') * 10 + (time[1] - '0');
  const int minutes = (time[3] - '0') * 10 + (time[4] - '0');
  if (hours > 23 || minutes > 59) return std::nullopt;
  return std::make_pair(hours, minutes);
}

}  // namespace

std::vector<std::string> TimesBetween(const std::array<std::string, 4>& scheduleTimes,
                                      const platform::LocalDateTime& after,
                                      const platform::LocalDateTime& before,
                                      const std::vector<std::int64_t>& ran) {
  const std::int64_t first = ClockSeconds(after);
  const std::int64_t last = ClockSeconds(before);
  std::vector<std::string> times;
  for (const std::string& time : scheduleTimes) {
    const auto hm = HoursAndMinutes(time);
    if (!hm || std::find(times.begin(), times.end(), time) != times.end()) continue;
    // Its latest occurrence before `before`, on that day or the day before.
    std::int64_t occurrence = DayNumber(before) * 86400 + hm->first * 3600LL + hm->second * 60LL;
    if (occurrence >= last) occurrence -= 86400;
    if (occurrence > first && std::find(ran.begin(), ran.end(), occurrence) == ran.end())
      times.push_back(time);
  }
  return times;
}

std::string MissedTimesNote(const std::vector<std::string>& times) {
  std::string joined;
  for (const std::string& time : times)
    joined += (joined.empty() ? "" : ", ") + time;
  return times.size() == 1 ? "Backup fora de hora: o horário " + joined + " passou sem backup."
                           : "Backup fora de hora: os horários " + joined + " passaram sem backup.";
}

void Scheduler::Start() {
  watchedUntil_ = clock_.ToLocal(clock_.Now());
}

void Scheduler::Tick(const std::array<std::string, 4>& scheduleTimes, bool catchUp, const RunJob& runJob) {
  if (!catchUp) {
    ranAt_.clear();
    RunDueTimes(scheduleTimes, runJob);
    return;
  }
  // Until the settings row brings times there is nothing to miss, and the watch stays where the clock
  // started: a time that passes while the settings load is made up for when they arrive.
  if (std::all_of(scheduleTimes.begin(), scheduleTimes.end(), [](const std::string& t) { return t.empty(); }))
    return;
  const platform::LocalDateTime tickStart = clock_.ToLocal(clock_.Now());
  const std::vector<std::string> missed = watchedUntil_
                                              ? TimesBetween(scheduleTimes, *watchedUntil_, tickStart, ranAt_)
                                              : std::vector<std::string>();
  // Set before any job runs, which may end the tick by throwing: the times that pass during a job are
  // then missed and made up for at the next tick.
  watchedUntil_ = tickStart;
  ranAt_.clear();
  const bool ran = RunDueTimes(scheduleTimes, runJob);
  // A job that ran in this tick made up for the missed times as well.
  if (!missed.empty() && !ran) runJob(MissedTimesNote(missed));
}

std::chrono::milliseconds Scheduler::TimeToNextTick() {
  using std::chrono::milliseconds;
  // Local seconds begin where the system clock's do: time zones differ from it by whole seconds.
  const std::int64_t intoSecond =
      std::chrono::duration_cast<milliseconds>(clock_.Now().time_since_epoch()).count() % 1000;
  return milliseconds(1500 - (intoSecond < 0 ? intoSecond + 1000 : intoSecond));
}

bool Scheduler::RunDueTimes(const std::array<std::string, 4>& scheduleTimes, const RunJob& runJob) {
  platform::Clock& clock = clock_;
  bool ran = false;
  for (const std::string& time : scheduleTimes) {
    // The clock is read again for every time: a job started by an earlier time may have taken a while.
    const platform::LocalDateTime moment = clock.ToLocal(clock.Now());
    if (time + ":00" == FormatDateTime("hh:nn:ss", moment, clock.DateSeparator(), clock.TimeSeparator())) {
      ran = true;
      ranAt_.push_back(ClockSeconds(moment));
      runJob({});
    }
  }
  return ran;
}

}  // namespace core
