// The exported entry points, one per name, with the signatures of <ibase.h> (the compiler checks each
// definition against the declaration there). Each collects its arguments for the log and lets
// Invocation decide between an injected fault, a scripted reply, the real library and a fake.

// The declarations of <ibase.h> give the definitions below their default visibility; everything else
// in the double is hidden.
#pragma GCC visibility push(default)
#include <ibase.h>
#pragma GCC visibility pop

#include <cstdarg>

#include "tests/double/Invocation.h"
#include "tests/double/RealLibrary.h"

// isc_interprete is marked deprecated by <ibase.h>, but the program calls it and so must the double.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

using fbdouble::DoubleState;
using fbdouble::Invocation;

// The real library's entry point of the same name, looked up once.
#define REAL(name)                                                                             \
  ([] {                                                                                        \
    static const auto real = reinterpret_cast<decltype(&::name)>(fbdouble::RealSymbol(#name)); \
    return real;                                                                               \
  }())

namespace {

// isc_event_block takes at most this many event names.
constexpr int kMaxEventNames = 15;

// The layout of one transaction existence block of isc_start_multiple.
struct TransactionExistenceBlock {
  FB_API_HANDLE* database;
  int tpbLength;
  const unsigned char* tpb;
};

ISC_STATUS FakeSuccess() {
  return 0;
}

ISC_STATUS FakeNewHandle(FB_API_HANDLE* handle) {
  if (handle != nullptr) *handle = DoubleState::Instance().NewHandle();
  return 0;
}

ISC_STATUS FakeGiveUp(FB_API_HANDLE* handle) {
  if (handle != nullptr) *handle = 0;
  return 0;
}

ISC_STATUS FakeInfo(char* buffer, long long length) {
  if (buffer != nullptr && length > 0) buffer[0] = isc_info_end;
  return 0;
}

#ifndef FBDOUBLE_WITHOUT_SERVICES
// A line or to-eof request is answered with an empty text, which ends the output; other items are
// left out.
ISC_STATUS FakeServiceQuery(const char* request, unsigned short requestLength, char* buffer,
                            unsigned short length) {
  unsigned short used = 0;
  for (unsigned short i = 0; request != nullptr && i < requestLength; ++i) {
    const char item = request[i];
    if ((item == isc_info_svc_line || item == isc_info_svc_to_eof) && used + 4 <= length) {
      buffer[used++] = item;
      buffer[used++] = 0;
      buffer[used++] = 0;
    }
  }
  if (used < length) buffer[used] = isc_info_end;
  return 0;
}
#endif

ISC_STATUS FakeNoColumns(XSQLDA* sqlda) {
  if (sqlda != nullptr) sqlda->sqld = 0;
  return 0;
}

}  // namespace

extern "C" {

int BLOB_get(FB_BLOB_STREAM stream) {
  Invocation call("BLOB_get");
  call.Pointer("stream", stream);
  return call.Forward(EOF, REAL(BLOB_get), stream);
}

int BLOB_put(ISC_SCHAR character, FB_BLOB_STREAM stream) {
  Invocation call("BLOB_put");
  call.Number("character", character).Pointer("stream", stream);
  return call.Forward(EOF, REAL(BLOB_put), character, stream);
}

ISC_LONG fb_interpret(ISC_SCHAR* buffer, unsigned int size, const ISC_STATUS** vector) {
  Invocation call("fb_interpret");
  call.Number("size", size);
  const ISC_LONG length = call.Forward(ISC_LONG{0}, REAL(fb_interpret), buffer, size, vector);
  if (length > 0) call.OutText("text", buffer);
  return length;
}

ISC_STATUS isc_add_user(ISC_STATUS* status, const USER_SEC_DATA* user) {
  Invocation call("isc_add_user", status);
  call.Text("user", user != nullptr ? user->user_name : nullptr);
  return call.Answer(REAL(isc_add_user), FakeSuccess, status, user);
}

ISC_STATUS isc_array_gen_sdl(ISC_STATUS* status, const ISC_ARRAY_DESC* desc, ISC_SHORT* sdlBufferLength,
                             ISC_UCHAR* sdlBuffer, ISC_SHORT* sdlLength) {
  Invocation call("isc_array_gen_sdl", status);
  call.Pointer("desc", desc).Number("sdlBufferLength", sdlBufferLength != nullptr ? *sdlBufferLength : 0);
  return call.AnswerLocally(REAL(isc_array_gen_sdl), status, desc, sdlBufferLength, sdlBuffer, sdlLength);
}

ISC_STATUS isc_array_get_slice(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                               const ISC_ARRAY_DESC* desc, void* array, ISC_LONG* sliceLength) {
  Invocation call("isc_array_get_slice", status);
  call.Handle("db", db).Handle("tr", tr).Quad("id", id).Number("sliceLength", sliceLength ? *sliceLength : 0);
  return call.Answer(REAL(isc_array_get_slice), FakeSuccess, status, db, tr, id, desc, array, sliceLength);
}

ISC_STATUS isc_array_lookup_bounds(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                   const ISC_SCHAR* relation, const ISC_SCHAR* field, ISC_ARRAY_DESC* desc) {
  Invocation call("isc_array_lookup_bounds", status);
  call.Handle("db", db).Handle("tr", tr).Text("relation", relation).Text("field", field);
  return call.Answer(REAL(isc_array_lookup_bounds), FakeSuccess, status, db, tr, relation, field, desc);
}

ISC_STATUS isc_array_lookup_desc(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                 const ISC_SCHAR* relation, const ISC_SCHAR* field, ISC_ARRAY_DESC* desc) {
  Invocation call("isc_array_lookup_desc", status);
  call.Handle("db", db).Handle("tr", tr).Text("relation", relation).Text("field", field);
  return call.Answer(REAL(isc_array_lookup_desc), FakeSuccess, status, db, tr, relation, field, desc);
}

ISC_STATUS isc_array_put_slice(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                               const ISC_ARRAY_DESC* desc, void* array, ISC_LONG* sliceLength) {
  Invocation call("isc_array_put_slice", status);
  call.Handle("db", db).Handle("tr", tr).Quad("id", id).Number("sliceLength", sliceLength ? *sliceLength : 0);
  return call.Answer(REAL(isc_array_put_slice), FakeSuccess, status, db, tr, id, desc, array, sliceLength);
}

ISC_STATUS isc_array_set_desc(ISC_STATUS* status, const ISC_SCHAR* relation, const ISC_SCHAR* field,
                              const short* sqlType, const short* sqlLength, const short* dimensions,
                              ISC_ARRAY_DESC* desc) {
  Invocation call("isc_array_set_desc", status);
  call.Text("relation", relation).Text("field", field);
  return call.AnswerLocally(REAL(isc_array_set_desc), status, relation, field, sqlType, sqlLength, dimensions,
                            desc);
}

ISC_STATUS isc_attach_database(ISC_STATUS* status, short nameLength, const ISC_SCHAR* name, isc_db_handle* db,
                               short dpbLength, const ISC_SCHAR* dpb) {
  Invocation call("isc_attach_database", status);
  call.Number("nameLength", nameLength)
      .Text("name", name, static_cast<unsigned short>(nameLength))
      .Handle("db", db)
      .Number("dpbLength", dpbLength)
      .Hex("dpb", dpb, dpbLength);
  const ISC_STATUS result = call.Answer(
      REAL(isc_attach_database), [db] { return FakeNewHandle(db); }, status, nameLength, name, db, dpbLength,
      dpb);
  call.OutHandle("db", db);
  return result;
}

void isc_blob_default_desc(ISC_BLOB_DESC* desc, const ISC_UCHAR* relation, const ISC_UCHAR* field) {
  Invocation call("isc_blob_default_desc");
  call.Text("relation", reinterpret_cast<const char*>(relation))
      .Text("field", reinterpret_cast<const char*>(field));
  call.ForwardVoid(REAL(isc_blob_default_desc), desc, relation, field);
}

ISC_STATUS isc_blob_gen_bpb(ISC_STATUS* status, const ISC_BLOB_DESC* to, const ISC_BLOB_DESC* from,
                            unsigned short bpbBufferLength, ISC_UCHAR* bpb, unsigned short* bpbLength) {
  Invocation call("isc_blob_gen_bpb", status);
  call.Number("bpbBufferLength", bpbBufferLength);
  return call.AnswerLocally(REAL(isc_blob_gen_bpb), status, to, from, bpbBufferLength, bpb, bpbLength);
}

#ifndef FBDOUBLE_WITHOUT_BLOB_INFO
ISC_STATUS isc_blob_info(ISC_STATUS* status, isc_blob_handle* blob, short itemsLength, const ISC_SCHAR* items,
                         short resultLength, ISC_SCHAR* result) {
  Invocation call("isc_blob_info", status);
  call.Handle("blob", blob).Number("itemsLength", itemsLength).Hex("items", items, itemsLength);
  call.Number("resultLength", resultLength);
  return call.Answer(
      REAL(isc_blob_info), [result, resultLength] { return FakeInfo(result, resultLength); }, status, blob,
      itemsLength, items, resultLength, result);
}
#endif

ISC_STATUS isc_blob_lookup_desc(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                const ISC_UCHAR* relation, const ISC_UCHAR* field, ISC_BLOB_DESC* desc,
                                ISC_UCHAR* global) {
  Invocation call("isc_blob_lookup_desc", status);
  call.Handle("db", db).Handle("tr", tr);
  call.Text("relation", reinterpret_cast<const char*>(relation))
      .Text("field", reinterpret_cast<const char*>(field));
  return call.Answer(REAL(isc_blob_lookup_desc), FakeSuccess, status, db, tr, relation, field, desc, global);
}

ISC_STATUS isc_blob_set_desc(ISC_STATUS* status, const ISC_UCHAR* relation, const ISC_UCHAR* field,
                             short subtype, short charset, short segmentSize, ISC_BLOB_DESC* desc) {
  Invocation call("isc_blob_set_desc", status);
  call.Text("relation", reinterpret_cast<const char*>(relation))
      .Text("field", reinterpret_cast<const char*>(field));
  call.Number("subtype", subtype).Number("charset", charset).Number("segmentSize", segmentSize);
  return call.AnswerLocally(REAL(isc_blob_set_desc), status, relation, field, subtype, charset, segmentSize,
                            desc);
}

ISC_STATUS isc_cancel_blob(ISC_STATUS* status, isc_blob_handle* blob) {
  Invocation call("isc_cancel_blob", status);
  call.Handle("blob", blob);
  const ISC_STATUS result = call.Answer(
      REAL(isc_cancel_blob), [blob] { return FakeGiveUp(blob); }, status, blob);
  call.OutHandle("blob", blob);
  return result;
}

ISC_STATUS isc_cancel_events(ISC_STATUS* status, isc_db_handle* db, ISC_LONG* id) {
  Invocation call("isc_cancel_events", status);
  call.Handle("db", db).Number("id", id != nullptr ? *id : 0);
  return call.Answer(REAL(isc_cancel_events), FakeSuccess, status, db, id);
}

ISC_STATUS isc_close_blob(ISC_STATUS* status, isc_blob_handle* blob) {
  Invocation call("isc_close_blob", status);
  call.Handle("blob", blob);
  const ISC_STATUS result = call.Answer(
      REAL(isc_close_blob), [blob] { return FakeGiveUp(blob); }, status, blob);
  call.OutHandle("blob", blob);
  return result;
}

ISC_STATUS isc_commit_retaining(ISC_STATUS* status, isc_tr_handle* tr) {
  Invocation call("isc_commit_retaining", status);
  call.Handle("tr", tr);
  return call.Answer(REAL(isc_commit_retaining), FakeSuccess, status, tr);
}

ISC_STATUS isc_commit_transaction(ISC_STATUS* status, isc_tr_handle* tr) {
  Invocation call("isc_commit_transaction", status);
  call.Handle("tr", tr);
  const ISC_STATUS result = call.Answer(
      REAL(isc_commit_transaction), [tr] { return FakeGiveUp(tr); }, status, tr);
  call.OutHandle("tr", tr);
  return result;
}

ISC_STATUS isc_compile_request(ISC_STATUS* status, isc_db_handle* db, isc_req_handle* request,
                               short blrLength, const ISC_SCHAR* blr) {
  Invocation call("isc_compile_request", status);
  call.Handle("db", db).Handle("req", request).Number("blrLength", blrLength).Hex("blr", blr, blrLength);
  const ISC_STATUS result = call.Answer(
      REAL(isc_compile_request), [request] { return FakeNewHandle(request); }, status, db, request, blrLength,
      blr);
  call.OutHandle("req", request);
  return result;
}

ISC_STATUS isc_compile_request2(ISC_STATUS* status, isc_db_handle* db, isc_req_handle* request,
                                short blrLength, const ISC_SCHAR* blr) {
  Invocation call("isc_compile_request2", status);
  call.Handle("db", db).Handle("req", request).Number("blrLength", blrLength).Hex("blr", blr, blrLength);
  const ISC_STATUS result = call.Answer(
      REAL(isc_compile_request2), [request] { return FakeNewHandle(request); }, status, db, request,
      blrLength, blr);
  call.OutHandle("req", request);
  return result;
}

ISC_STATUS isc_create_blob(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
                           ISC_QUAD* id) {
  Invocation call("isc_create_blob", status);
  call.Handle("db", db).Handle("tr", tr).Handle("blob", blob);
  const ISC_STATUS result = call.Answer(
      REAL(isc_create_blob), [blob] { return FakeNewHandle(blob); }, status, db, tr, blob, id);
  call.OutHandle("blob", blob);
  return result;
}

ISC_STATUS isc_create_blob2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
                            ISC_QUAD* id, short bpbLength, const ISC_SCHAR* bpb) {
  Invocation call("isc_create_blob2", status);
  call.Handle("db", db)
      .Handle("tr", tr)
      .Handle("blob", blob)
      .Number("bpbLength", bpbLength)
      .Hex("bpb", bpb, bpbLength);
  const ISC_STATUS result = call.Answer(
      REAL(isc_create_blob2), [blob] { return FakeNewHandle(blob); }, status, db, tr, blob, id, bpbLength,
      bpb);
  call.OutHandle("blob", blob);
  return result;
}

ISC_STATUS isc_create_database(ISC_STATUS* status, short nameLength, const ISC_SCHAR* name, isc_db_handle* db,
                               short dpbLength, const ISC_SCHAR* dpb, short type) {
  Invocation call("isc_create_database", status);
  call.Number("nameLength", nameLength)
      .Text("name", name, static_cast<unsigned short>(nameLength))
      .Handle("db", db)
      .Number("dpbLength", dpbLength)
      .Hex("dpb", dpb, dpbLength)
      .Number("type", type);
  const ISC_STATUS result = call.Answer(
      REAL(isc_create_database), [db] { return FakeNewHandle(db); }, status, nameLength, name, db, dpbLength,
      dpb, type);
  call.OutHandle("db", db);
  return result;
}

ISC_STATUS isc_database_info(ISC_STATUS* status, isc_db_handle* db, short itemsLength, const ISC_SCHAR* items,
                             short resultLength, ISC_SCHAR* result) {
  Invocation call("isc_database_info", status);
  call.Handle("db", db).Number("itemsLength", itemsLength).Hex("items", items, itemsLength);
  call.Number("resultLength", resultLength);
  return call.AnswerInto(
      result, resultLength, REAL(isc_database_info),
      [result, resultLength] { return FakeInfo(result, resultLength); }, status, db, itemsLength, items,
      resultLength, result);
}

void isc_decode_date(const ISC_QUAD* date, void* time) {
  Invocation call("isc_decode_date");
  call.ForwardVoid(REAL(isc_decode_date), date, time);
}

void isc_decode_sql_date(const ISC_DATE* date, void* time) {
  Invocation call("isc_decode_sql_date");
  call.ForwardVoid(REAL(isc_decode_sql_date), date, time);
}

void isc_decode_sql_time(const ISC_TIME* sqlTime, void* time) {
  Invocation call("isc_decode_sql_time");
  call.ForwardVoid(REAL(isc_decode_sql_time), sqlTime, time);
}

void isc_decode_timestamp(const ISC_TIMESTAMP* timestamp, void* time) {
  Invocation call("isc_decode_timestamp");
  call.ForwardVoid(REAL(isc_decode_timestamp), timestamp, time);
}

ISC_STATUS isc_delete_user(ISC_STATUS* status, const USER_SEC_DATA* user) {
  Invocation call("isc_delete_user", status);
  call.Text("user", user != nullptr ? user->user_name : nullptr);
  return call.Answer(REAL(isc_delete_user), FakeSuccess, status, user);
}

ISC_STATUS isc_detach_database(ISC_STATUS* status, isc_db_handle* db) {
  Invocation call("isc_detach_database", status);
  call.Handle("db", db);
  const ISC_STATUS result = call.Answer(
      REAL(isc_detach_database), [db] { return FakeGiveUp(db); }, status, db);
  call.OutHandle("db", db);
  return result;
}

ISC_STATUS isc_drop_database(ISC_STATUS* status, isc_db_handle* db) {
  Invocation call("isc_drop_database", status);
  call.Handle("db", db);
  const ISC_STATUS result = call.Answer(
      REAL(isc_drop_database), [db] { return FakeGiveUp(db); }, status, db);
  call.OutHandle("db", db);
  return result;
}

ISC_STATUS isc_dsql_alloc_statement2(ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* statement) {
  Invocation call("isc_dsql_alloc_statement2", status);
  call.Handle("db", db).Handle("stmt", statement);
  const ISC_STATUS result = call.Answer(
      REAL(isc_dsql_alloc_statement2), [statement] { return FakeNewHandle(statement); }, status, db,
      statement);
  call.OutHandle("stmt", statement);
  return result;
}

ISC_STATUS isc_dsql_allocate_statement(ISC_STATUS* status, isc_db_handle* db, isc_stmt_handle* statement) {
  Invocation call("isc_dsql_allocate_statement", status);
  call.Handle("db", db).Handle("stmt", statement);
  const ISC_STATUS result = call.Answer(
      REAL(isc_dsql_allocate_statement), [statement] { return FakeNewHandle(statement); }, status, db,
      statement);
  call.OutHandle("stmt", statement);
  return result;
}

ISC_STATUS isc_dsql_describe(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short dialect,
                             XSQLDA* sqlda) {
  Invocation call("isc_dsql_describe", status);
  call.Handle("stmt", statement).Number("dialect", dialect).Descriptor("sqlda", sqlda);
  const ISC_STATUS result = call.Answer(
      REAL(isc_dsql_describe),
      [statement, sqlda] { return DoubleState::Instance().FakeDescribe(statement ? *statement : 0, sqlda); },
      status, statement, dialect, sqlda);
  call.OutDescriptor(sqlda);
  return result;
}

ISC_STATUS isc_dsql_describe_bind(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short dialect,
                                  XSQLDA* sqlda) {
  Invocation call("isc_dsql_describe_bind", status);
  call.Handle("stmt", statement).Number("dialect", dialect).Descriptor("sqlda", sqlda);
  const ISC_STATUS result = call.Answer(
      REAL(isc_dsql_describe_bind), [sqlda] { return FakeNoColumns(sqlda); }, status, statement, dialect,
      sqlda);
  call.OutDescriptor(sqlda);
  return result;
}

ISC_STATUS isc_dsql_exec_immed2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                unsigned short length, const ISC_SCHAR* sql, unsigned short dialect,
                                const XSQLDA* in, const XSQLDA* out) {
  Invocation call("isc_dsql_exec_immed2", status);
  call.Handle("db", db).Handle("tr", tr).Number("length", length).Text("sql", sql, length);
  call.Number("dialect", dialect).Descriptor("in", in).Descriptor("out", out);
  return call.Answer(REAL(isc_dsql_exec_immed2), FakeSuccess, status, db, tr, length, sql, dialect, in, out);
}

ISC_STATUS isc_dsql_execute(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* statement,
                            unsigned short dialect, const XSQLDA* sqlda) {
  Invocation call("isc_dsql_execute", status);
  call.Handle("tr", tr).Handle("stmt", statement).Number("dialect", dialect).Descriptor("sqlda", sqlda);
  return call.Answer(
      REAL(isc_dsql_execute),
      [statement] {
        DoubleState::Instance().FakeExecute(statement ? *statement : 0);
        return FakeSuccess();
      },
      status, tr, statement, dialect, sqlda);
}

ISC_STATUS isc_dsql_execute2(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* statement,
                             unsigned short dialect, const XSQLDA* in, const XSQLDA* out) {
  Invocation call("isc_dsql_execute2", status);
  call.Handle("tr", tr).Handle("stmt", statement).Number("dialect", dialect);
  call.Descriptor("in", in).Descriptor("out", out);
  return call.Answer(REAL(isc_dsql_execute2), FakeSuccess, status, tr, statement, dialect, in, out);
}

ISC_STATUS isc_dsql_execute_immediate(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                      unsigned short length, const ISC_SCHAR* sql, unsigned short dialect,
                                      const XSQLDA* sqlda) {
  Invocation call("isc_dsql_execute_immediate", status);
  call.Handle("db", db).Handle("tr", tr).Number("length", length).Text("sql", sql, length);
  call.Number("dialect", dialect).Descriptor("sqlda", sqlda);
  return call.Answer(REAL(isc_dsql_execute_immediate), FakeSuccess, status, db, tr, length, sql, dialect,
                     sqlda);
}

ISC_STATUS isc_dsql_fetch(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short dialect,
                          const XSQLDA* sqlda) {
  Invocation call("isc_dsql_fetch", status);
  call.Handle("stmt", statement).Number("dialect", dialect).Descriptor("sqlda", sqlda);
  // Without a server there are no rows but the one a replay scripts.
  return call.Answer(
      REAL(isc_dsql_fetch),
      [statement, sqlda] { return DoubleState::Instance().FakeFetch(statement ? *statement : 0, sqlda); },
      status, statement, dialect, sqlda);
}

ISC_STATUS isc_dsql_free_statement(ISC_STATUS* status, isc_stmt_handle* statement, unsigned short option) {
  Invocation call("isc_dsql_free_statement", status);
  call.Handle("stmt", statement).Number("option", option);
  const ISC_STATUS result = call.Answer(
      REAL(isc_dsql_free_statement),
      [statement, option] { return option == DSQL_drop ? FakeGiveUp(statement) : FakeSuccess(); }, status,
      statement, option);
  call.OutHandle("stmt", statement);
  return result;
}

ISC_STATUS isc_dsql_prepare(ISC_STATUS* status, isc_tr_handle* tr, isc_stmt_handle* statement,
                            unsigned short length, const ISC_SCHAR* sql, unsigned short dialect,
                            XSQLDA* sqlda) {
  Invocation call("isc_dsql_prepare", status);
  call.Handle("tr", tr).Handle("stmt", statement).Number("length", length).Text("sql", sql, length);
  call.Number("dialect", dialect).Descriptor("sqlda", sqlda);
  const ISC_STATUS result = call.Answer(
      REAL(isc_dsql_prepare),
      [=] { return DoubleState::Instance().FakePrepare(statement ? *statement : 0, sql, length, sqlda); },
      status, tr, statement, length, sql, dialect, sqlda);
  call.OutDescriptor(sqlda);
  return result;
}

ISC_STATUS isc_dsql_set_cursor_name(ISC_STATUS* status, isc_stmt_handle* statement, const ISC_SCHAR* name,
                                    unsigned short type) {
  Invocation call("isc_dsql_set_cursor_name", status);
  call.Handle("stmt", statement).Text("name", name).Number("type", type);
  return call.Answer(REAL(isc_dsql_set_cursor_name), FakeSuccess, status, statement, name, type);
}

ISC_STATUS isc_dsql_sql_info(ISC_STATUS* status, isc_stmt_handle* statement, short itemsLength,
                             const ISC_SCHAR* items, short resultLength, ISC_SCHAR* result) {
  Invocation call("isc_dsql_sql_info", status);
  call.Handle("stmt", statement).Number("itemsLength", itemsLength).Hex("items", items, itemsLength);
  call.Number("resultLength", resultLength);
  return call.AnswerInto(
      result, resultLength, REAL(isc_dsql_sql_info),
      [result, resultLength] { return FakeInfo(result, resultLength); }, status, statement, itemsLength,
      items, resultLength, result);
}

void isc_encode_date(const void* time, ISC_QUAD* date) {
  Invocation call("isc_encode_date");
  call.ForwardVoid(REAL(isc_encode_date), time, date);
}

void isc_encode_sql_date(const void* time, ISC_DATE* date) {
  Invocation call("isc_encode_sql_date");
  call.ForwardVoid(REAL(isc_encode_sql_date), time, date);
}

void isc_encode_sql_time(const void* time, ISC_TIME* sqlTime) {
  Invocation call("isc_encode_sql_time");
  call.ForwardVoid(REAL(isc_encode_sql_time), time, sqlTime);
}

void isc_encode_timestamp(const void* time, ISC_TIMESTAMP* timestamp) {
  Invocation call("isc_encode_timestamp");
  call.ForwardVoid(REAL(isc_encode_timestamp), time, timestamp);
}

ISC_LONG isc_event_block(ISC_UCHAR** eventBuffer, ISC_UCHAR** resultBuffer, ISC_USHORT count, ...) {
  Invocation call("isc_event_block");
  call.Number("count", count);
  if (count > kMaxEventNames) return 0;
  // A variadic call cannot be passed on as it is: the names are read here and handed over one by one,
  // padded with nulls that the library does not read.
  char* names[kMaxEventNames] = {};
  va_list arguments;
  va_start(arguments, count);
  for (int i = 0; i < count; ++i) {
    names[i] = va_arg(arguments, char*);
    call.Text("name", names[i]);
  }
  va_end(arguments);
  return call.Forward(ISC_LONG{0}, REAL(isc_event_block), eventBuffer, resultBuffer, count, names[0],
                      names[1], names[2], names[3], names[4], names[5], names[6], names[7], names[8],
                      names[9], names[10], names[11], names[12], names[13], names[14]);
}

void isc_event_counts(ISC_ULONG* counts, short length, ISC_UCHAR* before, const ISC_UCHAR* after) {
  Invocation call("isc_event_counts");
  call.Number("length", length);
  call.ForwardVoid(REAL(isc_event_counts), counts, length, before, after);
}

ISC_LONG isc_free(ISC_SCHAR* block) {
  Invocation call("isc_free");
  call.Pointer("block", block);
  return call.Forward(ISC_LONG{0}, REAL(isc_free), block);
}

ISC_STATUS isc_get_segment(ISC_STATUS* status, isc_blob_handle* blob, unsigned short* actualLength,
                           unsigned short bufferLength, ISC_SCHAR* buffer) {
  Invocation call("isc_get_segment", status);
  call.Handle("blob", blob).Number("bufferLength", bufferLength);
  // Without a server every blob is empty.
  const ISC_STATUS result = call.Answer(
      REAL(isc_get_segment),
      [status, actualLength] {
        if (actualLength != nullptr) *actualLength = 0;
        if (status != nullptr) status[1] = isc_segstr_eof;
        return ISC_STATUS{isc_segstr_eof};
      },
      status, blob, actualLength, bufferLength, buffer);
  call.OutNumber("length", actualLength != nullptr ? *actualLength : 0);
  return result;
}

ISC_STATUS isc_get_slice(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                         short sdlLength, const ISC_SCHAR* sdl, short parameterLength,
                         const ISC_LONG* parameters, ISC_LONG sliceLength, void* slice,
                         ISC_LONG* returnLength) {
  Invocation call("isc_get_slice", status);
  call.Handle("db", db)
      .Handle("tr", tr)
      .Quad("id", id)
      .Number("sdlLength", sdlLength)
      .Hex("sdl", sdl, sdlLength);
  call.Number("sliceLength", sliceLength);
  return call.Answer(REAL(isc_get_slice), FakeSuccess, status, db, tr, id, sdlLength, sdl, parameterLength,
                     parameters, sliceLength, slice, returnLength);
}

ISC_LONG isc_interprete(ISC_SCHAR* buffer, ISC_STATUS** vector) {
  Invocation call("isc_interprete");
  const ISC_LONG length = call.Forward(ISC_LONG{0}, REAL(isc_interprete), buffer, vector);
  if (length > 0) call.OutText("text", buffer);
  return length;
}

ISC_STATUS isc_modify_user(ISC_STATUS* status, const USER_SEC_DATA* user) {
  Invocation call("isc_modify_user", status);
  call.Text("user", user != nullptr ? user->user_name : nullptr);
  return call.Answer(REAL(isc_modify_user), FakeSuccess, status, user);
}

ISC_STATUS isc_open_blob(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
                         ISC_QUAD* id) {
  Invocation call("isc_open_blob", status);
  call.Handle("db", db).Handle("tr", tr).Handle("blob", blob).Quad("id", id);
  const ISC_STATUS result = call.Answer(
      REAL(isc_open_blob), [blob] { return FakeNewHandle(blob); }, status, db, tr, blob, id);
  call.OutHandle("blob", blob);
  return result;
}

ISC_STATUS isc_open_blob2(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, isc_blob_handle* blob,
                          ISC_QUAD* id, ISC_USHORT bpbLength, const ISC_UCHAR* bpb) {
  Invocation call("isc_open_blob2", status);
  call.Handle("db", db).Handle("tr", tr).Handle("blob", blob).Quad("id", id);
  call.Number("bpbLength", bpbLength).Hex("bpb", bpb, bpbLength);
  const ISC_STATUS result = call.Answer(
      REAL(isc_open_blob2), [blob] { return FakeNewHandle(blob); }, status, db, tr, blob, id, bpbLength, bpb);
  call.OutHandle("blob", blob);
  return result;
}

ISC_INT64 isc_portable_integer(const ISC_UCHAR* bytes, short length) {
  Invocation call("isc_portable_integer");
  call.Hex("bytes", bytes, length).Number("length", length);
  return call.Forward(ISC_INT64{0}, REAL(isc_portable_integer), bytes, length);
}

ISC_STATUS isc_prepare_transaction(ISC_STATUS* status, isc_tr_handle* tr) {
  Invocation call("isc_prepare_transaction", status);
  call.Handle("tr", tr);
  return call.Answer(REAL(isc_prepare_transaction), FakeSuccess, status, tr);
}

ISC_STATUS isc_prepare_transaction2(ISC_STATUS* status, isc_tr_handle* tr, ISC_USHORT messageLength,
                                    const ISC_UCHAR* message) {
  Invocation call("isc_prepare_transaction2", status);
  call.Handle("tr", tr).Number("messageLength", messageLength).Hex("message", message, messageLength);
  return call.Answer(REAL(isc_prepare_transaction2), FakeSuccess, status, tr, messageLength, message);
}

ISC_STATUS isc_put_segment(ISC_STATUS* status, isc_blob_handle* blob, unsigned short length,
                           const ISC_SCHAR* buffer) {
  Invocation call("isc_put_segment", status);
  call.Handle("blob", blob).Number("length", length).Hex("segment", buffer, length);
  return call.Answer(REAL(isc_put_segment), FakeSuccess, status, blob, length, buffer);
}

ISC_STATUS isc_put_slice(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr, ISC_QUAD* id,
                         short sdlLength, const ISC_SCHAR* sdl, short parameterLength,
                         const ISC_LONG* parameters, ISC_LONG sliceLength, void* slice) {
  Invocation call("isc_put_slice", status);
  call.Handle("db", db)
      .Handle("tr", tr)
      .Quad("id", id)
      .Number("sdlLength", sdlLength)
      .Hex("sdl", sdl, sdlLength);
  call.Number("sliceLength", sliceLength);
  return call.Answer(REAL(isc_put_slice), FakeSuccess, status, db, tr, id, sdlLength, sdl, parameterLength,
                     parameters, sliceLength, slice);
}

ISC_STATUS isc_que_events(ISC_STATUS* status, isc_db_handle* db, ISC_LONG* id, short length,
                          const ISC_UCHAR* events, ISC_EVENT_CALLBACK callback, void* argument) {
  Invocation call("isc_que_events", status);
  call.Handle("db", db).Number("length", length).Hex("events", events, length);
  const ISC_STATUS result = call.Answer(
      REAL(isc_que_events),
      [id] {
        if (id != nullptr) *id = static_cast<ISC_LONG>(DoubleState::Instance().NewHandle());
        return ISC_STATUS{0};
      },
      status, db, id, length, events, callback, argument);
  call.OutNumber("id", id != nullptr ? *id : 0);
  return result;
}

ISC_STATUS isc_receive(ISC_STATUS* status, isc_req_handle* request, short messageType, short messageLength,
                       void* message, short level) {
  Invocation call("isc_receive", status);
  call.Handle("req", request).Number("messageType", messageType).Number("messageLength", messageLength);
  call.Number("level", level);
  return call.Answer(REAL(isc_receive), FakeSuccess, status, request, messageType, messageLength, message,
                     level);
}

ISC_STATUS isc_release_request(ISC_STATUS* status, isc_req_handle* request) {
  Invocation call("isc_release_request", status);
  call.Handle("req", request);
  const ISC_STATUS result = call.Answer(
      REAL(isc_release_request), [request] { return FakeGiveUp(request); }, status, request);
  call.OutHandle("req", request);
  return result;
}

#ifndef FBDOUBLE_WITHOUT_ROLLBACK_RETAINING
ISC_STATUS isc_rollback_retaining(ISC_STATUS* status, isc_tr_handle* tr) {
  Invocation call("isc_rollback_retaining", status);
  call.Handle("tr", tr);
  return call.Answer(REAL(isc_rollback_retaining), FakeSuccess, status, tr);
}
#endif

ISC_STATUS isc_rollback_transaction(ISC_STATUS* status, isc_tr_handle* tr) {
  Invocation call("isc_rollback_transaction", status);
  call.Handle("tr", tr);
  const ISC_STATUS result = call.Answer(
      REAL(isc_rollback_transaction), [tr] { return FakeGiveUp(tr); }, status, tr);
  call.OutHandle("tr", tr);
  return result;
}

ISC_STATUS isc_send(ISC_STATUS* status, isc_req_handle* request, short messageType, short messageLength,
                    const void* message, short level) {
  Invocation call("isc_send", status);
  call.Handle("req", request).Number("messageType", messageType).Number("messageLength", messageLength);
  call.Hex("message", message, messageLength).Number("level", level);
  return call.Answer(REAL(isc_send), FakeSuccess, status, request, messageType, messageLength, message,
                     level);
}

#ifndef FBDOUBLE_WITHOUT_SERVICES
ISC_STATUS isc_service_attach(ISC_STATUS* status, unsigned short nameLength, const ISC_SCHAR* name,
                              isc_svc_handle* service, unsigned short spbLength, const ISC_SCHAR* spb) {
  Invocation call("isc_service_attach", status);
  call.Number("nameLength", nameLength).Text("name", name, nameLength).Handle("svc", service);
  call.Number("spbLength", spbLength).Hex("spb", spb, spbLength);
  const ISC_STATUS result = call.Answer(
      REAL(isc_service_attach), [service] { return FakeNewHandle(service); }, status, nameLength, name,
      service, spbLength, spb);
  call.OutHandle("svc", service);
  return result;
}

ISC_STATUS isc_service_detach(ISC_STATUS* status, isc_svc_handle* service) {
  Invocation call("isc_service_detach", status);
  call.Handle("svc", service);
  const ISC_STATUS result = call.Answer(
      REAL(isc_service_detach), [service] { return FakeGiveUp(service); }, status, service);
  call.OutHandle("svc", service);
  return result;
}

ISC_STATUS isc_service_query(ISC_STATUS* status, isc_svc_handle* service, isc_resv_handle* reserved,
                             unsigned short sendLength, const ISC_SCHAR* send, unsigned short requestLength,
                             const ISC_SCHAR* request, unsigned short resultLength, ISC_SCHAR* result) {
  if (result != nullptr && DoubleState::Instance().ServeReplayedLine(result, resultLength)) {
    if (status != nullptr) {
      status[0] = isc_arg_gds;
      status[1] = 0;
      status[2] = isc_arg_end;
    }
    return 0;
  }
  Invocation call("isc_service_query", status);
  call.Handle("svc", service).Pointer("reserved", reserved);
  call.Number("sendLength", sendLength).Hex("send", send, sendLength);
  call.Number("requestLength", requestLength).Hex("request", request, requestLength);
  call.Number("resultLength", resultLength);
  return call.AnswerInto(
      result, resultLength, REAL(isc_service_query),
      [=] { return FakeServiceQuery(request, requestLength, result, resultLength); }, status, service,
      reserved, sendLength, send, requestLength, request, resultLength, result);
}

ISC_STATUS isc_service_start(ISC_STATUS* status, isc_svc_handle* service, isc_resv_handle* reserved,
                             unsigned short requestLength, const ISC_SCHAR* request) {
  Invocation call("isc_service_start", status);
  call.Handle("svc", service).Pointer("reserved", reserved);
  call.Number("requestLength", requestLength).Hex("request", request, requestLength);
  return call.Answer(
      REAL(isc_service_start),
      [=] {
        DoubleState::Instance().FakeServiceStart(request, requestLength);
        return FakeSuccess();
      },
      status, service, reserved, requestLength, request);
}
#endif

void isc_sql_interprete(short sqlCode, ISC_SCHAR* buffer, short length) {
  Invocation call("isc_sql_interprete");
  call.Number("sqlcode", sqlCode).Number("length", length);
  call.ForwardVoid(REAL(isc_sql_interprete), sqlCode, buffer, length);
  if (buffer != nullptr && length > 0) call.OutText("text", buffer);
}

ISC_LONG isc_sqlcode(const ISC_STATUS* vector) {
  Invocation call("isc_sqlcode");
  call.Number("code", vector != nullptr ? vector[1] : 0);
  return call.Forward(ISC_LONG{0}, REAL(isc_sqlcode), vector);
}

ISC_STATUS isc_start_and_send(ISC_STATUS* status, isc_req_handle* request, isc_tr_handle* tr,
                              short messageType, short messageLength, const void* message, short level) {
  Invocation call("isc_start_and_send", status);
  call.Handle("req", request).Handle("tr", tr).Number("messageType", messageType);
  call.Number("messageLength", messageLength).Hex("message", message, messageLength).Number("level", level);
  return call.Answer(REAL(isc_start_and_send), FakeSuccess, status, request, tr, messageType, messageLength,
                     message, level);
}

ISC_STATUS isc_start_multiple(ISC_STATUS* status, isc_tr_handle* tr, short count, void* vector) {
  Invocation call("isc_start_multiple", status);
  call.Handle("tr", tr).Number("count", count);
  const auto* blocks = static_cast<const TransactionExistenceBlock*>(vector);
  for (short i = 0; blocks != nullptr && i < count; ++i) {
    const std::string prefix = "teb" + std::to_string(i);
    call.Handle((prefix + ".db").c_str(), blocks[i].database);
    call.Hex((prefix + ".tpb").c_str(), blocks[i].tpb, blocks[i].tpbLength);
  }
  const ISC_STATUS result = call.Answer(
      REAL(isc_start_multiple), [tr] { return FakeNewHandle(tr); }, status, tr, count, vector);
  call.OutHandle("tr", tr);
  return result;
}

ISC_STATUS isc_start_request(ISC_STATUS* status, isc_req_handle* request, isc_tr_handle* tr, short level) {
  Invocation call("isc_start_request", status);
  call.Handle("req", request).Handle("tr", tr).Number("level", level);
  return call.Answer(REAL(isc_start_request), FakeSuccess, status, request, tr, level);
}

ISC_STATUS isc_transact_request(ISC_STATUS* status, isc_db_handle* db, isc_tr_handle* tr,
                                unsigned short blrLength, ISC_SCHAR* blr, unsigned short inMessageLength,
                                ISC_SCHAR* inMessage, unsigned short outMessageLength,
                                ISC_SCHAR* outMessage) {
  Invocation call("isc_transact_request", status);
  call.Handle("db", db).Handle("tr", tr).Number("blrLength", blrLength).Hex("blr", blr, blrLength);
  call.Number("inMessageLength", inMessageLength).Number("outMessageLength", outMessageLength);
  return call.Answer(REAL(isc_transact_request), FakeSuccess, status, db, tr, blrLength, blr, inMessageLength,
                     inMessage, outMessageLength, outMessage);
}

ISC_STATUS isc_transaction_info(ISC_STATUS* status, isc_tr_handle* tr, short itemsLength,
                                const ISC_SCHAR* items, short resultLength, ISC_SCHAR* result) {
  Invocation call("isc_transaction_info", status);
  call.Handle("tr", tr).Number("itemsLength", itemsLength).Hex("items", items, itemsLength);
  call.Number("resultLength", resultLength);
  return call.Answer(
      REAL(isc_transaction_info), [result, resultLength] { return FakeInfo(result, resultLength); }, status,
      tr, itemsLength, items, resultLength, result);
}

ISC_STATUS isc_unwind_request(ISC_STATUS* status, isc_tr_handle* request, short level) {
  Invocation call("isc_unwind_request", status);
  call.Handle("req", request).Number("level", level);
  return call.Answer(REAL(isc_unwind_request), FakeSuccess, status, request, level);
}

ISC_LONG isc_vax_integer(const ISC_SCHAR* bytes, short length) {
  Invocation call("isc_vax_integer");
  call.Hex("bytes", bytes, length).Number("length", length);
  return call.Forward(ISC_LONG{0}, REAL(isc_vax_integer), bytes, length);
}

}  // extern "C"
