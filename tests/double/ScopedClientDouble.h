#pragma once

#include "fbclient/ClientLibrary.h"
#include "tests/double/DoubleLoader.h"

namespace fbdouble {

// For its lifetime the program's client library is the full double, answering without a server unless
// a test turns forwarding back on; afterwards the program loads the installed library by its bare name
// again and the double is back at its defaults. Declare it before whatever holds entry points of the
// library, so that it is undone last.
class ScopedClientDouble {
 public:
  ScopedClientDouble() : control_(&Bind()) {}
  ~ScopedClientDouble() {
    fbclient::UnloadClientLibrary();
    fbclient::SetClientLibraryFileName("libfbclient.so.2");
    control_->Reset();
  }
  ScopedClientDouble(const ScopedClientDouble&) = delete;
  ScopedClientDouble& operator=(const ScopedClientDouble&) = delete;

  Control& Double() const { return *control_; }

 private:
  static Control& Bind() {
    fbclient::UnloadClientLibrary();
    Control& control = LoadVariant("full");
    control.SetForwarding(false);
    fbclient::SetClientLibraryFileName(VariantPath("full"));
    return control;
  }

  Control* control_;
};

}  // namespace fbdouble
