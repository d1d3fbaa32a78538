#include "platform/Win32System.h"

#include <stdlib.h>
#include <windows.h>

#include <cstdio>
#include <thread>

#include "Wide.h"
#include "platform/Cp1252.h"

namespace platform {
namespace {

// FILETIME counts 100-nanosecond ticks from 1601-01-01; the system clock's epoch is 1970-01-01.
constexpr std::int64_t kTicksPerSecond = 10'000'000;
constexpr std::int64_t kSecondsFrom1601To1970 = 11'644'473'600;

FILETIME ToFileTime(TimePoint moment) {
  const auto ticks =
      std::chrono::duration_cast<std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>>(
          moment.time_since_epoch())
          .count() +
      kSecondsFrom1601To1970 * kTicksPerSecond;
  ULARGE_INTEGER value{};
  value.QuadPart = static_cast<ULONGLONG>(ticks);
  return FILETIME{value.LowPart, value.HighPart};
}

// The locale's separator as the program's single-byte text has it; the fallback when there is none or
// the code page has no such character.
char LocaleSeparator(LCTYPE item, char fallback) {
  wchar_t text[8] = {};
  if (GetLocaleInfoEx(LOCALE_NAME_USER_DEFAULT, item, text, 8) <= 1) return fallback;
  const char separator = cp1252::FromUnicode(static_cast<char32_t>(text[0]));
  return separator == '?' && text[0] != L'?' ? fallback : separator;
}

}  // namespace

namespace win32 {

TimePoint FromFileTime(const FILETIME& time) {
  ULARGE_INTEGER value{};
  value.LowPart = time.dwLowDateTime;
  value.HighPart = time.dwHighDateTime;
  const std::int64_t ticks =
      static_cast<std::int64_t>(value.QuadPart) - kSecondsFrom1601To1970 * kTicksPerSecond;
  return TimePoint(std::chrono::duration_cast<TimePoint::duration>(
      std::chrono::duration<std::int64_t, std::ratio<1, kTicksPerSecond>>(ticks)));
}

}  // namespace win32

TimePoint Win32System::Now() {
  return std::chrono::system_clock::now();
}

LocalDateTime Win32System::ToLocal(TimePoint moment) {
  const FILETIME utc = ToFileTime(moment);
  SYSTEMTIME universal{};
  SYSTEMTIME local{};
  // The time zone's rule for that moment, daylight saving included, as the clock on the task bar shows it.
  if (!FileTimeToSystemTime(&utc, &universal) ||
      !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
    return {};
  return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
}

char Win32System::DateSeparator() {
  static const char separator = LocaleSeparator(LOCALE_SDATE, '/');
  return separator;
}

char Win32System::TimeSeparator() {
  static const char separator = LocaleSeparator(LOCALE_STIME, ':');
  return separator;
}

void Win32System::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

void Win32System::EndProcess(int exitCode) {
  std::fflush(nullptr);
  // At once, as the old program's immediate end: no exit handlers, no library's detach code.
  TerminateProcess(GetCurrentProcess(), static_cast<UINT>(exitCode));
  ExitProcess(static_cast<UINT>(exitCode));
}

std::string Win32System::ExecutablePath() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      return win32::ToUtf8(path);
    }
    path.resize(path.size() * 2);
  }
}

void Win32System::ShowMessage(MessageBoxKind kind, std::string_view text) {
  const wchar_t* title = kind == MessageBoxKind::Error         ? L"Error"
                         : kind == MessageBoxKind::Information ? L"Information"
                                                               : L"Backup";
  const UINT icon = kind == MessageBoxKind::Error || kind == MessageBoxKind::StandardError ? MB_ICONERROR
                    : kind == MessageBoxKind::Information ? MB_ICONINFORMATION
                                                          : 0;
  MessageBoxW(nullptr, win32::ToWide(text).c_str(), title, MB_OK | MB_TASKMODAL | icon);
}

std::optional<std::string> Win32System::Variable(const std::string& name) {
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

bool Win32System::SetVariable(const std::string& name, const std::string& value) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  const std::wstring wideName = win32::ToWide(name);
  const std::wstring wideValue = win32::ToWide(value);
  // The C runtime keeps a copy of its own that getenv reads (the client library's among them); an empty
  // value would remove the variable there, so only the system's block holds it then.
  if (!value.empty() && _wputenv((wideName + L"=" + wideValue).c_str()) != 0) return false;
  return SetEnvironmentVariableW(wideName.c_str(), wideValue.c_str()) != 0;
}

bool Win32System::UnsetVariable(const std::string& name) {
  if (name.empty() || name.find('=') != std::string::npos) return false;
  const std::wstring wideName = win32::ToWide(name);
  _wputenv((wideName + L"=").c_str());
  return SetEnvironmentVariableW(wideName.c_str(), nullptr) != 0 || GetLastError() == ERROR_ENVVAR_NOT_FOUND;
}

}  // namespace platform
