// RunCommand for the Windows build: the child under Wine as on Windows, through CreateProcessW with both
// outputs on one pipe. Input is not fed (no Windows test needs it); the child's standard input is empty.

#include <windows.h>

#include <algorithm>
#include <map>

#include "tests/support/RunCommand.h"

namespace testsupport {
namespace {

std::wstring Wide(const std::string& utf8) {
  if (utf8.empty()) return {};
  const int size = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
  std::wstring wide(static_cast<std::size_t>(size), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), wide.data(), size);
  return wide;
}

// One argument as the C runtime's parser reads it back: quoted, with its quotes and the backslashes
// before them escaped.
std::wstring Quoted(const std::wstring& argument) {
  std::wstring quoted = L"\"";
  std::size_t backslashes = 0;
  for (const wchar_t c : argument) {
    if (c == L'\\') {
      ++backslashes;
      continue;
    }
    quoted.append(c == L'"' ? 2 * backslashes + 1 : backslashes, L'\\');
    backslashes = 0;
    quoted += c;
  }
  quoted.append(2 * backslashes, L'\\');
  return quoted + L"\"";
}

// Ours with the extra entries in place of those of the same names (names compared without case, as
// Windows does), as a CreateProcessW block.
std::wstring EnvironmentBlock(const std::vector<std::string>& extra) {
  std::map<std::wstring, std::wstring> entries;
  const auto upper = [](std::wstring name) {
    std::transform(name.begin(), name.end(), name.begin(), [](wchar_t c) { return towupper(c); });
    return name;
  };
  wchar_t* own = GetEnvironmentStringsW();
  for (const wchar_t* entry = own; *entry != L'\0'; entry += wcslen(entry) + 1) {
    const std::wstring text(entry);
    const std::size_t equals = text.find(L'=', 1);
    if (equals != std::wstring::npos) entries[upper(text.substr(0, equals))] = text;
  }
  FreeEnvironmentStringsW(own);
  for (const std::string& entry : extra) {
    const std::wstring text = Wide(entry);
    entries[upper(text.substr(0, text.find(L'=')))] = text;
  }
  std::wstring block;
  for (const auto& [name, text] : entries)
    block += text + L'\0';
  return block + L'\0';
}

}  // namespace

int RunCommand(const std::vector<std::string>& argv, std::string* output,
               const std::vector<std::string>& extraEnvironment, const std::string&) {
  std::wstring line;
  for (const std::string& argument : argv)
    line += (line.empty() ? L"" : L" ") + Quoted(Wide(argument));
  SECURITY_ATTRIBUTES inherited{sizeof(SECURITY_ATTRIBUTES), nullptr, TRUE};
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &inherited, 0)) return -1;
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);
  HANDLE nothing = CreateFileW(L"NUL", GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, &inherited,
                               OPEN_EXISTING, 0, nullptr);
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nothing;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::wstring environment = EnvironmentBlock(extraEnvironment);
  const BOOL started =
      CreateProcessW(nullptr, line.data(), nullptr, nullptr, TRUE, CREATE_UNICODE_ENVIRONMENT,
                     environment.data(), nullptr, &startup, &process);
  // Only the child holds the write end now: the reads below end when it does.
  CloseHandle(writeEnd);
  if (nothing != INVALID_HANDLE_VALUE) CloseHandle(nothing);
  if (!started) {
    CloseHandle(readEnd);
    return -1;
  }
  std::string collected;
  char buffer[4096];
  DWORD read = 0;
  while (ReadFile(readEnd, buffer, sizeof buffer, &read, nullptr) && read > 0)
    collected.append(buffer, read);
  CloseHandle(readEnd);
  WaitForSingleObject(process.hProcess, INFINITE);
  DWORD code = 0;
  GetExitCodeProcess(process.hProcess, &code);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  if (output != nullptr) *output = collected;
  return static_cast<int>(code);
}

}  // namespace testsupport
