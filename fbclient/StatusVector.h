#pragma once

#include <ibase.h>

namespace fbclient {

// The calling thread's status vector (ISC_STATUS_LENGTH elements), passed first to every service-side
// client call and read by RaiseServerError before any other call on the same thread.
ISC_STATUS* StatusVector();

// A call has failed when it returns a value greater than 0.
inline bool Failed(ISC_STATUS result) {
  return result > 0;
}

}  // namespace fbclient
