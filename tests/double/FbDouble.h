#pragma once

// A stand-in for the Firebird client library, built as libfbclient.so.2 in several variants under
// <build>/tests/double/<variant>/ (see DoubleLoader.h). The program's own loaders open it by path
// instead of the real client and bind its isc_* entry points by name, so a test can watch, fail or
// script every call the program makes while the real library (and through it the private test
// server) still does the work.
//
// Variants:
//   full                   every entry point both loaders look up, plus fb_interpret,
//                          isc_rollback_retaining and isc_dsql_allocate_statement
//   no_rollback_retaining  full without isc_rollback_retaining
//   missing_required       full without isc_blob_info (required by both loaders)
//   no_services            full without isc_service_attach/_detach/_query/_start
//
// Every call goes through these steps, the first that applies deciding the outcome:
//   1. isc_service_query while ReplayServiceLines is serving: a generated line, not recorded;
//   2. a matching Fail(): the injected status vector is copied into the caller's vector and its
//      element 1 is returned; nothing is forwarded;
//   3. a queued reply (QueueReply): copied into the caller's result buffer, 0 returned;
//   4. forwarding on (the default): the real /usr/lib/x86_64-linux-gnu/libfbclient.so.2;
//   5. forwarding off: success with fake non-zero handles and empty but well-formed results
//      (info replies hold just isc_info_end; a line query answers 62 0 0 1; fetch returns 100;
//      prepare/describe report sqld 0; handles given up become 0).
// Message and number routines (isc_interprete, fb_interpret, isc_sqlcode, isc_sql_interprete,
// isc_vax_integer, isc_portable_integer) and the other purely local helpers (date encoding, event
// and parameter block builders, isc_free) never reach the server: they are always forwarded, so an
// injected status vector is interpreted with the real library's own message texts.
//
// Recording. Every call except replayed lines is appended to the log. `args` lists the arguments in
// declaration order, without the status vector, as key=value separated by one blank:
//   numbers     decimal                        dialect=3 option=2 requestLength=13
//   handles     the value pointed to on entry  svc=0 db=17 stmt=5   ("null" for a null address)
//   texts       verbatim between quotes        name="localhost/40123:service_mgr" sql="SELECT 1"
//   buffers     upper-case hex bytes           spb=02 02 1C 06 53 59 53 44 42 41
//   descriptors sqln/sqld of an XSQLDA         sqlda=30/0   ("null" when none)
// A length argument of 0 before a text means "NUL-terminated" and the text is read up to its NUL.
// `out` holds what the call handed back: new handle values (svc=7, stmt=5 after a drop gives stmt=0),
// sqld after prepare/describe, the text written by the message routines.
// isc_start_multiple records its count and, per transaction existence block i,
// "teb<i>.db=<handle> teb<i>.tpb=<hex>".
//
// A program the test starts as a process of its own (the runner) cannot reach this control object: the
// double then reads a replay file named by FBDOUBLE_REPLAY when it is loaded (Replay.h), which turns
// forwarding off and scripts the server's lines, failures, the settings row and the backup file.
//
// Not thread-safe beyond a single lock around the shared state; the program under test makes its
// client calls from one thread.

#include <ibase.h>

#include <string>
#include <vector>

namespace fbdouble {

// How a recorded call was answered.
enum class Outcome { Forwarded, Faulted, Scripted, Faked };

struct Call {
  std::string entry;
  std::string args;
  std::string out;
  // The value the entry point returned (a status code, or the routine's own result: SQL code,
  // integer value, text length).
  ISC_STATUS result = 0;
  // Element 1 of the caller's status vector after the call; 0 for routines without a vector.
  ISC_STATUS statusCode = 0;
  Outcome outcome = Outcome::Forwarded;
  // Answered inside the client library without the server: the message and number routines and the
  // other local helpers. ServerCalls() leaves these out.
  bool local = false;
};

class Control {
 public:
  // Forwarding on, no faults, no queued replies or replayed lines, empty log, fake handles from the
  // start again.
  virtual void Reset() = 0;

  virtual void SetForwarding(bool forward) = 0;
  virtual bool Forwarding() const = 0;

  virtual std::vector<Call> Calls() const = 0;
  virtual void ClearCalls() = 0;

  // The (skip+1)-th call to `entry` from now, and the `times`-1 calls after it (every later call for
  // times = -1), fails with `status` instead of being answered. The vector has the library's form
  // ({isc_arg_gds, code, ..., isc_arg_end}) and at most 20 elements; string arguments
  // (isc_arg_string, isc_arg_interpreted, isc_arg_sql_state, isc_arg_cstring) are copied, so a
  // temporary may be passed, and the copies stay valid while the double is loaded. Only entry points
  // that take a status vector can fail; any other name throws std::invalid_argument.
  virtual void Fail(const std::string& entry, const std::vector<ISC_STATUS>& status, int skip = 0,
                    int times = 1) = 0;

  // The next call to `entry` (isc_service_query, isc_database_info or isc_dsql_sql_info) copies
  // `bytes` into the caller's result buffer (at most its length; the rest is left untouched) and
  // returns 0. Replies queue up in order. Other entry names throw std::invalid_argument.
  virtual void QueueReply(const std::string& entry, const std::vector<unsigned char>& bytes) = 0;

  // The next `count` calls of isc_service_query each answer one line (62, length low, length high,
  // the text, 1), the call after them the end of output (62, 0, 0, 1). None is recorded or forwarded,
  // so benchmarks can be served hundreds of thousands of lines quickly.
  virtual void ReplayServiceLines(int count, const std::string& lineText) = 0;

  // The variant this library was built as ("full", "no_services", ...).
  virtual std::string Variant() const = 0;

  // Recording on (the default, and again after Reset) or off: with it off nothing is logged and no
  // argument is formatted, so a benchmark measures the program rather than the double.
  virtual void SetRecording(bool record) = 0;
  virtual bool Recording() const = 0;

 protected:
  ~Control() = default;
};

// A text as a status vector argument: Fail("isc_dsql_prepare", {1, isc_random, 2, Arg("bad"), 0}).
inline ISC_STATUS Arg(const char* text) {
  return reinterpret_cast<ISC_STATUS>(text);
}

// The calls that reached (or would have reached) the server: the log without the local routines.
inline std::vector<Call> ServerCalls(const std::vector<Call>& calls) {
  std::vector<Call> result;
  for (const Call& call : calls) {
    if (!call.local) result.push_back(call);
  }
  return result;
}

// Entry point names in call order, without the local routines.
inline std::vector<std::string> ServerEntries(const std::vector<Call>& calls) {
  std::vector<std::string> result;
  for (const Call& call : calls) {
    if (!call.local) result.push_back(call.entry);
  }
  return result;
}

// The calls made to one entry point.
inline std::vector<Call> CallsTo(const std::vector<Call>& calls, const std::string& entry) {
  std::vector<Call> result;
  for (const Call& call : calls) {
    if (call.entry == entry) result.push_back(call);
  }
  return result;
}

}  // namespace fbdouble

// The double's control object; look it up with dlsym on the double's handle.
extern "C" fbdouble::Control* fbdouble_control();
