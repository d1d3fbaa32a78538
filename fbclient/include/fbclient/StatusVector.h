#pragma once

#include "fbclient/ClientTypes.h"

namespace fbclient {

// The calling thread's status vector (kStatusLength elements), passed first to every service-side
// client call and read by RaiseServerError before any other call on the same thread.
StatusValue* StatusVector();

// A call has failed when it returns a value greater than 0.
inline bool Failed(StatusValue result) {
  return result > 0;
}

}  // namespace fbclient
