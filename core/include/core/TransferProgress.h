#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

#include "platform/Clock.h"

namespace core {

// How far a backup that comes to the program has got. The gauge goes by the bytes received against the
// database's size, an estimate only (a backup holds no indexes and is packed, so it ends smaller), and
// never past 99% before the end. A line tells the megabytes received once another 5% of that size has
// come, or 10 seconds after the line before, whichever is first: a few lines for a small database, one
// every 10 seconds at most for a large one.
class TransferProgress {
 public:
  // databaseBytes 0: the size could not be read; the lines then come by the time alone.
  TransferProgress(std::int64_t databaseBytes, platform::TimePoint start);

  // Counts a piece received at `now`; true when a line is due, which Line() tells.
  bool Received(std::size_t bytes, platform::TimePoint now);
  // 0 to 99.
  int Percent() const;
  // "Recebidos 12,3 MB" (code page 1252, as the log keeps it).
  std::string Line() const;
  // "Total recebido: 15,0 MB".
  std::string TotalLine() const;

 private:
  std::int64_t databaseBytes_;
  std::int64_t received_ = 0;
  std::int64_t receivedAtLine_ = 0;
  platform::TimePoint lineTime_;
};

}  // namespace core
