#include "TerminalView.h"

#include "platform/Cp1252.h"

namespace runner {

void TerminalView::TranscriptChanged() {
  const auto& lines = transcript_.Lines();
  if (lines.size() < printed_) printed_ = 0;  // cleared for a new job
  for (; printed_ < lines.size(); ++printed_)
    Print(lines[printed_]);
}

void TerminalView::OutputLineRead(std::string_view cp1252Line) {
  Print(cp1252Line);
}

void TerminalView::Print(std::string_view cp1252Line) {
  // Whoever reads along (a terminal, the journal) sees each line when it happens.
  out_ << cp1252::ToUtf8(cp1252Line) << std::endl;
}

}  // namespace runner
