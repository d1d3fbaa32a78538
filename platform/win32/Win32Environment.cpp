#include <stdlib.h>
#include <windows.h>

#include "Wide.h"
#include "platform/Machine.h"

namespace platform {
namespace {

class Win32Environment final : public Environment {
 public:
  std::optional<std::string> Variable(const std::string& name) override {
    const std::wstring wideName = win32::ToWide(name);
    SetLastError(ERROR_SUCCESS);
    const DWORD size = GetEnvironmentVariableW(wideName.c_str(), nullptr, 0);
    if (size == 0) {
      if (GetLastError() == ERROR_ENVVAR_NOT_FOUND) return std::nullopt;
      return std::string();
    }
    std::wstring value(size, L'\0');
    const DWORD length = GetEnvironmentVariableW(wideName.c_str(), value.data(), size);
    value.resize(length);
    return win32::ToUtf8(value);
  }

  bool SetVariable(const std::string& name, const std::string& value) override {
    if (name.empty() || name.find('=') != std::string::npos) return false;
    const std::wstring wideName = win32::ToWide(name);
    const std::wstring wideValue = win32::ToWide(value);
    // The C runtime keeps a copy of its own that getenv reads (the client library's among them); an empty
    // value would remove the variable there, so only the system's block holds it then.
    if (!value.empty() && _wputenv((wideName + L"=" + wideValue).c_str()) != 0) return false;
    return SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str()) != 0;
  }

  bool UnsetVariable(const std::string& name) override {
    if (name.empty() || name.find('=') != std::string::npos) return false;
    const std::wstring wideName = win32::ToWide(name);
    _wputenv((wideName + L"=").c_str());
    return SetEnvironmentVariableW(wideName.c_str(), nullptr) != 0 ||
           GetLastError() == ERROR_ENVVAR_NOT_FOUND;
  }
};

}  // namespace

std::unique_ptr<Environment> MachineEnvironment() {
  return std::make_unique<Win32Environment>();
}

}  // namespace platform
