#include <dlfcn.h>

#include "platform/LinuxSystem.h"

namespace platform {

Libraries::Handle LinuxSystem::OpenLibrary(const std::string& fileName) {
  return dlopen(fileName.c_str(), RTLD_NOW | RTLD_LOCAL);
}

void* LinuxSystem::LookUp(Handle library, const char* name) {
  dlerror();
  return dlsym(library, name);
}

void LinuxSystem::CloseLibrary(Handle library) {
  if (library != nullptr) dlclose(library);
}

std::string LinuxSystem::LibraryError() {
  const char* text = dlerror();
  return text != nullptr ? std::string(text) : std::string();
}

}  // namespace platform
