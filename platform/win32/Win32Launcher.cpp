#include <windows.h>

#include "Wide.h"
#include "platform/Machine.h"

namespace platform {
namespace {

using win32::ToWide;

// One argument as the C runtime's command-line parser gives it back: quoted when it holds a blank or a
// quote, with the backslashes before a quote doubled.
void AppendArgument(std::wstring& line, const std::wstring& argument) {
  if (!line.empty()) line += L' ';
  if (!argument.empty() && argument.find_first_of(L" \t\n\v\"") == std::wstring::npos) {
    line += argument;
    return;
  }
  line += L'"';
  for (std::size_t i = 0;; ++i) {
    std::size_t backslashes = 0;
    while (i < argument.size() && argument[i] == L'\\') {
      ++backslashes;
      ++i;
    }
    if (i == argument.size()) {
      line.append(backslashes * 2, L'\\');
      break;
    }
    if (argument[i] == L'"') {
      line.append(backslashes * 2 + 1, L'\\');
    } else {
      line.append(backslashes, L'\\');
    }
    line += argument[i];
  }
  line += L'"';
}

class Win32Launcher final : public Launcher {
 public:
  // SearchPathW: the program's folder, the current folder, the system folders, then PATH.
  std::string ResolveProgram(const std::string& file) override {
    if (file.empty()) return {};
    const std::wstring name = ToWide(file);
    if (file.find_first_of("/\\:") != std::string::npos) {
      const DWORD attributes = GetFileAttributesW(name.c_str());
      return attributes != INVALID_FILE_ATTRIBUTES && (attributes & FILE_ATTRIBUTE_DIRECTORY) == 0
                 ? file
                 : std::string();
    }
    std::wstring path(MAX_PATH, L'\0');
    for (;;) {
      const DWORD length =
          SearchPathW(nullptr, name.c_str(), L".exe", static_cast<DWORD>(path.size()), path.data(), nullptr);
      if (length == 0) return {};
      if (length < path.size()) {
        path.resize(length);
        return win32::ToUtf8(path);
      }
      path.resize(length);
    }
  }

  bool LaunchDetached(const std::string& program) override {
    std::wstring line;
    AppendArgument(line, ToWide(program));
    STARTUPINFOW startup{};
    startup.cb = sizeof(startup);
    PROCESS_INFORMATION process{};
    if (!CreateProcessW(ToWide(program).c_str(), line.data(), nullptr, nullptr, FALSE,
                        DETACHED_PROCESS | CREATE_NEW_PROCESS_GROUP, nullptr, nullptr, &startup, &process))
      return false;
    CloseHandle(process.hThread);
    CloseHandle(process.hProcess);
    return true;
  }
};

}  // namespace

std::unique_ptr<Launcher> MachineLauncher(Environment&) {
  return std::make_unique<Win32Launcher>();
}

}  // namespace platform
