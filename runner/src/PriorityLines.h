#pragma once

#include <ostream>
#include <streambuf>
#include <string>

namespace runner {

// An output stream that puts a syslog priority such as "<3>" before every line it passes on, so that the
// journal logs each line of a message, not only its first, at that priority.
class PriorityLines : public std::ostream {
 public:
  PriorityLines(std::streambuf& destination, std::string priority);

 private:
  class Buffer : public std::streambuf {
   public:
    Buffer(std::streambuf& destination, std::string priority)
        : destination_(destination), priority_(std::move(priority)) {}

   protected:
    int_type overflow(int_type c) override;
    int sync() override { return destination_.pubsync(); }

   private:
    std::streambuf& destination_;
    std::string priority_;
    bool atLineStart_ = true;
  };

  Buffer buffer_;
};

}  // namespace runner
