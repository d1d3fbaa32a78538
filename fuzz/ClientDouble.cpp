#include "fuzz/ClientDouble.h"

#include "ClientLibrary.h"
#include "fbclient/ClientLibrary.h"
#include "tests/double/DoubleLoader.h"

namespace fuzz {

fbdouble::Control& ClientDouble() {
  static fbdouble::Control& control = [&]() -> fbdouble::Control& {
    fbdouble::Control& loaded = fbdouble::LoadVariant("full");
    fbclient::SetClientLibraryFileName(fbdouble::VariantPath("full"));
    db::SetClientLibraryFileNames({fbdouble::VariantPath("full")});
    return loaded;
  }();
  control.Reset();
  control.SetForwarding(false);
  // Nothing reads the log here; keeping it would only grow with every input.
  control.SetRecording(false);
  return control;
}

}  // namespace fuzz
