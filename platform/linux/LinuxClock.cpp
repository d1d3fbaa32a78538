#include <langinfo.h>
#include <locale.h>

#include <ctime>
#include <thread>

#include "platform/Machine.h"

namespace platform {
namespace {

// The first character of a strftime format that is neither a conversion nor a blank.
char SeparatorOf(const char* format, char fallback) {
  for (const char* c = format; c != nullptr && *c != '\0'; ++c) {
    if (*c == '%') {
      if (c[1] == '\0') break;
      ++c;
      continue;
    }
    if (*c != ' ') return *c;
  }
  return fallback;
}

char LocaleSeparator(nl_item item, char fallback) {
  // The user's own locale, as the environment names it, without changing the process's.
  locale_t locale = newlocale(LC_TIME_MASK, "", static_cast<locale_t>(nullptr));
  if (locale == static_cast<locale_t>(nullptr)) return fallback;
  const char separator = SeparatorOf(nl_langinfo_l(item, locale), fallback);
  freelocale(locale);
  return separator;
}

class LinuxClock final : public Clock {
 public:
  TimePoint Now() override { return std::chrono::system_clock::now(); }

  LocalDateTime ToLocal(TimePoint moment) override {
    const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
    std::tm local{};
    localtime_r(&seconds, &local);
    return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
  }

  char DateSeparator() override {
    static const char separator = LocaleSeparator(D_FMT, '/');
    return separator;
  }

  char TimeSeparator() override {
    static const char separator = LocaleSeparator(T_FMT, ':');
    return separator;
  }

  void Sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

}  // namespace

std::unique_ptr<Clock> MachineClock() {
  return std::make_unique<LinuxClock>();
}

}  // namespace platform
