#pragma once

#include <stdexcept>

namespace app {

// The silent abort: ends the handler that is running without any box.
class SilentAbort : public std::runtime_error {
 public:
  SilentAbort() : std::runtime_error("Operation aborted") {}
};

}  // namespace app
