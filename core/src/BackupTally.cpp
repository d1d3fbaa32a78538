#include "core/BackupTally.h"

#include <charconv>

namespace core {
namespace {

constexpr std::string_view kTableData = "writing data for table ";
constexpr std::string_view kRecords = " records written";
constexpr std::string_view kClosing = "closing file, committing, and finishing. ";
constexpr std::string_view kBytes = " bytes written";

// The message itself: without gbak's "gbak:" in front, the spaces it indents with and the spaces and
// line ends after it.
std::string_view Message(std::string_view line) {
  if (line.starts_with("gbak:")) line.remove_prefix(5);
  const std::size_t first = line.find_first_not_of(' ');
  if (first == std::string_view::npos) return {};
  const std::size_t last = line.find_last_not_of(" \r\n");
  return line.substr(first, last + 1 - first);
}

// The count before the suffix, when the whole text is a count and that suffix.
std::optional<std::int64_t> CountBefore(std::string_view text, std::string_view suffix) {
  if (!text.ends_with(suffix)) return std::nullopt;
  text.remove_suffix(suffix.size());
  std::int64_t count = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), count);
  if (text.empty() || error != std::errc() || end != text.data() + text.size() || count < 0)
    return std::nullopt;
  return count;
}

}  // namespace

void BackupTally::Read(std::string_view cp1252Line) {
  const std::string_view message = Message(cp1252Line);
  if (message.starts_with(kTableData)) {
    table_ = std::string(message.substr(kTableData.size()));
    // A table without rows may have no count line of its own.
    rows_[table_] = 0;
  } else if (const std::optional<std::int64_t> rows = CountBefore(message, kRecords);
             rows && !table_.empty()) {
    // Counts come every so many rows while a table is written; the last is its total.
    rows_[table_] = *rows;
  } else if (message.starts_with(kClosing)) {
    bytes_ = CountBefore(message.substr(kClosing.size()), kBytes);
  }
}

}  // namespace core
