#include <iostream>
#include <string>
#include <vector>

#include "Runner.h"
#include "platform/Machine.h"

int main(int argc, char* argv[]) {
  // Before the client library is loaded: it installs TERM and INT handlers of its own that shut its
  // connections, which would end a stopped backup as a server failure. Blocked, the signals reach no
  // handler and wait for the job to take them between the server's lines.
  platform::BlockTerminationSignals();
  const std::unique_ptr<platform::TerminationSignals> signals = platform::MachineTerminationSignals();
  if (!signals) platform::RestoreTerminationSignals();
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return static_cast<int>(runner::Run(arguments, signals.get(), std::cout, std::cerr));
}
