#include <iostream>
#include <string>
#include <vector>

#include "PriorityLines.h"
#include "Runner.h"
#include "platform/Journal.h"
#include "platform/Machine.h"

int main(int argc, char* argv[]) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  // Under systemd what stopped the run is logged as an error, where journalctl -p err and an OnFailure=
  // unit look; a terminal gets the plain lines.
  runner::PriorityLines journalErrors(*std::cerr.rdbuf(), "<3>");
  const bool toJournal = platform::StandardErrorIsJournal(*platform::MachineEnvironment());
  return static_cast<int>(runner::Run(arguments, std::cout, toJournal ? journalErrors : std::cerr));
}
