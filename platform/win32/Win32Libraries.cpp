#include <windows.h>

#include <utility>

#include "Wide.h"
#include "platform/Win32System.h"

namespace platform {
namespace {

// The failure of the last open or look-up on this thread, worded when it happens: later calls of other
// kinds overwrite the system's own last error before a caller asks.
thread_local std::string lastFailure;

std::string ModuleFile(HMODULE module) {
  std::wstring path(MAX_PATH, L'\0');
  const DWORD length = GetModuleFileNameW(module, path.data(), static_cast<DWORD>(path.size()));
  path.resize(length);
  return win32::ToUtf8(path);
}

std::wstring ProgramFolder() {
  std::wstring path(MAX_PATH, L'\0');
  for (;;) {
    const DWORD length = GetModuleFileNameW(nullptr, path.data(), static_cast<DWORD>(path.size()));
    if (length == 0) return {};
    if (length < path.size()) {
      path.resize(length);
      break;
    }
    path.resize(path.size() * 2);
  }
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

}  // namespace

Libraries::Handle Win32System::OpenLibrary(const std::string& fileName) {
  const std::wstring name = win32::ToWide(fileName);
  HMODULE library = nullptr;
  if (fileName.find_first_of("/\\") == std::string::npos) {
    // The client library the server's installation put beside the program comes before any other copy.
    const std::wstring beside = ProgramFolder() + name;
    if (GetFileAttributesW(beside.c_str()) != INVALID_FILE_ATTRIBUTES)
      library = LoadLibraryExW(beside.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
    if (library == nullptr) library = LoadLibraryW(name.c_str());
  } else {
    // Its own folder first for what it depends on, as a library loaded by path expects.
    library = LoadLibraryExW(name.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  }
  if (library == nullptr) lastFailure = fileName + ": " + win32::ErrorText(GetLastError());
  return reinterpret_cast<Handle>(library);
}

void* Win32System::LookUp(Handle library, const char* name) {
  FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
  // As the Linux loader words it: the library, what went wrong, the entry point.
  if (entry == nullptr)
    lastFailure =
        ModuleFile(static_cast<HMODULE>(library)) + ": " + win32::ErrorText(GetLastError()) + ": " + name;
  return reinterpret_cast<void*>(entry);
}

void Win32System::CloseLibrary(Handle library) {
  if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
}

std::string Win32System::LibraryError() {
  return std::exchange(lastFailure, std::string());
}

}  // namespace platform
