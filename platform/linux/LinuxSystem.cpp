#include "platform/LinuxSystem.h"

#include <langinfo.h>
#include <locale.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <thread>

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

}  // namespace

TimePoint LinuxSystem::Now() {
  return std::chrono::system_clock::now();
}

LocalDateTime LinuxSystem::ToLocal(TimePoint moment) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(moment);
  std::tm local{};
  localtime_r(&seconds, &local);
  return {local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec};
}

char LinuxSystem::DateSeparator() {
  static const char separator = LocaleSeparator(D_FMT, '/');
  return separator;
}

char LinuxSystem::TimeSeparator() {
  static const char separator = LocaleSeparator(T_FMT, ':');
  return separator;
}

void LinuxSystem::Sleep(std::chrono::milliseconds duration) {
  std::this_thread::sleep_for(duration);
}

void LinuxSystem::EndProcess(int exitCode) {
  std::fflush(nullptr);
  _exit(exitCode);
}

std::string LinuxSystem::ExecutablePath() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size());
  if (length <= 0) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

void LinuxSystem::ShowMessage(MessageBoxKind kind, std::string_view text) {
  const char* title = kind == MessageBoxKind::Error         ? "Error"
                      : kind == MessageBoxKind::Information ? "Information"
                                                            : "Backup";
  std::fprintf(stderr, "%s: %.*s\n", title, static_cast<int>(text.size()), text.data());
}

std::optional<std::string> LinuxSystem::Variable(const std::string& name) {
  const char* value = std::getenv(name.c_str());
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

bool LinuxSystem::SetVariable(const std::string& name, const std::string& value) {
  return ::setenv(name.c_str(), value.c_str(), 1) == 0;
}

bool LinuxSystem::UnsetVariable(const std::string& name) {
  return ::unsetenv(name.c_str()) == 0;
}

}  // namespace platform
