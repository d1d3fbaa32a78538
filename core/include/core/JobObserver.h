#pragma once

#include <string>
#include <string_view>

namespace core {

// What a running backup job tells whoever shows it while it runs: the window, or a program writing to a
// terminal. Every call is made on the job's own thread, in the order of the job's steps. How the job came
// out is its report's to tell.
class JobObserver {
 public:
  virtual ~JobObserver() = default;
  // The transcript was cleared or received lines.
  virtual void TranscriptChanged() {}
  // The status text (UTF-8).
  virtual void StatusChanged(std::string_view status) { (void)status; }
  // The progress estimate: a new maximum, one step forward (never past the maximum), or full.
  virtual void ProgressMaximumChanged(int maximum) { (void)maximum; }
  virtual void ProgressAdvanced() {}
  virtual void ProgressFilled() {}
  // After every line the server sent, shown or not: the place to keep a window responsive, or to print
  // the line (code page 1252, as the server sent it) where nothing else shows it.
  virtual void OutputLineRead(std::string_view cp1252Line) { (void)cp1252Line; }
  // After every piece of a backup the server sends to the program, and about once a second while the
  // server writes a backup without lines: the place to keep a window responsive in the meantime.
  virtual void BackupDataRead() {}
  // The server has written the backup, which is about to be verified and copied: the one moment to
  // spoil it in a test of the verification. The name is the local one (UTF-8).
  virtual void BackupWritten(const std::string& localBackupName) { (void)localBackupName; }
  // Asked before the backup is requested and after every line of the backup and of its verification: true
  // ends the job there, as stopped (a program without a loop of its own asked to end, which cannot wait
  // for a long backup).
  virtual bool StopWanted() { return false; }
};

}  // namespace core
