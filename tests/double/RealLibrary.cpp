#include "tests/double/RealLibrary.h"

#include <dlfcn.h>

namespace fbdouble {

namespace {

int OpenFlags() {
#if defined(__SANITIZE_ADDRESS__)
  // The address sanitizer refuses RTLD_DEEPBIND; the double is opened RTLD_LOCAL, so its exports are
  // not in the global scope the real library would search first anyway.
  return RTLD_NOW | RTLD_LOCAL;
#else
  return RTLD_NOW | RTLD_LOCAL | RTLD_DEEPBIND;
#endif
}

void* RealLibrary() {
  // Kept open until the process ends: forwarded handles live in it.
  static void* const handle = dlopen(kRealLibraryPath, OpenFlags());
  return handle;
}

}  // namespace

void* RealSymbol(const char* name) {
  void* library = RealLibrary();
  return library == nullptr ? nullptr : dlsym(library, name);
}

}  // namespace fbdouble
