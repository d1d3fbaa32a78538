#include "app/desktop/DesktopEntry.h"

namespace app {
namespace {

// The characters that oblige a launcher's reader to see an argument as quoted.
constexpr std::string_view kReservedInExec = " \t\n\r\"'\\><~|&;$*?#()`";
// Inside double quotes these four keep their meaning unless escaped.
constexpr std::string_view kEscapedInQuotes = "\"`$\\";

bool IsArgumentSeparator(char c) {
  return c == ' ' || c == '\t';
}

std::string_view TrimSpaces(std::string_view text) {
  const auto first = text.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(" \t");
  return text.substr(first, last - first + 1);
}

}  // namespace

std::string QuoteExecArgument(std::string_view argument) {
  const bool quoted = argument.empty() || argument.find_first_of(kReservedInExec) != std::string_view::npos;
  std::string result;
  result.reserve(argument.size() + 8);
  if (quoted) result += '"';
  for (char c : argument) {
    if (c == '%') {
      result += "%%";
      continue;
    }
    if (quoted && kEscapedInQuotes.find(c) != std::string_view::npos) result += '\\';
    result += c;
  }
  if (quoted) result += '"';
  return result;
}

std::optional<std::vector<std::string>> SplitExecArguments(std::string_view exec) {
  std::vector<std::string> arguments;
  std::size_t i = 0;
  while (true) {
    while (i < exec.size() && IsArgumentSeparator(exec[i]))
      ++i;
    if (i == exec.size()) break;
    std::string argument;
    bool inQuotes = false;
    for (; i < exec.size(); ++i) {
      const char c = exec[i];
      if (!inQuotes && IsArgumentSeparator(c)) break;
      if (c == '"') {
        inQuotes = !inQuotes;
      } else if (inQuotes && c == '\\' && i + 1 < exec.size() &&
                 kEscapedInQuotes.find(exec[i + 1]) != std::string_view::npos) {
        argument += exec[++i];
      } else if (c == '%' && i + 1 < exec.size() && exec[i + 1] == '%') {
        argument += '%';
        ++i;
      } else {
        argument += c;
      }
    }
    if (inQuotes) return std::nullopt;
    arguments.push_back(std::move(argument));
  }
  return arguments;
}

std::string EscapeStringValue(std::string_view text) {
  std::string result;
  result.reserve(text.size() + 4);
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    switch (c) {
      case '\\':
        result += "\\\\";
        break;
      case '\n':
        result += "\\n";
        break;
      case '\t':
        result += "\\t";
        break;
      case '\r':
        result += "\\r";
        break;
      case ' ':
        result += i == 0 ? "\\s" : " ";
        break;
      default:
        result += c;
    }
  }
  return result;
}

std::string UnescapeStringValue(std::string_view value) {
  std::string result;
  result.reserve(value.size());
  for (std::size_t i = 0; i < value.size(); ++i) {
    if (value[i] != '\\' || i + 1 == value.size()) {
      result += value[i];
      continue;
    }
    switch (value[i + 1]) {
      case 's':
        result += ' ';
        break;
      case 'n':
        result += '\n';
        break;
      case 't':
        result += '\t';
        break;
      case 'r':
        result += '\r';
        break;
      case '\\':
        result += '\\';
        break;
      default:
        // Not a string escape: left for the Exec quoting rules, which have escapes of their own.
        result += value[i];
        result += value[i + 1];
    }
    ++i;
  }
  return result;
}

std::string ComposeAutostartEntry(std::string_view name, std::string_view program) {
  std::string entry = "[Desktop Entry]\nType=Application\nName=";
  entry += EscapeStringValue(name);
  entry += "\nExec=";
  entry += EscapeStringValue(QuoteExecArgument(program));
  entry += "\n";
  return entry;
}

std::optional<std::string> ReadEntryKey(std::string_view contents, std::string_view key) {
  bool inMainGroup = false;
  while (!contents.empty()) {
    const auto end = contents.find('\n');
    std::string_view line = contents.substr(0, end);
    contents = end == std::string_view::npos ? std::string_view() : contents.substr(end + 1);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    const std::string_view trimmed = TrimSpaces(line);
    if (trimmed.empty() || trimmed.front() == '#') continue;
    if (trimmed.front() == '[') {
      inMainGroup = trimmed == "[Desktop Entry]";
      continue;
    }
    if (!inMainGroup) continue;
    const auto equals = line.find('=');
    if (equals == std::string_view::npos) continue;
    if (TrimSpaces(line.substr(0, equals)) != key) continue;
    // Spaces around "=" are not part of the value; a leading space that is meant is written "\s".
    std::string_view value = line.substr(equals + 1);
    const auto first = value.find_first_not_of(" \t");
    value = first == std::string_view::npos ? std::string_view() : value.substr(first);
    return UnescapeStringValue(value);
  }
  return std::nullopt;
}

}  // namespace app
