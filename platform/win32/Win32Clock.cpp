#include <windows.h>

#include <thread>

#include "Wide.h"
#include "platform/Cp1252.h"
#include "platform/Machine.h"

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

class Win32Clock final : public Clock {
 public:
  TimePoint Now() override { return std::chrono::system_clock::now(); }

  LocalDateTime ToLocal(TimePoint moment) override {
    const FILETIME utc = ToFileTime(moment);
    SYSTEMTIME universal{};
    SYSTEMTIME local{};
    // The time zone's rule for that moment, daylight saving included, as the clock on the task bar shows it.
    if (!FileTimeToSystemTime(&utc, &universal) ||
        !SystemTimeToTzSpecificLocalTime(nullptr, &universal, &local))
      return {};
    return {local.wYear, local.wMonth, local.wDay, local.wHour, local.wMinute, local.wSecond};
  }

  // The user's date and time separators (LOCALE_SDATE, LOCALE_STIME), as the old program read them.
  char DateSeparator() override {
    static const char separator = LocaleSeparator(LOCALE_SDATE, '/');
    return separator;
  }

  char TimeSeparator() override {
    static const char separator = LocaleSeparator(LOCALE_STIME, ':');
    return separator;
  }

  void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

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

std::unique_ptr<Clock> MachineClock() {
  return std::make_unique<Win32Clock>();
}

}  // namespace platform
