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
Control& LoadVariant(const std::string& variant);

}  // namespace fbdouble
