#pragma once

#include <string>
#include <vector>

namespace testsupport {

// Runs a command line (argv[0] found through PATH) with extra environment entries, collecting its
// standard output and error together. Returns the exit code, or -1 when it could not run.
// Linux: FirebirdServer.cpp; Windows: RunCommandWin32.cpp.
int RunCommand(const std::vector<std::string>& argv, std::string* output = nullptr,
               const std::vector<std::string>& extraEnvironment = {}, const std::string& input = {});

}  // namespace testsupport
