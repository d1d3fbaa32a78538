#pragma once

#include <QDateTime>
#include <ctime>
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace app {

// Copies the source's full length to the destination. The copy is written under a temporary name in the
// destination's folder and renamed into place only when complete, so a failed copy never leaves a
// partial file that looks like a backup; the temporary file is removed on failure. Any failure throws
// std::system_error.
void CopyFileBytes(const std::string& source, const std::string& destination);

// A new list, in the order the file system enumerates them, of every entry of the folder that is not a
// directory, each given as folder, "/", entry name. A folder that cannot be listed gives an empty list.
std::unique_ptr<std::vector<std::string>> ListFolder(const std::string& folder);

// The last-write time of a file as a local date and time at the two-second resolution of the packed
// date-time of classic file systems (seconds rounded down to an even number). Empty when it cannot be read.
std::optional<QDateTime> LastWriteTime(const std::string& path);

// Whether an entry last written at lastWrite is expired: today's date at 00:00:00 minus the retention
// days is at or after it.
bool IsExpired(const QDateTime& lastWrite, const QDateTime& now, int retentionDays);

// The job's log file, open for appending from the start of a job to its end. Created with ordinary
// permissions when missing, never truncated, and never opened through a symbolic link planted in its
// place. Failures throw EInOutError with the system's error code.
class LogFile {
 public:
  explicit LogFile(const std::string& path);
  ~LogFile();
  LogFile(const LogFile&) = delete;
  LogFile& operator=(const LogFile&) = delete;

  void Append(const std::string& bytes);
  void Close();

 private:
  int fd_ = -1;
};

}  // namespace app
