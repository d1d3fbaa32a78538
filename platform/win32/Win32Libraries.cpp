#include <windows.h>

#include <utility>

#include "Wide.h"
#include "platform/Machine.h"
#include "platform/SharedLibrary.h"

namespace platform {
namespace {

// The failure of the last open or look-up on this thread, worded when it happens: later calls of other
// kinds overwrite the system's own last error before a caller asks.
thread_local std::string lastFailure;

std::string ModuleFile(HMODULE module) {
  return win32::ToUtf8(win32::ModulePath(module));
}

std::wstring ProgramFolder() {
  const std::wstring path = win32::ModulePath(nullptr);
  return path.substr(0, path.find_last_of(L"\\/") + 1);
}

class Win32Libraries final : public Libraries {
 public:
  // A bare file name is looked for beside the program first, then in the system's search order; a path is
  // loaded as it stands.
  Handle OpenLibrary(const std::string& fileName) override {
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

  void* LookUp(Handle library, const char* name) override {
    FARPROC entry = GetProcAddress(static_cast<HMODULE>(library), name);
    // As the Linux loader words it: the library, what went wrong, the entry point.
    if (entry == nullptr)
      lastFailure =
          ModuleFile(static_cast<HMODULE>(library)) + ": " + win32::ErrorText(GetLastError()) + ": " + name;
    return reinterpret_cast<void*>(entry);
  }

  void CloseLibrary(Handle library) override {
    if (library != nullptr) FreeLibrary(static_cast<HMODULE>(library));
  }

  std::string LibraryError() override { return std::exchange(lastFailure, std::string()); }
};

}  // namespace

std::vector<std::string> ClientLibraryFileNames() {
  // The name of the client library of every Firebird installation on Windows; gds32.dll is the
  // compatibility copy that older installations put in the system folder.
  return {"fbclient.dll", "gds32.dll"};
}

std::unique_ptr<Libraries> MachineLibraries() {
  return std::make_unique<Win32Libraries>();
}

}  // namespace platform
