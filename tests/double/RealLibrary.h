#pragma once

namespace fbdouble {

// The installed client library that forwarded calls go to.
inline constexpr const char* kRealLibraryPath = "/usr/lib/x86_64-linux-gnu/libfbclient.so.2";

// The real library's entry point of that name, or null when the library or the name is missing.
// The library is opened once, by absolute path and with its own symbols bound first, so that it
// never calls back into the double's exports of the same names.
void* RealSymbol(const char* name);

}  // namespace fbdouble
