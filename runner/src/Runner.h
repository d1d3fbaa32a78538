#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "ExitCodes.h"
#include "core/JobReport.h"
#include "platform/TerminationSignals.h"

namespace runner {

// The headless runner: one backup job, as the window's automatic mode makes it, from the folder of the
// runner's own executable (its sistema.ini, its backup folder and log) and the settings row of the
// database that sistema.ini names. The job's lines and the server's go to out; what stops the job before
// it starts, or ends it early, goes to err. The arguments are those after the program's name. A
// termination signal that signals gives stops the backup (nullptr: none is watched).
ExitCode Run(const std::vector<std::string>& arguments, platform::TerminationSignals* signals,
             std::ostream& out, std::ostream& err);

// The exit code that tells how a run came out.
ExitCode ExitCodeOf(const core::JobReport& report);

// What --help prints: the usage, the settings the runner reads and its exit codes.
std::string HelpText();

}  // namespace runner
