#pragma once

#include <string>
#include <vector>

#include "platform/Libraries.h"

namespace platform {

// The file names the Firebird client library goes by on this system, the usual one first.
std::vector<std::string> ClientLibraryFileNames();

// A shared library opened by name through the loader handed in, closed when the object goes unless it
// was kept for the rest of the process. Entry points are looked up by name; what a missing one means is
// the caller's rule.
class SharedLibrary {
 public:
  SharedLibrary() = default;
  // Opens the file; Opened() tells whether it worked. The loader must outlive the object.
  SharedLibrary(Libraries& libraries, const std::string& fileName);
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
  // The loader's own words for its last failure.
  std::string LoaderError() const;
  // Closes now (nothing when not open).
  void Close();
  // The library stays loaded until the process ends, whatever becomes of this object.
  void KeepForProcessLife() { handle_ = nullptr; }

 private:
  Libraries* libraries_ = nullptr;
  Libraries::Handle handle_ = nullptr;
};

}  // namespace platform
