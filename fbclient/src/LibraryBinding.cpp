#include "fbclient/LibraryBinding.h"

#include <utility>

namespace fbclient {

MissingEntryPoint::MissingEntryPoint(const std::string& name, std::string loaderText)
    : std::runtime_error("missing entry point " + name), name_(name), loaderText_(std::move(loaderText)) {}

void RequireEntryPoints(const platform::SharedLibrary& library, const std::vector<const char*>& names) {
  for (const char* name : names) {
    if (library.LookUp(name) == nullptr) throw MissingEntryPoint(name, library.LoaderError());
  }
}

}  // namespace fbclient
