#include <iostream>
#include <string>
#include <vector>

#include "PriorityLines.h"
#include "Runner.h"
#include "platform/Journal.h"
#include "platform/Machine.h"

int main(int argc, char* argv[]) {
  // Before the client library is loaded: it installs TERM and INT handlers of its own that shut its
  // connections, which would end a stopped backup as a server failure. Blocked, the signals reach no
  // handler and wait for the job to take them between the server's lines.
  platform::BlockTerminationSignals();
  const std::unique_ptr<platform::TerminationSignals> signals = platform::MachineTerminationSignals();
  if (!signals) platform::RestoreTerminationSignals();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Under systemd what stopped the run is logged as an error, where journalctl -p err and an OnFailure=
  // unit look; a terminal gets the plain lines.
  runner::PriorityLines journalErrors(*std::cerr.rdbuf(), "<3>");
  const bool toJournal = platform::StandardErrorIsJournal(*platform::MachineEnvironment());
  return static_cast<int>(
      runner::Run(arguments, signals.get(), std::cout, toJournal ? journalErrors : std::cerr));
}
