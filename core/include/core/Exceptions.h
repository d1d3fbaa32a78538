#pragma once

#include <stdexcept>

namespace core {

// A file operation of the job failed; the text is "I/O error %d" with the system's error code.
class EInOutError : public std::runtime_error {
 public:
  explicit EInOutError(int errorCode);
  int ErrorCode() const { return errorCode_; }

 private:
  int errorCode_;
};

}  // namespace core
