#pragma once

#include <array>
#include <string>
#include <string_view>

#include "platform/System.h"

namespace core {

// The clock as the schedule reads it: "hh:mm:ss" with the clock's time separator.
std::string ClockText(platform::Clock& clock);

// Whether a schedule time (hours and minutes as stored) is due: followed by ":00" it equals the clock
// text, read afresh, character by character. So it matches only during the second hh:mm:00, and a time
// stored any other way (one-digit hour, out of range) never does.
bool IsDue(std::string_view scheduleTime, platform::Clock& clock);

// "Aguardando os horários " followed by the four times joined by ", ", with blanks and trailing
// separators removed from the end (a missing first or middle time keeps its ", "). UTF-8.
std::string WaitingText(const std::array<std::string, 4>& scheduleTimes);

}  // namespace core
