#pragma once

#include <stdexcept>

namespace app {

// The silent abort: ends the handler that is running without any box.
class EAbort : public std::runtime_error {
 public:
  EAbort() : std::runtime_error("Operation aborted") {}
};

}  // namespace app
