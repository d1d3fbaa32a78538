#pragma once

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
  // After every line the server sent, shown or not: the place to keep a window responsive.
  virtual void OutputLineRead() {}
  // The backup was made but could not be copied to the copy folder (the job goes on).
  virtual void CopyFailed() {}
};

}  // namespace core
