#pragma once

#include <string>

#include "fbclient/ClientTypes.h"
#include "platform/Libraries.h"

namespace fbclient {

// The client library's entry points that the service side calls, bound by name at run time.
struct ClientEntryPoints {
  ClientLong (*isc_sqlcode)(const StatusValue*) = nullptr;
  ClientLong (*isc_interprete)(char*, StatusValue**) = nullptr;
  ClientLong (*isc_vax_integer)(const char*, short) = nullptr;
  StatusValue (*isc_service_attach)(StatusValue*, unsigned short, const char*, Handle*, unsigned short,
                                    const char*) = nullptr;
  StatusValue (*isc_service_detach)(StatusValue*, Handle*) = nullptr;
  StatusValue (*isc_service_query)(StatusValue*, Handle*, ClientLong*, unsigned short, const char*,
                                   unsigned short, const char*, unsigned short, char*) = nullptr;
  StatusValue (*isc_service_start)(StatusValue*, Handle*, ClientLong*, unsigned short, const char*) = nullptr;
};

// The system loader the service side opens the library through, handed in by the program (a test its
// own); nullptr goes back to the machine's, which serves until one is handed in.
void UseLibraries(platform::Libraries* libraries);

// The ensure-loaded check that every service component makes when it is constructed: binds while
// nothing is bound (fbclient/LibraryBinding.h), then raises client error 1 if still nothing is. The
// binding opens the library file (the system's usual name, libfbclient.so.2 or fbclient.dll, unless
// changed below), requires every entry point the service side has always looked up, and, when
// isc_rollback_retaining is missing, takes the library for one without the services interface: the
// isc_service_* entry points then raise client error 3 naming themselves. A missing required entry point
// raises EOSError and closes the library again, so nothing
// can be called through an entry point that was never bound and the next check tries afresh.
void EnsureClientLoaded();

bool ClientLoaded();

// The bound entry points. Raises client error 1 while no library is loaded.
const ClientEntryPoints& Client();

// For tests: the file the loader opens from now on (a bare name is searched for like any shared
// library; a path is opened as it stands), and forgetting the loaded library so that the next check
// loads again. Components that outlive an unload get client error 1 from their next call.
void SetClientLibraryFileName(const std::string& fileName);
std::string ClientLibraryFileName();
void UnloadClientLibrary();

}  // namespace fbclient
