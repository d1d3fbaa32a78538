#pragma once

#include <string>

#include "tests/double/FbDouble.h"

namespace fbdouble {

// The file of a built variant ("full", "no_rollback_retaining", "missing_required", "no_services"):
// <build>/tests/double/<variant>/libfbclient.so.2. Hand it to a loader that opens the client library
// by path.
std::string VariantPath(const std::string& variant);

// Opens a variant (RTLD_NOW | RTLD_LOCAL), keeps it open for the rest of the program and returns its
// control object after Reset(), so every test starts from the defaults. A loader that opens the same
// path later gets the same instance. Throws std::runtime_error when the file cannot be opened.
// Every variant carries the real library's soname, libfbclient.so.2: once one is loaded, dlopen of
// the bare name "libfbclient.so.2" in the same process returns the loaded double, not the installed
// library. Point a loader at the double by path, and keep tests that need the real library by its
// bare name in a program that loads no double.
Control& LoadVariant(const std::string& variant);

}  // namespace fbdouble
