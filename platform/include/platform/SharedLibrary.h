#pragma once

#include <string>
#include <vector>

#include "platform/System.h"

namespace platform {

// A shared library opened by name through the system in use, closed when the object goes unless it was
// kept for the rest of the process. Entry points are looked up by name; what a missing one means is the
// caller's rule.
// The file names the Firebird client library goes by on this system, the usual one first.
std::vector<std::string> ClientLibraryFileNames();

class SharedLibrary {
 public:
  SharedLibrary() = default;
  // Opens the file; Opened() tells whether it worked.
  explicit SharedLibrary(const std::string& fileName);
  ~SharedLibrary();
  SharedLibrary(SharedLibrary&& other) noexcept;
  SharedLibrary& operator=(SharedLibrary&& other) noexcept;
  SharedLibrary(const SharedLibrary&) = delete;
  SharedLibrary& operator=(const SharedLibrary&) = delete;

  bool Opened() const { return handle_ != nullptr; }
  // nullptr when the entry point is missing.
  void* LookUp(const char* name) const;
  // Looks up into a function pointer of the caller's type; false when missing.
  template <class Function>
  bool Bind(Function& target, const char* name) const {
    void* symbol = LookUp(name);
    target = reinterpret_cast<Function>(symbol);
    return symbol != nullptr;
  }
  // Closes now (nothing when not open).
  void Close();
  // The library stays loaded until the process ends, whatever becomes of this object.
  void KeepForProcessLife() { handle_ = nullptr; }

 private:
  Libraries::Handle handle_ = nullptr;
};

}  // namespace platform
