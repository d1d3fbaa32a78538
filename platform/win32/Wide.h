#pragma once

// The program's texts and paths are UTF-8; the Windows API's wide functions take UTF-16. Every path
// crosses here, so a name with accents means the same file on both sides.

#include <windows.h>

#include <string>
#include <string_view>

#include "platform/System.h"

namespace platform::win32 {

// UTF-16 of the UTF-8 text; a byte sequence that is not UTF-8 becomes U+FFFD.
std::wstring ToWide(std::string_view utf8);
// UTF-8 of the UTF-16 text; an unpaired surrogate becomes U+FFFD.
std::string ToUtf8(std::wstring_view wide);

// The system's text for an error code, in UTF-8, without the line end FormatMessage puts after it.
std::string ErrorText(DWORD code);

// The full path of a loaded module's file; nullptr: the program's own.
std::wstring ModulePath(HMODULE module);

// A FILETIME (100 ns ticks from 1601, UTC) on the system clock.
TimePoint FromFileTime(const FILETIME& time);

// A kernel handle, closed when the object goes.
class UniqueHandle {
 public:
  UniqueHandle() = default;
  explicit UniqueHandle(HANDLE handle) : handle_(handle) {}
  ~UniqueHandle() { Close(); }
  UniqueHandle(UniqueHandle&& other) noexcept : handle_(other.Release()) {}
  UniqueHandle& operator=(UniqueHandle&& other) noexcept {
    if (this != &other) {
      Close();
      handle_ = other.Release();
    }
    return *this;
  }
  UniqueHandle(const UniqueHandle&) = delete;
  UniqueHandle& operator=(const UniqueHandle&) = delete;

  // CreateFileW fails with INVALID_HANDLE_VALUE, most other calls with null.
  bool Valid() const { return handle_ != nullptr && handle_ != INVALID_HANDLE_VALUE; }
  HANDLE Get() const { return handle_; }
  HANDLE Release() {
    HANDLE handle = handle_;
    handle_ = nullptr;
    return handle;
  }
  // False when CloseHandle failed (for a file: a write the system could not finish).
  bool Close() {
    if (!Valid()) return true;
    return CloseHandle(Release()) != 0;
  }

 private:
  HANDLE handle_ = nullptr;
};

// A registry key, closed when the object goes.
class UniqueKey {
 public:
  UniqueKey() = default;
  ~UniqueKey() {
    if (key_ != nullptr) RegCloseKey(key_);
  }
  UniqueKey(const UniqueKey&) = delete;
  UniqueKey& operator=(const UniqueKey&) = delete;

  HKEY* Receive() { return &key_; }
  HKEY Get() const { return key_; }
  bool Open() const { return key_ != nullptr; }

 private:
  HKEY key_ = nullptr;
};

}  // namespace platform::win32
