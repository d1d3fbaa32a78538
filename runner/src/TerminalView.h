#pragma once

#include <cstddef>
#include <ostream>

#include "core/JobObserver.h"
#include "core/Transcript.h"

namespace runner {

// Shows a running job on a terminal: every line the job writes, and every line the server sends, in
// UTF-8 as they come, one per line.
class TerminalView : public core::JobObserver {
 public:
  TerminalView(const core::Transcript& transcript, std::ostream& out) : transcript_(transcript), out_(out) {}

  void TranscriptChanged() override;
  void OutputLineRead(std::string_view cp1252Line) override;

 private:
  void Print(std::string_view cp1252Line);

  const core::Transcript& transcript_;
  std::ostream& out_;
  // The transcript's lines printed so far.
  std::size_t printed_ = 0;
};

}  // namespace runner
