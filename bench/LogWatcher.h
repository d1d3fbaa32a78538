#pragma once

#include <chrono>
#include <cstdint>
#include <deque>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "bench/BenchSupport.h"

namespace bench {

// Watches a folder (inotify) for what a job does to its log file there: the job opens the log when it
// begins and closes it once the whole block is written. The times are those at which this process learns
// of the events, while it sleeps waiting for them, so they lag the program by microseconds, not by a
// polling interval. The folder must stay (its contents may be removed between jobs).
class LogWatcher {
 public:
  LogWatcher(const std::filesystem::path& folder, const std::string& fileName);
  // Any file whose name ends with nameEnding (".gbk.part"): for files named by the job's date and time.
  struct AnyEndingWith {
    std::string nameEnding;
  };
  LogWatcher(const std::filesystem::path& folder, AnyEndingWith files);
  ~LogWatcher();
  LogWatcher(const LogWatcher&) = delete;
  LogWatcher& operator=(const LogWatcher&) = delete;

  // Forgets events that have arrived so far.
  void Drain();
  // Waits until the file is created or opened; empty on time-out.
  std::optional<Clock::time_point> WaitForOpen(std::chrono::milliseconds timeout);
  // Waits until the file, opened for writing, is closed; empty on time-out.
  std::optional<Clock::time_point> WaitForWrittenAndClosed(std::chrono::milliseconds timeout);
  // Waits until a file is renamed to the name; empty on time-out.
  std::optional<Clock::time_point> WaitForRenamedTo(std::chrono::milliseconds timeout);

 private:
  LogWatcher(const std::filesystem::path& folder, const std::string& name, bool nameIsEnding);
  bool Matches(std::string_view name) const;

  struct Event {
    std::uint32_t mask = 0;
    Clock::time_point arrived;
  };
  // Waits for the first event on the file among those of the mask; earlier events of other kinds are
  // dropped, later ones kept for the next wait.
  std::optional<Clock::time_point> WaitFor(std::uint32_t mask, std::chrono::milliseconds timeout);
  // Moves the events that have arrived into the queue; false when there were none.
  bool ReadEvents();

  int fd_ = -1;
  std::string fileName_;
  bool nameIsEnding_ = false;
  std::deque<Event> pending_;
};

}  // namespace bench
