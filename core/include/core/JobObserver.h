#pragma once

#include <string>
#include <string_view>

namespace core {

// What a running backup job tells whoever shows it: the window, or a program writing to a terminal. Every
// call is made on the job's own thread, in the order of the job's steps.
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
  // The server has written the backup, which is about to be verified and copied: the one moment to
  // spoil it in a test of the verification. The name is the local one (UTF-8).
  virtual void BackupWritten(const std::string& localBackupName) { (void)localBackupName; }
  // The backup did not restore and check out (UTF-8: why); the job goes on, and counts as failed.
  virtual void VerificationFailed(std::string_view why) { (void)why; }
  // The backup was made but could not be copied to the copy folder (the job goes on).
  virtual void CopyFailed() {}
};

}  // namespace core
