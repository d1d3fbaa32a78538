#pragma once

// The database side's table of the Firebird client library's entry points, bound through the
// program's one binding mechanism (fbclient/LibraryBinding.h) when a connection first needs the
// library, and kept for the life of the process.

#include <ibase.h>

#include <string>
#include <vector>

#include "platform/Libraries.h"

namespace db {

class TIB_Component;

// The entry points the database side calls. A null pointer means "not bound".
struct ClientEntryPoints {
  using AttachDatabase = ISC_STATUS (*)(ISC_STATUS*, short, const ISC_SCHAR*, isc_db_handle*, short,
                                        const ISC_SCHAR*);
  using HandleCall = ISC_STATUS (*)(ISC_STATUS*, FB_API_HANDLE*);
  using DatabaseInfo = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, short, const ISC_SCHAR*, short,
                                      ISC_SCHAR*);
  using StartMultiple = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, short, void*);
  using AllocateStatement = ISC_STATUS (*)(ISC_STATUS*, isc_db_handle*, isc_stmt_handle*);
  using Prepare = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                 const ISC_SCHAR*, unsigned short, XSQLDA*);
  using Describe = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, XSQLDA*);
  using SqlInfo = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, short, const ISC_SCHAR*, short, ISC_SCHAR*);
  using Execute = ISC_STATUS (*)(ISC_STATUS*, isc_tr_handle*, isc_stmt_handle*, unsigned short,
                                 const XSQLDA*);
  using SetCursorName = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, const ISC_SCHAR*, unsigned short);
  using Fetch = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short, const XSQLDA*);
  using FreeStatement = ISC_STATUS (*)(ISC_STATUS*, isc_stmt_handle*, unsigned short);
  using SqlCode = ISC_LONG (*)(const ISC_STATUS*);
  using Interprete = ISC_LONG (*)(ISC_SCHAR*, ISC_STATUS**);
  using FbInterpret = ISC_LONG (*)(ISC_SCHAR*, unsigned int, const ISC_STATUS**);
  using SqlInterprete = void (*)(short, ISC_SCHAR*, short);
  using VaxInteger = ISC_LONG (*)(const ISC_SCHAR*, short);
  using ServiceAttach = ISC_STATUS (*)(ISC_STATUS*, unsigned short, const ISC_SCHAR*, isc_svc_handle*,
                                       unsigned short, const ISC_SCHAR*);
  using ServiceDetach = ISC_STATUS (*)(ISC_STATUS*, isc_svc_handle*);
  using ServiceQuery = ISC_STATUS (*)(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                                      const ISC_SCHAR*, unsigned short, const ISC_SCHAR*, unsigned short,
                                      ISC_SCHAR*);
  using ServiceStart = ISC_STATUS (*)(ISC_STATUS*, isc_svc_handle*, isc_resv_handle*, unsigned short,
                                      const ISC_SCHAR*);
  using UserCall = ISC_STATUS (*)(ISC_STATUS*, const USER_SEC_DATA*);
  using PortableInteger = ISC_INT64 (*)(const ISC_UCHAR*, short);

  AttachDatabase isc_attach_database = nullptr;
  HandleCall isc_detach_database = nullptr;
  HandleCall isc_drop_database = nullptr;
  DatabaseInfo isc_database_info = nullptr;
  StartMultiple isc_start_multiple = nullptr;
  HandleCall isc_commit_transaction = nullptr;
  HandleCall isc_rollback_transaction = nullptr;
  HandleCall isc_rollback_retaining = nullptr;  // optional
  AllocateStatement isc_dsql_allocate_statement = nullptr;
  Prepare isc_dsql_prepare = nullptr;
  Describe isc_dsql_describe = nullptr;
  Describe isc_dsql_describe_bind = nullptr;
  SqlInfo isc_dsql_sql_info = nullptr;
  Execute isc_dsql_execute = nullptr;
  SetCursorName isc_dsql_set_cursor_name = nullptr;
  Fetch isc_dsql_fetch = nullptr;
  FreeStatement isc_dsql_free_statement = nullptr;
  SqlCode isc_sqlcode = nullptr;
  Interprete isc_interprete = nullptr;
  FbInterpret fb_interpret = nullptr;  // optional
  SqlInterprete isc_sql_interprete = nullptr;
  VaxInteger isc_vax_integer = nullptr;
  // Optional entry points that are replaced by a function raising "... not implemented" when missing.
  ServiceAttach isc_service_attach = nullptr;
  ServiceDetach isc_service_detach = nullptr;
  ServiceQuery isc_service_query = nullptr;
  ServiceStart isc_service_start = nullptr;
  UserCall isc_add_user = nullptr;
  UserCall isc_delete_user = nullptr;
  UserCall isc_modify_user = nullptr;
  PortableInteger isc_portable_integer = nullptr;
};

// The entry points bound now; all null until a bind succeeded.
const ClientEntryPoints& Client();

// Binds the table, through the loader the connection was handed, while nothing is bound. When no file
// loads it returns with nothing bound; a missing required entry point raises EIB_Error (the sender is
// the component that needed the library) and leaves every entry point unbound.
void EnsureClientLoaded(TIB_Component* sender, platform::Libraries& libraries);

// The entry points every loaded library must have, in lookup order.
const std::vector<const char*>& RequiredEntryPoints();

// The file names tried in order: platform::ClientLibraryFileNames() ("libfbclient.so.2", then the older
// "libfbclient.so" and "libgds.so"; "fbclient.dll", then "gds32.dll" on Windows).
std::vector<std::string> DefaultClientLibraryFileNames();
// For tests that bind a stand-in library: replaces the list (names or paths) and forgets what was bound,
// unloading nothing; the next connection that needs the library binds from the new list.
void SetClientLibraryFileNames(std::vector<std::string> fileNames);
std::vector<std::string> ClientLibraryFileNames();

}  // namespace db
