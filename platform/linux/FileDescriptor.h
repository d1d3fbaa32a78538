#pragma once

#include <unistd.h>

#include <optional>
#include <string>
#include <utility>

namespace platform::linux_system {

// Owns a file descriptor and closes it when it goes.
class FileDescriptor {
 public:
  FileDescriptor() = default;
  explicit FileDescriptor(int fd) : fd_(fd) {}
  ~FileDescriptor() {
    if (fd_ >= 0) ::close(fd_);
  }
  FileDescriptor(FileDescriptor&& other) noexcept : fd_(std::exchange(other.fd_, -1)) {}
  FileDescriptor& operator=(FileDescriptor&& other) noexcept {
    if (this != &other) {
      if (fd_ >= 0) ::close(fd_);
      fd_ = std::exchange(other.fd_, -1);
    }
    return *this;
  }

  int Get() const { return fd_; }
  bool Valid() const { return fd_ >= 0; }
  // Closes now, so that a failed close (data not written) can be reported.
  bool Close() { return ::close(std::exchange(fd_, -1)) == 0; }

 private:
  int fd_ = -1;
};

// Writes all bytes, retrying after interruptions; false when the system refuses.
bool WriteAll(int fd, const char* data, std::size_t size);

// Reads up to size bytes, fewer when the file ends first, retrying after interruptions; nothing when
// the system refuses.
std::optional<std::string> ReadUpTo(int fd, std::size_t size);

}  // namespace platform::linux_system
