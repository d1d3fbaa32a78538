#pragma once

#include <sys/types.h>

#include <filesystem>
#include <string>
#include <vector>

namespace testsupport {

// The environment of a child: ours without a private server's variables (a client must never pick up a
// private root), without the variables that `extra` gives or that `dropped` names (e.g. "DISPLAY"),
// plus the extra entries.
std::vector<std::string> ChildEnvironment(const std::vector<std::string>& extra,
                                          const std::vector<std::string>& dropped = {});

// Pointers to the texts for exec, ending with a null pointer; valid while the strings are.
std::vector<char*> CStrings(std::vector<std::string>& strings);

// How a background child starts: its own process group (killed with it by the test), or its own session
// (a server that must outlive the terminal's signals).
enum class Detach { ProcessGroup, Session };

// Starts argv[0] (searched in PATH) with exactly this environment, standard input from /dev/null and
// both outputs appended to the log (/dev/null when empty), in the working folder when one is given.
// Returns the child's id; throws when it cannot fork.
pid_t StartLogged(const std::vector<std::string>& argv, const std::vector<std::string>& environment,
                  const std::filesystem::path& log, Detach detach,
                  const std::filesystem::path& workingFolder = {});

}  // namespace testsupport
