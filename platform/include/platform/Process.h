#pragma once

#include <string>

namespace platform {

// The running process itself.
class Process {
 public:
  virtual ~Process() = default;
  // Ends the process at once with the exit code. A test replacement may throw instead of returning.
  [[noreturn]] virtual void EndProcess(int exitCode) = 0;
  // The full path of the running program file.
  virtual std::string ExecutablePath() = 0;
};

}  // namespace platform
