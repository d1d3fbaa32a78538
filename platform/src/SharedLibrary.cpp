#include "platform/SharedLibrary.h"

#include <utility>

namespace platform {

SharedLibrary::SharedLibrary(Libraries& libraries, const std::string& fileName)
    : libraries_(&libraries), handle_(libraries.OpenLibrary(fileName)) {}

SharedLibrary::~SharedLibrary() {
  Close();
}

SharedLibrary::SharedLibrary(SharedLibrary&& other) noexcept
    : libraries_(other.libraries_), handle_(std::exchange(other.handle_, nullptr)) {}

SharedLibrary& SharedLibrary::operator=(SharedLibrary&& other) noexcept {
  if (this != &other) {
    Close();
    libraries_ = other.libraries_;
    handle_ = std::exchange(other.handle_, nullptr);
  }
  return *this;
}

void* SharedLibrary::LookUp(const char* name) const {
  return handle_ != nullptr ? libraries_->LookUp(handle_, name) : nullptr;
}

std::string SharedLibrary::LoaderError() const {
  return libraries_ != nullptr ? libraries_->LibraryError() : std::string();
}

void SharedLibrary::Close() {
  if (handle_ != nullptr) libraries_->CloseLibrary(std::exchange(handle_, nullptr));
}

}  // namespace platform
