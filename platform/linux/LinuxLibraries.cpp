#include <dlfcn.h>

#include "platform/Machine.h"
#include "platform/SharedLibrary.h"

namespace platform {
namespace {

class LinuxLibraries final : public Libraries {
 public:
  Handle OpenLibrary(const std::string& fileName) override {
    return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
  }

  void* LookUp(Handle library, const char* name) override {
    dlerror();
    return dlsym(library, name);
  }

  void CloseLibrary(Handle library) override {
    if (library != nullptr) dlclose(library);
  }

  std::string LibraryError() override {
    const char* text = dlerror();
    return text != nullptr ? std::string(text) : std::string();
  }
};

}  // namespace

std::vector<std::string> ClientLibraryFileNames() {
  // The library's soname first; the development link and the old InterBase name after it.
  return {"libfbclient.so.2", "libfbclient.so", "libgds.so"};
}

std::unique_ptr<Libraries> MachineLibraries() {
  return std::make_unique<LinuxLibraries>();
}

}  // namespace platform
