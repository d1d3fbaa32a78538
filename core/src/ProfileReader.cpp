#include "core/ProfileReader.h"

#include <optional>

namespace core {
namespace {

// A settings file is small; anything beyond this is not a settings file and is not read further.
constexpr std::size_t kMaximumFileSize = 16 * 1024 * 1024;

bool IsBlank(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f';
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && IsBlank(text.front()))
    text.remove_prefix(1);
  while (!text.empty() && IsBlank(text.back()))
    text.remove_suffix(1);
  return text;
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (AsciiLower(a[i]) != AsciiLower(b[i])) return false;
  }
  return true;
}

std::string_view Unquote(std::string_view value) {
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value.remove_prefix(1);
    value.remove_suffix(1);
  }
  return value;
}

}  // namespace

ProfileReader::ProfileReader(const std::string& file, platform::Files& files) {
  text_ = files.ReadFile(file, kMaximumFileSize).value_or(std::string());
}

ProfileReader ProfileReader::FromText(std::string text) {
  ProfileReader reader;
  reader.text_ = std::move(text);
  return reader;
}

std::string ProfileReader::ReadString(std::string_view section, std::string_view key,
                                      std::string_view defaultValue) const {
  std::string_view rest = text_;
  // A byte-order mark left by an editor would otherwise hide the first section.
  if (rest.starts_with("\xEF\xBB\xBF")) rest.remove_prefix(3);
  bool inSection = false;
  bool sectionSeen = false;
  while (!rest.empty()) {
    const size_t end = rest.find_first_of("\r\n");
    std::string_view line = Trim(rest.substr(0, end));
    rest = end == std::string_view::npos ? std::string_view{} : rest.substr(end + 1);
    if (line.empty() || line.front() == ';') continue;
    if (line.front() == '[') {
      const size_t close = line.find(']');
      const std::string_view name =
          Trim(line.substr(1, close == std::string_view::npos ? line.npos : close - 1));
      if (inSection) break;  // only the first section of that name counts
      inSection = !sectionSeen && SameName(name, section);
      sectionSeen = sectionSeen || inSection;
      continue;
    }
    if (!inSection) continue;
    const size_t equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (SameName(Trim(line.substr(0, equals)), key))
      return std::string(Unquote(Trim(line.substr(equals + 1))));
  }
  return std::string(defaultValue);
}

}  // namespace core
