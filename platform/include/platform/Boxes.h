#pragma once

#include <string_view>

namespace platform {

// The kinds of modal box the program shows; each has exactly one "OK" button.
enum class MessageBoxKind {
  Error,         // title "Error", error icon
  Information,   // title "Information", information icon
  Plain,         // captioned with the application title, no icon
  StandardError  // the application's error box: application title, error icon
};

class Boxes {
 public:
  virtual ~Boxes() = default;
  // Shows the box and returns when it is closed. The text is UTF-8.
  virtual void ShowMessage(MessageBoxKind kind, std::string_view text) = 0;
};

}  // namespace platform
