#include "platform/SharedLibrary.h"

#include <utility>

namespace platform {

SharedLibrary::SharedLibrary(const std::string& fileName) : handle_(Current().OpenLibrary(fileName)) {}

SharedLibrary::~SharedLibrary() {
  Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void* SharedLibrary::LookUp(const char* name) const {
  return handle_ != nullptr ? Current().LookUp(handle_, name) : nullptr;
}

void SharedLibrary::Close() {
  if (handle_ != nullptr) Current().CloseLibrary(std::exchange(handle_, nullptr));
}

}  // namespace platform
