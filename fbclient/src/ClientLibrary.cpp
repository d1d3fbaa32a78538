#include "fbclient/ClientLibrary.h"

#include <ibase.h>

#include <atomic>
#include <cerrno>
#include <memory>
#include <type_traits>
#include <vector>

#include "fbclient/ClientErrors.h"
#include "fbclient/Exceptions.h"
#include "fbclient/LibraryBinding.h"
#include "platform/Machine.h"

namespace fbclient {

// The program's names for the library's types are the library's types.
static_assert(std::is_same_v<StatusValue, ISC_STATUS>);
static_assert(std::is_same_v<Handle, FB_API_HANDLE>);
static_assert(std::is_same_v<Handle, isc_db_handle> && std::is_same_v<Handle, isc_tr_handle> &&
              std::is_same_v<Handle, isc_stmt_handle> && std::is_same_v<Handle, isc_svc_handle>);
static_assert(std::is_same_v<ClientLong, ISC_LONG> && std::is_same_v<ClientLong, isc_resv_handle>);
static_assert(kStatusLength == ISC_STATUS_LENGTH);

namespace {

// Looked up and required in this order, whether or not the service side calls them: a library that
// lacks any of them is not one this program can work with.
const std::vector<const char*> kRequiredEntryPoints = {
    "BLOB_get",
    "BLOB_put",
    "isc_sqlcode",
    "isc_sql_interprete",
    "isc_interprete",
    "isc_vax_integer",
    "isc_blob_info",
    "isc_open_blob2",
    "isc_close_blob",
    "isc_get_segment",
    "isc_put_segment",
    "isc_create_blob2",
    "isc_decode_date",
    "isc_encode_date",
    "isc_dsql_free_statement",
    "isc_dsql_execute2",
    "isc_dsql_execute",
    "isc_dsql_set_cursor_name",
    "isc_dsql_fetch",
    "isc_dsql_sql_info",
    "isc_dsql_alloc_statement2",
    "isc_dsql_prepare",
    "isc_dsql_describe_bind",
    "isc_dsql_describe",
    "isc_dsql_execute_immediate",
    "isc_drop_database",
    "isc_detach_database",
    "isc_attach_database",
    "isc_database_info",
    "isc_start_multiple",
    "isc_commit_transaction",
    "isc_commit_retaining",
    "isc_rollback_transaction",
    "isc_cancel_events",
    "isc_que_events",
    "isc_event_counts",
    "isc_event_block",
    "isc_free",
    "isc_add_user",
    "isc_delete_user",
    "isc_modify_user",
    "isc_prepare_transaction",
    "isc_prepare_transaction2",
};

// Required only from a library that has isc_rollback_retaining, the mark of the services interface.
const std::vector<const char*> kServicesEntryPoints = {
    "isc_service_attach",  "isc_service_detach",   "isc_service_query",    "isc_service_start",
    "isc_decode_sql_date", "isc_decode_sql_time",  "isc_decode_timestamp", "isc_encode_sql_date",
    "isc_encode_sql_time", "isc_encode_timestamp",
};

std::atomic<platform::Libraries*>& HandedIn() {
  static std::atomic<platform::Libraries*> libraries{nullptr};
  return libraries;
}

// The system loader the library is opened through: the one handed in, else the machine's.
platform::Libraries& Loader() {
  if (platform::Libraries* handedIn = HandedIn().load()) return *handedIn;
  static const std::unique_ptr<platform::Libraries> machine = platform::MachineLibraries();
  return *machine;
}

template <class Function>
void Bind(Function& target, const platform::SharedLibrary& library, const char* name) {
  // Every name bound here was required before.
  library.Bind(target, name);
}

// Replacements for a library without the services interface.
ISC_STATUS ServiceAttachMissing(ISC_STATUS*, unsigned short, const ISC_SCHAR*, isc_svc_handle*,
                                unsigned short, const ISC_SCHAR*) {
  RaiseClientError(kNotInterBase6Function, "isc_service_attach");
}

ISC_STATUS ServiceDetachMissing(ISC_STATUS*, isc_svc_handle*) {
  RaiseClientError(kNotInterBase6Function, "isc_service_detach");
}

ISC_STATUS ServiceQueryMissing(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                               const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short,
                               ISC_SCHAR*) {
  RaiseClientError(kNotInterBase6Function, "isc_service_query");
}

ISC_STATUS ServiceStartMissing(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                               const ISC_SCHAR*) {
  RaiseClientError(kNotInterBase6Function, "isc_service_start");
}

ClientEntryPoints BindServiceSide(const platform::SharedLibrary& library) {
  ClientEntryPoints bound;
  RequireEntryPoints(library, kRequiredEntryPoints);
  Bind(bound.isc_sqlcode, library, "isc_sqlcode");
  Bind(bound.isc_interprete, library, "isc_interprete");
  Bind(bound.isc_vax_integer, library, "isc_vax_integer");
  if (library.LookUp("isc_rollback_retaining") != nullptr) {
    RequireEntryPoints(library, kServicesEntryPoints);
    Bind(bound.isc_service_attach, library, "isc_service_attach");
    Bind(bound.isc_service_detach, library, "isc_service_detach");
    Bind(bound.isc_service_query, library, "isc_service_query");
    Bind(bound.isc_service_start, library, "isc_service_start");
  } else {
    bound.isc_service_attach = ServiceAttachMissing;
    bound.isc_service_detach = ServiceDetachMissing;
    bound.isc_service_query = ServiceQueryMissing;
    bound.isc_service_start = ServiceStartMissing;
  }
  return bound;
}

LibraryBinding<ClientEntryPoints>& Binding() {
  // Never destroyed: a loaded library stays open until the process ends, unless a test unloads it.
  // The system's usual name of the library.
  static auto* binding =
      new LibraryBinding<ClientEntryPoints>({platform::ClientLibraryFileNames().front()}, BindServiceSide);
  return *binding;
}

}  // namespace

void UseLibraries(platform::Libraries* libraries) {
  HandedIn().store(libraries);
}

void EnsureClientLoaded() {
  try {
    if (Binding().Bind(Loader()) == nullptr) {
      RaiseClientError(kClientLibraryNotFound);
    }
  } catch (const MissingEntryPoint& missing) {
    // glibc gives no error number for a missing symbol; ENOENT ("no such entry") stands for it.
    throw EOSError(
        ENOENT, !missing.LoaderText().empty() ? missing.LoaderText() : "undefined symbol: " + missing.Name());
  }
}

bool ClientLoaded() {
  return Binding().Bound() != nullptr;
}

const ClientEntryPoints& Client() {
  const ClientEntryPoints* bound = Binding().Bound();
  if (bound == nullptr) RaiseClientError(kClientLibraryNotFound);
  return *bound;
}

void SetClientLibraryFileName(const std::string& fileName) {
  Binding().SetFileNames({fileName});
}

std::string ClientLibraryFileName() {
  return Binding().FileNames().front();
}

void UnloadClientLibrary() {
  Binding().Unload();
}

}  // namespace fbclient
