#include "tests/double/RealLibrary.h"

#include <dlfcn.h>

namespace fbdouble {

namespace {

// gcc names the address sanitizer with a macro, clang only through __has_feature.
#if defined(__SANITIZE_ADDRESS__)
#define FBDOUBLE_ADDRESS_SANITIZER 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define FBDOUBLE_ADDRESS_SANITIZER 1
#endif
#endif

int OpenFlags() {
#if defined(FBDOUBLE_ADDRESS_SANITIZER)
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
