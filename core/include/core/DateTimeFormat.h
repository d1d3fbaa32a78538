#pragma once

#include <string>
#include <string_view>

#include "platform/System.h"

namespace core {

// Formats a local date and time with the program's format codes: "yyyy" year, "mm" month, "dd" day,
// "hh" hour 00 to 23, "nn" minute, "ss" second; "/" and ":" stand for the given date and time
// separators; any other character is copied.
std::string FormatDateTime(std::string_view format, const platform::LocalDateTime& value, char dateSeparator,
                           char timeSeparator);

// The same with the clock's separators and the moment as the clock shows it.
std::string FormatDateTime(std::string_view format, platform::TimePoint moment, platform::Clock& clock);

}  // namespace core
