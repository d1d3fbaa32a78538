#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/Wipe.h"

namespace core {

// A text that is wiped from memory (explicit_bzero) when it goes: a password lives no longer than its
// holder. Moving it moves the one copy; it cannot be copied.
class SecretText {
 public:
  SecretText() = default;
  explicit SecretText(std::string text) : text_(std::move(text)) {}
  // A short text moves by copy and leaves its bytes behind: they are wiped.
  SecretText(SecretText&& other) noexcept : text_(std::move(other.text_)) { other.Wipe(); }
  SecretText& operator=(SecretText&& other) noexcept {
    if (this != &other) {
      Wipe();
      text_ = std::move(other.text_);
      other.Wipe();
    }
    return *this;
  }
  SecretText(const SecretText&) = delete;
  SecretText& operator=(const SecretText&) = delete;
  ~SecretText() { Wipe(); }

  std::string_view View() const { return text_; }
  bool Empty() const { return text_.empty(); }
  void Wipe() { platform::WipeString(text_); }

 private:
  std::string text_;
};

// The user name and password a port attaches with.
struct ServerLogin {
  std::string user;  // blanks around it removed
  SecretText password;
};

// What a port attaches with: a login of the credentials file, or, when it gives none, the one the program
// is built with (SYSDBA and the compiled-in password), byte for byte as before there was a file.
using LoginChoice = std::optional<ServerLogin>;

}  // namespace core
