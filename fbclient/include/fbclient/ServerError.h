#pragma once

#include <string>

namespace fbclient {

// What one failed server call amounts to.
struct ServerError {
  int SQLCode = 0;
  int GdsCode = 0;
  std::string Message;
};

// Reads the calling thread's status vector right after a failed call: the GDS code is element 1, the
// SQL code comes from isc_sqlcode, the message from isc_interprete one line at a time (CR LF after a
// line that does not already end in LF, one final "." removed).
ServerError ReadServerError();

// Throws the server error of the calling thread's status vector: EIBInterBaseRoleError for SQL code
// -551, EIBInterBaseError otherwise.
[[noreturn]] void RaiseServerError();

}  // namespace fbclient
