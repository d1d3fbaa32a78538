#include <windows.h>

#include <stdexcept>

#include "tests/double/DoubleLoader.h"

namespace fbdouble {

std::string VariantPath(const std::string& variant) {
  return std::string(FBDOUBLE_VARIANTS_DIR) + "/" + variant + "/fbclient.dll";
}

Control& LoadVariant(const std::string& variant) {
  const std::string path = VariantPath(variant);
  // Never freed: the program under test may hold entry points of it. The build's paths are ASCII.
  HMODULE library = LoadLibraryExA(path.c_str(), nullptr, LOAD_WITH_ALTERED_SEARCH_PATH);
  if (library == nullptr)
    throw std::runtime_error("cannot open the client double " + path + ": error " +
                             std::to_string(GetLastError()));
  auto* control =
      reinterpret_cast<Control* (*)()>(reinterpret_cast<void*>(GetProcAddress(library, "fbdouble_control")));
  if (control == nullptr) throw std::runtime_error(path + " has no fbdouble_control");
  Control* result = control();
  result->Reset();
  return *result;
}

}  // namespace fbdouble
