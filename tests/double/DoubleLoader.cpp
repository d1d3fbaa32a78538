#include "tests/double/DoubleLoader.h"

#include <dlfcn.h>

#include <stdexcept>

namespace fbdouble {

std::string VariantPath(const std::string& variant) {
  return std::string(FBDOUBLE_VARIANTS_DIR) + "/" + variant + "/libfbclient.so.2";
}

Control& LoadVariant(const std::string& variant) {
  const std::string path = VariantPath(variant);
  // Never closed: the program under test may hold entry points of it.
  void* library = dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr)
    throw std::runtime_error("cannot open the client double " + path + ": " + dlerror());
  auto* control = reinterpret_cast<Control* (*)()>(dlsym(library, "fbdouble_control"));
  if (control == nullptr) throw std::runtime_error(path + " has no fbdouble_control");
  Control* result = control();
  result->Reset();
  return *result;
}

}  // namespace fbdouble
