#pragma once

// The fuzz targets that feed server replies load the client library double in place of the real
// client, with forwarding off: no server is needed, every call succeeds with fake handles, and a
// queued reply lands in the program's receive buffer exactly as the client library would put it.

#include "tests/double/FbDouble.h"

namespace fuzz {

// Loads the full variant once and points both loaders (services and database side) at it; then, on
// every call, puts the double back to its defaults with forwarding and recording off, so that one
// input cannot leave a queued reply or an injected fault behind for the next.
fbdouble::Control& ClientDouble();

}  // namespace fuzz
