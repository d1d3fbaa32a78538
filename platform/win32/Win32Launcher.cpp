#include <windows.h>

#include "Wide.h"
#include "platform/Win32System.h"

namespace platform {
namespace {

using win32::ToWide;
using win32::UniqueHandle;

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

UniqueHandle OpenNullDevice() {
  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  return UniqueHandle(CreateFileW(L"NUL", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                  &inherit, OPEN_EXISTING, 0, nullptr));
}

}  // namespace

std::string Win32System::ResolveProgram(const std::string& file) {
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

bool Win32System::LaunchDetached(const std::string& program) {
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

int Win32System::RunProgram(const std::string& program, const std::vector<std::string>& arguments,
                            std::string_view input) {
  std::wstring line;
  AppendArgument(line, ToWide(program));
  for (const std::string& argument : arguments)
    AppendArgument(line, ToWide(argument));

  SECURITY_ATTRIBUTES inherit{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherit, 0)) return -1;
  UniqueHandle childInput(readEnd);
  UniqueHandle ourEnd(writeEnd);
  // Only the child's end may be inherited, or the child would hold the pipe open against itself.
  SetHandleInformation(ourEnd.Get(), HANDLE_FLAG_INHERIT, 0);
  UniqueHandle nullDevice = OpenNullDevice();
  if (!nullDevice.Valid()) return -1;

  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = childInput.Get();
  startup.hStdOutput = nullDevice.Get();
  startup.hStdError = nullDevice.Get();
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(ToWide(program).c_str(), line.data(), nullptr, nullptr, TRUE, CREATE_NO_WINDOW, nullptr,
                      nullptr, &startup, &process))
    return -1;
  UniqueHandle child(process.hProcess);
  CloseHandle(process.hThread);
  childInput.Close();
  nullDevice.Close();

  // A child that ends without reading all of it makes the write fail, which is its own business.
  for (std::size_t done = 0; done < input.size();) {
    DWORD written = 0;
    if (!WriteFile(ourEnd.Get(), input.data() + done, static_cast<DWORD>(input.size() - done), &written,
                   nullptr))
      break;
    done += written;
  }
  ourEnd.Close();
  WaitForSingleObject(child.Get(), INFINITE);
  DWORD exitCode = 0;
  if (!GetExitCodeProcess(child.Get(), &exitCode)) return -1;
  return static_cast<int>(exitCode);
}

}  // namespace platform
