#pragma once

#include <string>

namespace platform {

// Shared libraries loaded while the program runs, and their entry points by name.
class Libraries {
 public:
  virtual ~Libraries() = default;
  using Handle = void*;
  // nullptr when the library cannot be opened.
  virtual Handle OpenLibrary(const std::string& fileName) = 0;
  // nullptr when the entry point is missing.
  virtual void* LookUp(Handle library, const char* name) = 0;
  virtual void CloseLibrary(Handle library) = 0;
  // The loader's text for the last failure.
  virtual std::string LibraryError() = 0;
};

}  // namespace platform
