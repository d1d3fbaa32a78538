#include "platform/Text.h"

#include <algorithm>
#include <cctype>

namespace platform {
namespace {

bool IsBlankByte(char c) {
  return static_cast<unsigned char>(c) <= ' ';
}

}  // namespace

std::string Trim(std::string_view text) {
  std::size_t begin = 0;
  std::size_t end = text.size();
  while (begin < end && IsBlankByte(text[begin]))
    ++begin;
  while (end > begin && IsBlankByte(text[end - 1]))
    --end;
  return std::string(text.substr(begin, end - begin));
}

bool IsBlank(std::string_view text) {
  return std::all_of(text.begin(), text.end(), IsBlankByte);
}

std::string Upper(std::string text) {
  for (char& c : text)
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return text;
}

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

std::string AsciiLower(std::string text) {
  for (char& c : text)
    c = AsciiLower(c);
  return text;
}

}  // namespace platform
