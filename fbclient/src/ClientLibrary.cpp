#include "fbclient/ClientLibrary.h"

#include <ibase.h>

#include <array>
#include <atomic>
#include <cerrno>
#include <mutex>
#include <string_view>
#include <type_traits>
#include <utility>

#include "fbclient/ClientErrors.h"
#include "fbclient/Exceptions.h"
#include "platform/SharedLibrary.h"

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
constexpr std::array<const char*, 43> kRequiredEntryPoints = {
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
constexpr std::array<const char*, 10> kServicesEntryPoints = {
    "isc_service_attach",  "isc_service_detach",   "isc_service_query",    "isc_service_start",
    "isc_decode_sql_date", "isc_decode_sql_time",  "isc_decode_timestamp", "isc_encode_sql_date",
    "isc_encode_sql_time", "isc_encode_timestamp",
};

struct LoaderState {
  std::mutex mutex;
  // The system's usual name of the library.
  std::string fileName = platform::ClientLibraryFileNames().front();
  platform::SharedLibrary library;
  ClientEntryPoints entryPoints;
  std::atomic<bool> loaded = false;
};

// Never destroyed, so a loaded library stays open until the process ends: only UnloadClientLibrary
// closes it.
LoaderState& State() {
  static LoaderState* state = new LoaderState;
  return *state;
}

[[noreturn]] void RaiseMissing(const char* name) {
  const std::string reason = platform::Current().LibraryError();
  // glibc gives no error number for a missing symbol; ENOENT ("no such entry") stands for it.
  throw EOSError(ENOENT, !reason.empty() ? reason : std::string("undefined symbol: ") + name);
}

void Require(const platform::SharedLibrary& library, const char* name) {
  if (library.LookUp(name) == nullptr) RaiseMissing(name);
}

template <class Function>
void Bind(Function& target, const platform::SharedLibrary& library, const char* name) {
  if (!library.Bind(target, name)) RaiseMissing(name);
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

// Opens and binds; leaves the state untouched unless everything is bound. A missing entry point
// throws, and the library object closes the file again on the way out.
void Load(LoaderState& state) {
  platform::SharedLibrary library(state.fileName);
  if (!library.Opened()) return;
  ClientEntryPoints bound;
  for (const char* name : kRequiredEntryPoints)
    Require(library, name);
  Bind(bound.isc_sqlcode, library, "isc_sqlcode");
  Bind(bound.isc_interprete, library, "isc_interprete");
  Bind(bound.isc_vax_integer, library, "isc_vax_integer");
  if (library.LookUp("isc_rollback_retaining") != nullptr) {
    for (const char* name : kServicesEntryPoints)
      Require(library, name);
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
  state.library = std::move(library);
  state.entryPoints = bound;
  state.loaded.store(true, std::memory_order_release);
}

}  // namespace

void EnsureClientLoaded() {
  LoaderState& state = State();
  std::lock_guard lock(state.mutex);
  if (!state.loaded.load(std::memory_order_acquire)) Load(state);
  if (!state.loaded.load(std::memory_order_acquire)) RaiseClientError(kClientLibraryNotFound);
}

bool ClientLoaded() {
  return State().loaded.load(std::memory_order_acquire);
}

const ClientEntryPoints& Client() {
  LoaderState& state = State();
  if (!state.loaded.load(std::memory_order_acquire)) RaiseClientError(kClientLibraryNotFound);
  return state.entryPoints;
}

void SetClientLibraryFileName(const std::string& fileName) {
  LoaderState& state = State();
  std::lock_guard lock(state.mutex);
  state.fileName = fileName;
}

std::string ClientLibraryFileName() {
  LoaderState& state = State();
  std::lock_guard lock(state.mutex);
  return state.fileName;
}

void UnloadClientLibrary() {
  LoaderState& state = State();
  std::lock_guard lock(state.mutex);
  state.loaded.store(false, std::memory_order_release);
  state.entryPoints = ClientEntryPoints{};
  state.library.Close();
}

}  // namespace fbclient
