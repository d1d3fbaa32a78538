#pragma once

#include <optional>
#include <string>

namespace platform {

// This process's environment variables.
class Environment {
 public:
  virtual ~Environment() = default;
  // The variable's value; nullopt when it is not set.
  virtual std::optional<std::string> Variable(const std::string& name) = 0;
  // Sets or removes the variable in this process's own environment; false when it cannot be changed.
  virtual bool SetVariable(const std::string& name, const std::string& value) = 0;
  virtual bool UnsetVariable(const std::string& name) = 0;
};

}  // namespace platform
