#include "core/DateTimeFormat.h"

#include <algorithm>
#include <cstdio>
#include <iterator>

namespace core {
namespace {

void AppendDigits(std::string& out, int value, int width) {
  char digits[16];
  const int written = std::snprintf(digits, sizeof digits, "%0*d", width, value);
  if (written > 0) out.append(digits, static_cast<std::size_t>(written));
}

// The parts a format names, each written with as many digits as its token has letters.
struct Token {
  std::string_view text;
  int platform::LocalDateTime::*field;
};
constexpr Token kTokens[] = {
    {"yyyy", &platform::LocalDateTime::year}, {"mm", &platform::LocalDateTime::month},
    {"dd", &platform::LocalDateTime::day},    {"hh", &platform::LocalDateTime::hour},
    {"nn", &platform::LocalDateTime::minute}, {"ss", &platform::LocalDateTime::second},
};

}  // namespace

std::string FormatDateTime(std::string_view format, const platform::LocalDateTime& value, char dateSeparator,
                           char timeSeparator) {
  std::string out;
  out.reserve(format.size() + 4);
  for (std::size_t i = 0; i < format.size();) {
    const std::string_view rest = format.substr(i);
    const auto token = std::find_if(std::begin(kTokens), std::end(kTokens),
                                    [&](const Token& t) { return rest.starts_with(t.text); });
    if (token != std::end(kTokens)) {
      AppendDigits(out, value.*token->field, static_cast<int>(token->text.size()));
      i += token->text.size();
    } else {
      const char c = format[i++];
      out += c == '/' ? dateSeparator : c == ':' ? timeSeparator : c;
    }
  }
  return out;
}

std::string FormatDateTime(std::string_view format, platform::TimePoint moment, platform::Clock& clock) {
  return FormatDateTime(format, clock.ToLocal(moment), clock.DateSeparator(), clock.TimeSeparator());
}

}  // namespace core
