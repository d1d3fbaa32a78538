#include "core/DateTimeFormat.h"

#include <cstdio>

namespace core {
namespace {

void AppendDigits(std::string& out, int value, int width) {
  char digits[16];
  const int written = std::snprintf(digits, sizeof digits, "%0*d", width, value);
  if (written > 0) out.append(digits, static_cast<std::size_t>(written));
}

}  // namespace

std::string FormatDateTime(std::string_view format, const platform::LocalDateTime& value, char dateSeparator,
                           char timeSeparator) {
  std::string out;
  out.reserve(format.size() + 4);
  for (std::size_t i = 0; i < format.size();) {
    const std::string_view rest = format.substr(i);
    if (rest.starts_with("yyyy")) {
      AppendDigits(out, value.year, 4);
      i += 4;
    } else if (rest.starts_with("mm")) {
      AppendDigits(out, value.month, 2);
      i += 2;
    } else if (rest.starts_with("dd")) {
      AppendDigits(out, value.day, 2);
      i += 2;
    } else if (rest.starts_with("hh")) {
      AppendDigits(out, value.hour, 2);
      i += 2;
    } else if (rest.starts_with("nn")) {
      AppendDigits(out, value.minute, 2);
      i += 2;
    } else if (rest.starts_with("ss")) {
      AppendDigits(out, value.second, 2);
      i += 2;
    } else {
      const char c = format[i++];
      out += c == '/' ? dateSeparator : c == ':' ? timeSeparator : c;
    }
  }
  return out;
}

std::string FormatDateTime(std::string_view format, platform::TimePoint moment, platform::System& system) {
  return FormatDateTime(format, system.ToLocal(moment), system.DateSeparator(), system.TimeSeparator());
}

}  // namespace core
