#include "core/Schedule.h"

#include "core/DateTimeFormat.h"

namespace core {
namespace {

bool IsControlOrBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

void TrimControlsAndBlanks(std::string& text) {
  std::size_t begin = 0;
  while (begin < text.size() && IsControlOrBlank(text[begin]))
    ++begin;
  std::size_t end = text.size();
  while (end > begin && IsControlOrBlank(text[end - 1]))
    --end;
  text = text.substr(begin, end - begin);
}

}  // namespace

std::string ClockText(platform::Clock& clock) {
  return FormatDateTime("hh:nn:ss", clock.Now(), clock);
}

bool IsDue(std::string_view scheduleTime, platform::Clock& clock) {
  return std::string(scheduleTime) + ":00" == ClockText(clock);
}

std::string WaitingText(const std::array<std::string, 4>& times) {
  std::string waiting = times[0] + ", " + times[1] + ", " + times[2] + ", " + times[3];
  TrimControlsAndBlanks(waiting);
  while (!waiting.empty() && waiting.back() == ',') {
    waiting.pop_back();
    TrimControlsAndBlanks(waiting);
  }
  return "Aguardando os horários " + waiting;
}

}  // namespace core
