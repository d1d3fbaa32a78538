#include "ClientLibrary.h"

#include <utility>

#include "Errors.h"
#include "Messages.h"
#include "fbclient/LibraryBinding.h"
#include "platform/SharedLibrary.h"

namespace db {

namespace {

[[noreturn]] void NotImplemented(const char* entryPoint) {
  throw EIB_Error(nullptr, messages::NotImplemented(entryPoint));
}

ISC_STATUS MissingServiceAttach(ISC_STATUS*, unsigned short, const ISC_SCHAR*, isc_svc_handle*,
                                unsigned short, const ISC_SCHAR*) {
  NotImplemented("isc_service_attach");
}
// The historical spelling of this text is kept: callers may compare it.
ISC_STATUS MissingServiceDetach(ISC_STATUS*, isc_svc_handle*) {
  NotImplemented("isc_service_dettach");
}
ISC_STATUS MissingServiceQuery(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                               const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short,
                               ISC_SCHAR*) {
  NotImplemented("isc_service_query");
}
ISC_STATUS MissingServiceStart(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                               const ISC_SCHAR*) {
  NotImplemented("isc_service_start");
}
ISC_STATUS MissingAddUser(ISC_STATUS*, const USER_SEC_DATA*) {
  NotImplemented("isc_add_user");
}
ISC_STATUS MissingDeleteUser(ISC_STATUS*, const USER_SEC_DATA*) {
  NotImplemented("isc_delete_user");
}
ISC_STATUS MissingModifyUser(ISC_STATUS*, const USER_SEC_DATA*) {
  NotImplemented("isc_modify_user");
}
ISC_INT64 MissingPortableInteger(const ISC_UCHAR*, short) {
  NotImplemented("isc_portable_integer");
}

template <typename Pointer>
void Bind(const platform::SharedLibrary& library, const char* name, Pointer& target) {
  library.Bind(target, name);
}

template <typename Pointer>
void BindOrReplace(const platform::SharedLibrary& library, const char* name, Pointer& target,
                   Pointer replacement) {
  if (!library.Bind(target, name)) target = replacement;
}

ClientEntryPoints BindDatabaseSide(const platform::SharedLibrary& library) {
  fbclient::RequireEntryPoints(library, RequiredEntryPoints());
  ClientEntryPoints table;
  Bind(library, "isc_attach_database", table.isc_attach_database);
  Bind(library, "isc_detach_database", table.isc_detach_database);
  Bind(library, "isc_drop_database", table.isc_drop_database);
  Bind(library, "isc_database_info", table.isc_database_info);
  Bind(library, "isc_start_multiple", table.isc_start_multiple);
  Bind(library, "isc_commit_transaction", table.isc_commit_transaction);
  Bind(library, "isc_rollback_transaction", table.isc_rollback_transaction);
  Bind(library, "isc_dsql_allocate_statement", table.isc_dsql_allocate_statement);
  Bind(library, "isc_dsql_prepare", table.isc_dsql_prepare);
  Bind(library, "isc_dsql_describe", table.isc_dsql_describe);
  Bind(library, "isc_dsql_describe_bind", table.isc_dsql_describe_bind);
  Bind(library, "isc_dsql_sql_info", table.isc_dsql_sql_info);
  Bind(library, "isc_dsql_execute", table.isc_dsql_execute);
  Bind(library, "isc_dsql_set_cursor_name", table.isc_dsql_set_cursor_name);
  Bind(library, "isc_dsql_fetch", table.isc_dsql_fetch);
  Bind(library, "isc_dsql_free_statement", table.isc_dsql_free_statement);
  Bind(library, "isc_sqlcode", table.isc_sqlcode);
  Bind(library, "isc_interprete", table.isc_interprete);
  Bind(library, "isc_sql_interprete", table.isc_sql_interprete);
  Bind(library, "isc_vax_integer", table.isc_vax_integer);
  Bind(library, "fb_interpret", table.fb_interpret);
  Bind(library, "isc_rollback_retaining", table.isc_rollback_retaining);
  BindOrReplace(library, "isc_service_attach", table.isc_service_attach, &MissingServiceAttach);
  BindOrReplace(library, "isc_service_detach", table.isc_service_detach, &MissingServiceDetach);
  BindOrReplace(library, "isc_service_query", table.isc_service_query, &MissingServiceQuery);
  BindOrReplace(library, "isc_service_start", table.isc_service_start, &MissingServiceStart);
  BindOrReplace(library, "isc_add_user", table.isc_add_user, &MissingAddUser);
  BindOrReplace(library, "isc_delete_user", table.isc_delete_user, &MissingDeleteUser);
  BindOrReplace(library, "isc_modify_user", table.isc_modify_user, &MissingModifyUser);
  BindOrReplace(library, "isc_portable_integer", table.isc_portable_integer, &MissingPortableInteger);
  return table;
}

fbclient::LibraryBinding<ClientEntryPoints>& Binding() {
  // Never destroyed: a bound library stays mapped until the process ends.
  static auto* binding =
      new fbclient::LibraryBinding<ClientEntryPoints>(DefaultClientLibraryFileNames(), BindDatabaseSide);
  return *binding;
}

}  // namespace

const std::vector<const char*>& RequiredEntryPoints() {
  static const std::vector<const char*> names = {"isc_array_gen_sdl",
                                                 "isc_array_get_slice",
                                                 "isc_array_lookup_bounds",
                                                 "isc_array_lookup_desc",
                                                 "isc_array_set_desc",
                                                 "isc_array_put_slice",
                                                 "isc_blob_default_desc",
                                                 "isc_blob_gen_bpb",
                                                 "isc_blob_info",
                                                 "isc_blob_lookup_desc",
                                                 "isc_blob_set_desc",
                                                 "isc_cancel_blob",
                                                 "isc_close_blob",
                                                 "isc_create_blob",
                                                 "isc_create_blob2",
                                                 "isc_open_blob",
                                                 "isc_open_blob2",
                                                 "isc_put_segment",
                                                 "isc_put_slice",
                                                 "isc_get_segment",
                                                 "isc_get_slice",
                                                 "isc_attach_database",
                                                 "isc_create_database",
                                                 "isc_detach_database",
                                                 "isc_drop_database",
                                                 "isc_database_info",
                                                 "isc_start_multiple",
                                                 "isc_commit_transaction",
                                                 "isc_commit_retaining",
                                                 "isc_rollback_transaction",
                                                 "isc_transaction_info",
                                                 "isc_transact_request",
                                                 "isc_dsql_execute_immediate",
                                                 "isc_dsql_exec_immed2",
                                                 "isc_dsql_execute",
                                                 "isc_dsql_execute2",
                                                 "isc_dsql_allocate_statement",
                                                 "isc_dsql_alloc_statement2",
                                                 "isc_dsql_prepare",
                                                 "isc_dsql_set_cursor_name",
                                                 "isc_dsql_describe",
                                                 "isc_dsql_describe_bind",
                                                 "isc_dsql_fetch",
                                                 "isc_dsql_free_statement",
                                                 "isc_dsql_sql_info",
                                                 "isc_decode_date",
                                                 "isc_encode_date",
                                                 "isc_cancel_events",
                                                 "isc_event_counts",
                                                 "isc_que_events",
                                                 "isc_event_block",
                                                 "isc_interprete",
                                                 "isc_sql_interprete",
                                                 "isc_free",
                                                 "isc_sqlcode",
                                                 "isc_vax_integer",
                                                 "isc_compile_request",
                                                 "isc_compile_request2",
                                                 "isc_send",
                                                 "isc_start_and_send",
                                                 "isc_start_request",
                                                 "isc_unwind_request",
                                                 "isc_receive",
                                                 "isc_release_request"};
  return names;
}

std::vector<std::string> DefaultClientLibraryFileNames() {
  return platform::ClientLibraryFileNames();
}

void SetClientLibraryFileNames(std::vector<std::string> fileNames) {
  Binding().SetFileNames(std::move(fileNames));
  Binding().Forget();
}

std::vector<std::string> ClientLibraryFileNames() {
  return Binding().FileNames();
}

const ClientEntryPoints& Client() {
  static const ClientEntryPoints unbound;
  const ClientEntryPoints* bound = Binding().Bound();
  return bound != nullptr ? *bound : unbound;
}

void EnsureClientLoaded(TIB_Component* sender, platform::Libraries& libraries) {
  try {
    Binding().Bind(libraries);
  } catch (const fbclient::MissingEntryPoint& missing) {
    throw EIB_Error(sender, messages::EntryPointMissing(missing.Name()));
  }
}

}  // namespace db
