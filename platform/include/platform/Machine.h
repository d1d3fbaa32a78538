#pragma once

// The machine's own answer to each of the platform's interfaces, for the programs' main() (and tests of
// the machine's answers) to make and hand to what needs them. How the machine answers stays inside the
// platform library.

#include <memory>

#include "platform/Autostart.h"
#include "platform/Boxes.h"
#include "platform/Clock.h"
#include "platform/Environment.h"
#include "platform/Files.h"
#include "platform/FolderLocks.h"
#include "platform/HttpClient.h"
#include "platform/Launcher.h"
#include "platform/Libraries.h"
#include "platform/Process.h"
#include "platform/TerminationSignals.h"

namespace platform {

std::unique_ptr<Clock> MachineClock();
std::unique_ptr<Process> MachineProcess();
// Without a window system a box goes to the standard error stream.
std::unique_ptr<Boxes> MachineBoxes();
std::unique_ptr<Environment> MachineEnvironment();
std::unique_ptr<Files> MachineFiles();
// The folder follows XDG_CONFIG_DIRS as the environment given (which must outlive the result) reads it.
std::unique_ptr<Autostart> MachineAutostart(Environment& environment);
// Programs are looked up along PATH as the environment given (which must outlive the result) reads it.
std::unique_ptr<Launcher> MachineLauncher(Environment& environment);
std::unique_ptr<Libraries> MachineLibraries();
std::unique_ptr<HttpClient> MachineHttpClient();
std::unique_ptr<FolderLocks> MachineFolderLocks();
// Reads the signals BlockTerminationSignals() blocked; nullptr when the system gives no descriptor for
// them, and then the caller restores their default (RestoreTerminationSignals) rather than lose them.
std::unique_ptr<TerminationSignals> MachineTerminationSignals();

}  // namespace platform
