#pragma once

#include <string>

namespace platform {

// Programs the user starts from here, as a desktop shell would start them.
class Launcher {
 public:
  virtual ~Launcher() = default;
  // The program file a desktop shell would run for a file name: a name with a folder as it stands, a bare
  // name from the current folder first, then along PATH. Empty when there is none.
  virtual std::string ResolveProgram(const std::string& file) = 0;
  // Starts the program with no arguments in the current folder, detached (never waited for); false when
  // it did not start.
  virtual bool LaunchDetached(const std::string& program) = 0;
};

}  // namespace platform
