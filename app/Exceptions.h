#pragma once

#include <stdexcept>
#include <string>

namespace app {

// The silent abort: ends the handler that is running without any box.
class EAbort : public std::runtime_error {
 public:
  EAbort() : std::runtime_error("Operation aborted") {}
};

// A file operation of the program failed; the text is "I/O error %d" with the system's error code.
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(int errorCode);
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

}  // namespace app
