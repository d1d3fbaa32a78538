#pragma once

#include "TerminalView.h"
#include "platform/TerminationSignals.h"

namespace runner {

// The terminal's view of a job that TERM, INT or HUP stop: the runner has no loop of its own to end from,
// so the job asks between the server's lines, and a signal that came since the last asking stops it.
class SignalledTerminalView final : public TerminalView {
 public:
  // signals: nullptr watches none.
  SignalledTerminalView(const core::Transcript& transcript, std::ostream& out,
                        platform::TerminationSignals* signals)
      : TerminalView(transcript, out), signals_(signals) {}

  bool StopWanted() override;

 private:
  platform::TerminationSignals* signals_;
  // A signal is taken once; the stop it asked for stays asked.
  bool stopWanted_ = false;
};

}  // namespace runner
