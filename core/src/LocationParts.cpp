#include "core/LocationParts.h"

namespace core {

std::string ServerPart(std::string_view location) {
  const size_t colon = location.find(':');
  return colon == std::string_view::npos ? std::string() : std::string(location.substr(0, colon));
}

std::string PathPart(std::string_view location) {
  const size_t colon = location.find(':');
  return std::string(colon == std::string_view::npos ? location : location.substr(colon + 1));
}

std::string ReplaceChar(std::string_view text, char from, char to) {
  std::string result(text);
  for (char& c : result) {
    if (c == from) c = to;
  }
  return result;
}

}  // namespace core
