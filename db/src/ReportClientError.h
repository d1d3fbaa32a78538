#pragma once

#include "TIB_Session.h"

namespace db {

class TIB_Component;

// Turns the session's status vector into the error lists, fires the sender's OnError and then the
// session's, and raises EIB_ISCError unless a handler cleared RaiseException. Returns only when the
// error was suppressed. Raises EIB_Error "O cliente InterBase (GDS32.DLL) não está instalado",
// without any event, when the client library was never loaded.
void ReportClientError(TIB_Session& session, TIB_Component* sender);

}  // namespace db
