#include <unistd.h>

#include <cstdio>

#include "platform/Machine.h"

namespace platform {
namespace {

class LinuxProcess final : public Process {
 public:
  [[noreturn]] void EndProcess(int exitCode) override {
    std::fflush(nullptr);
    _exit(exitCode);
  }

  std::string ExecutablePath() override {
    std::string path(4096, '\0');
    const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0) return {};
    path.resize(static_cast<std::size_t>(length));
    return path;
  }
};

}  // namespace

std::unique_ptr<Process> MachineProcess() {
  return std::make_unique<LinuxProcess>();
}

}  // namespace platform
