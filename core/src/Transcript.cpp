#include "core/Transcript.h"

namespace core {

void Transcript::Add(std::string_view text) {
  for (;;) {
    const std::size_t end = text.find_first_of("\r\n");
    if (end == std::string_view::npos) {
      lines_.emplace_back(text);
      return;
    }
    lines_.emplace_back(text.substr(0, end));
    const std::size_t next =
        end + (text[end] == '\r' && end + 1 < text.size() && text[end + 1] == '\n' ? 2 : 1);
    text.remove_prefix(next);
    if (text.empty()) return;
  }
}

std::string Transcript::Text() const {
  std::size_t size = 0;
  for (const auto& line : lines_)
    size += line.size() + 2;
  std::string text;
  text.reserve(size);
  for (const auto& line : lines_) {
    text += line;
    text += "\r\n";
  }
  return text;
}

}  // namespace core
