#pragma once

#include <unistd.h>

#include <QByteArray>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <string>

namespace testsupport {

// Sets an environment variable for the lifetime of the object and restores the old value (or its absence).
class ScopedEnvironment {
 public:
  ScopedEnvironment(const char* name, const std::optional<std::string>& value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value) {
      ::setenv(name, value->c_str(), 1);
    } else {
      ::unsetenv(name);
    }
  }
  ~ScopedEnvironment() {
    if (old_) {
      ::setenv(name_, old_->c_str(), 1);
    } else {
      ::unsetenv(name_);
    }
  }
  ScopedEnvironment(const ScopedEnvironment&) = delete;
  ScopedEnvironment& operator=(const ScopedEnvironment&) = delete;

 private:
  const char* name_;
  std::optional<std::string> old_;
};

// Makes a folder the current one for the lifetime of the object.
class ScopedCurrentFolder {
 public:
  explicit ScopedCurrentFolder(const std::filesystem::path& folder) : old_(std::filesystem::current_path()) {
    std::filesystem::current_path(folder);
  }
  ~ScopedCurrentFolder() {
    std::error_code ignored;
    std::filesystem::current_path(old_, ignored);
  }
  ScopedCurrentFolder(const ScopedCurrentFolder&) = delete;
  ScopedCurrentFolder& operator=(const ScopedCurrentFolder&) = delete;

 private:
  std::filesystem::path old_;
};

inline std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) throw std::runtime_error("cannot read " + path.string());
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

inline void WriteFile(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  if (!out) throw std::runtime_error("cannot write " + path.string());
}

// Whether the tests run with root's rights, which no permission bit stops.
inline bool RunningAsRoot() {
  return ::geteuid() == 0;
}

}  // namespace testsupport
