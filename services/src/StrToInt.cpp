#include "StrToInt.h"

#include <limits>

#include "fbclient/Exceptions.h"

namespace services {

std::int32_t StrToInt(const std::string& text) {
  const auto invalid = [&text] {
    return fbclient::EConvertError("'" + text + "' is not a valid integer value");
  };
  std::size_t i = 0;
  while (i < text.size() && text[i] == ' ')
    ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) negative = text[i++] == '-';
  if (i == text.size()) throw invalid();
  // Accumulated as a negative number, whose range includes the lowest 32-bit value.
  long long value = 0;
  for (; i < text.size(); ++i) {
    const char c = text[i];
    if (c < '0' || c > '9') throw invalid();
    value = value * 10 - (c - '0');
    if (value < std::numeric_limits<std::int32_t>::min()) throw invalid();
  }
  if (!negative) {
    value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) throw invalid();
  }
  return static_cast<std::int32_t>(value);
}

}  // namespace services
