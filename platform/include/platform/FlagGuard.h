#pragma once

namespace platform {

// Sets a flag for as long as it lives and clears it when it goes, however the scope is left (an
// exception included): "this is running", so that a re-entrant call made from inside can see it.
class FlagGuard {
 public:
  explicit FlagGuard(bool& flag) : flag_(flag) { flag_ = true; }
  ~FlagGuard() { flag_ = false; }
  FlagGuard(const FlagGuard&) = delete;
  FlagGuard& operator=(const FlagGuard&) = delete;

 private:
  bool& flag_;
};

}  // namespace platform
