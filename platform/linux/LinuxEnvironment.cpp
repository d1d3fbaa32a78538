#include <cstdlib>

#include "platform/Machine.h"

namespace platform {
namespace {

class LinuxEnvironment final : public Environment {
 public:
  std::optional<std::string> Variable(const std::string& name) override {
    const char* value = std::getenv(name.c_str());
    if (value == nullptr) return std::nullopt;
    return std::string(value);
  }

  bool SetVariable(const std::string& name, const std::string& value) override {
    return ::setenv(name.c_str(), value.c_str(), 1) == 0;
  }

  bool UnsetVariable(const std::string& name) override { return ::unsetenv(name.c_str()) == 0; }
};

}  // namespace

std::unique_ptr<Environment> MachineEnvironment() {
  return std::make_unique<LinuxEnvironment>();
}

}  // namespace platform
