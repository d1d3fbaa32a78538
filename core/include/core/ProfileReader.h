#pragma once

#include <string>
#include <string_view>

#include "platform/System.h"

namespace core {

// Reads values of a settings file in the classic profile format ("[Section]" lines and "key=value"
// lines) the way the desktop's profile functions do: section and key names match without regard to
// letter case, blanks around names and values are ignored, one pair of matching quotes around a value
// is removed, the first matching section and key win, and a key that is present with an empty value
// gives the empty text rather than the default. Texts are returned as the file holds them.
class ProfileReader {
 public:
  // Reads the file (a UTF-8 path); a missing or unreadable file reads as empty, so every lookup gives its
  // default.
  ProfileReader(const std::string& file, platform::Files& files);
  // Over text already in memory.
  static ProfileReader FromText(std::string text);

  std::string ReadString(std::string_view section, std::string_view key, std::string_view defaultValue) const;

 private:
  ProfileReader() = default;
  std::string text_;
};

}  // namespace core
