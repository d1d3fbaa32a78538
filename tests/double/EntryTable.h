#pragma once

#include <array>
#include <string_view>

namespace fbdouble {

// What an entry point does, which decides how the double may treat it.
enum class EntryKind {
  Server,   // talks to the server: can fail, be scripted or faked
  Local,    // works inside the client library only: always forwarded
  Message,  // message and number routines: always forwarded, flagged in the log
};

// Which variants leave an entry point out.
enum class EntryGroup { Always, RollbackRetaining, BlobInfo, Services };

struct EntryPoint {
  std::string_view name;
  EntryKind kind;
  bool takesStatus;
  EntryGroup group = EntryGroup::Always;
};

// Every entry point the double exports: the union of what the service side and the connection side
// look up by name.
inline constexpr std::array<EntryPoint, 84> kEntryPoints = {{
    {"BLOB_get", EntryKind::Local, false},
    {"BLOB_put", EntryKind::Local, false},
    {"fb_interpret", EntryKind::Message, false},
    {"isc_add_user", EntryKind::Server, true},
    {"isc_array_gen_sdl", EntryKind::Local, true},
    {"isc_array_get_slice", EntryKind::Server, true},
    {"isc_array_lookup_bounds", EntryKind::Server, true},
    {"isc_array_lookup_desc", EntryKind::Server, true},
    {"isc_array_put_slice", EntryKind::Server, true},
    {"isc_array_set_desc", EntryKind::Local, true},
    {"isc_attach_database", EntryKind::Server, true},
    {"isc_blob_default_desc", EntryKind::Local, false},
    {"isc_blob_gen_bpb", EntryKind::Local, true},
    {"isc_blob_info", EntryKind::Server, true, EntryGroup::BlobInfo},
    {"isc_blob_lookup_desc", EntryKind::Server, true},
    {"isc_blob_set_desc", EntryKind::Local, true},
    {"isc_cancel_blob", EntryKind::Server, true},
    {"isc_cancel_events", EntryKind::Server, true},
    {"isc_close_blob", EntryKind::Server, true},
    {"isc_commit_retaining", EntryKind::Server, true},
    {"isc_commit_transaction", EntryKind::Server, true},
    {"isc_compile_request", EntryKind::Server, true},
    {"isc_compile_request2", EntryKind::Server, true},
    {"isc_create_blob", EntryKind::Server, true},
    {"isc_create_blob2", EntryKind::Server, true},
    {"isc_create_database", EntryKind::Server, true},
    {"isc_database_info", EntryKind::Server, true},
    {"isc_decode_date", EntryKind::Local, false},
    {"isc_decode_sql_date", EntryKind::Local, false},
    {"isc_decode_sql_time", EntryKind::Local, false},
    {"isc_decode_timestamp", EntryKind::Local, false},
    {"isc_delete_user", EntryKind::Server, true},
    {"isc_detach_database", EntryKind::Server, true},
    {"isc_drop_database", EntryKind::Server, true},
    {"isc_dsql_alloc_statement2", EntryKind::Server, true},
    {"isc_dsql_allocate_statement", EntryKind::Server, true},
    {"isc_dsql_describe", EntryKind::Server, true},
    {"isc_dsql_describe_bind", EntryKind::Server, true},
    {"isc_dsql_exec_immed2", EntryKind::Server, true},
    {"isc_dsql_execute", EntryKind::Server, true},
    {"isc_dsql_execute2", EntryKind::Server, true},
    {"isc_dsql_execute_immediate", EntryKind::Server, true},
    {"isc_dsql_fetch", EntryKind::Server, true},
    {"isc_dsql_free_statement", EntryKind::Server, true},
    {"isc_dsql_prepare", EntryKind::Server, true},
    {"isc_dsql_set_cursor_name", EntryKind::Server, true},
    {"isc_dsql_sql_info", EntryKind::Server, true},
    {"isc_encode_date", EntryKind::Local, false},
    {"isc_encode_sql_date", EntryKind::Local, false},
    {"isc_encode_sql_time", EntryKind::Local, false},
    {"isc_encode_timestamp", EntryKind::Local, false},
    {"isc_event_block", EntryKind::Local, false},
    {"isc_event_counts", EntryKind::Local, false},
    {"isc_free", EntryKind::Local, false},
    {"isc_get_segment", EntryKind::Server, true},
    {"isc_get_slice", EntryKind::Server, true},
    {"isc_interprete", EntryKind::Message, false},
    {"isc_modify_user", EntryKind::Server, true},
    {"isc_open_blob", EntryKind::Server, true},
    {"isc_open_blob2", EntryKind::Server, true},
    {"isc_portable_integer", EntryKind::Message, false},
    {"isc_prepare_transaction", EntryKind::Server, true},
    {"isc_prepare_transaction2", EntryKind::Server, true},
    {"isc_put_segment", EntryKind::Server, true},
    {"isc_put_slice", EntryKind::Server, true},
    {"isc_que_events", EntryKind::Server, true},
    {"isc_receive", EntryKind::Server, true},
    {"isc_release_request", EntryKind::Server, true},
    {"isc_rollback_retaining", EntryKind::Server, true, EntryGroup::RollbackRetaining},
    {"isc_rollback_transaction", EntryKind::Server, true},
    {"isc_send", EntryKind::Server, true},
    {"isc_service_attach", EntryKind::Server, true, EntryGroup::Services},
    {"isc_service_detach", EntryKind::Server, true, EntryGroup::Services},
    {"isc_service_query", EntryKind::Server, true, EntryGroup::Services},
    {"isc_service_start", EntryKind::Server, true, EntryGroup::Services},
    {"isc_sql_interprete", EntryKind::Message, false},
    {"isc_sqlcode", EntryKind::Message, false},
    {"isc_start_and_send", EntryKind::Server, true},
    {"isc_start_multiple", EntryKind::Server, true},
    {"isc_start_request", EntryKind::Server, true},
    {"isc_transact_request", EntryKind::Server, true},
    {"isc_transaction_info", EntryKind::Server, true},
    {"isc_unwind_request", EntryKind::Server, true},
    {"isc_vax_integer", EntryKind::Message, false},
}};

inline constexpr const EntryPoint* FindEntryPoint(std::string_view name) {
  for (const EntryPoint& entry : kEntryPoints) {
    if (entry.name == name) return &entry;
  }
  return nullptr;
}

// The entry points a variant leaves out.
inline constexpr bool VariantLacks(std::string_view variant, EntryGroup group) {
  return (variant == "no_rollback_retaining" && group == EntryGroup::RollbackRetaining) ||
         (variant == "missing_required" && group == EntryGroup::BlobInfo) ||
         (variant == "no_services" && group == EntryGroup::Services);
}

}  // namespace fbdouble
