#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "tests/double/DoubleLoader.h"
#include "tests/double/EntryTable.h"
#include "tests/double/FbDouble.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

// isc_interprete is marked deprecated, but it is one of the routines the double must serve.
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"

namespace fbdouble {
namespace {

void* OpenVariant(const std::string& variant) {
  void* library = dlopen(VariantPath(variant).c_str(), RTLD_NOW | RTLD_LOCAL);
  if (library == nullptr) ADD_FAILURE() << dlerror();
  return library;
}

template <class Function>
Function Bind(void* library, const char* name) {
  auto* symbol = reinterpret_cast<Function>(dlsym(library, name));
  if (symbol == nullptr) ADD_FAILURE() << name << " is not exported";
  return symbol;
}

#define BIND(library, name) Bind<decltype(&::name)>(library, #name)

// The entry points of the full double, as the program's loaders see them.
struct Client {
  explicit Client(void* library)
      : attach(BIND(library, isc_attach_database)),
        detach(BIND(library, isc_detach_database)),
        databaseInfo(BIND(library, isc_database_info)),
        allocate(BIND(library, isc_dsql_allocate_statement)),
        fetch(BIND(library, isc_dsql_fetch)),
        freeStatement(BIND(library, isc_dsql_free_statement)),
        sqlInfo(BIND(library, isc_dsql_sql_info)),
        serviceAttach(BIND(library, isc_service_attach)),
        serviceDetach(BIND(library, isc_service_detach)),
        serviceQuery(BIND(library, isc_service_query)),
        interprete(BIND(library, isc_interprete)),
        vaxInteger(BIND(library, isc_vax_integer)) {}

  decltype(&::isc_attach_database) attach;
  decltype(&::isc_detach_database) detach;
  decltype(&::isc_database_info) databaseInfo;
  decltype(&::isc_dsql_allocate_statement) allocate;
  decltype(&::isc_dsql_fetch) fetch;
  decltype(&::isc_dsql_free_statement) freeStatement;
  decltype(&::isc_dsql_sql_info) sqlInfo;
  decltype(&::isc_service_attach) serviceAttach;
  decltype(&::isc_service_detach) serviceDetach;
  decltype(&::isc_service_query) serviceQuery;
  decltype(&::isc_interprete) interprete;
  decltype(&::isc_vax_integer) vaxInteger;
};

std::string ServiceSpb() {
  std::string spb = {isc_spb_version, isc_spb_current_version, isc_spb_user_name, 6};
  spb += "SYSDBA";
  spb += {isc_spb_password, 9};
  spb += "tidewater";
  return spb;
}

std::vector<std::string> InterpretedLines(Client& client, ISC_STATUS* status) {
  std::vector<std::string> lines;
  const ISC_STATUS* cursor = status;
  char buffer[1024];
  while (client.interprete(buffer, const_cast<ISC_STATUS**>(&cursor)) > 0)
    lines.emplace_back(buffer);
  return lines;
}

class FbDoubleTest : public ::testing::Test {
 protected:
  void SetUp() override {
    control_ = &LoadVariant("full");
    library_ = OpenVariant("full");
  }
  void TearDown() override {
    control_->Reset();
    if (library_ != nullptr) dlclose(library_);
  }

  // Creates an application database on the test server and attaches to it through the double as SYSDBA
  // (a DPB of 20 bytes); gives its location.
  static std::string AttachNew(Client& client, const std::string& name, isc_db_handle& db) {
    auto& server = testsupport::FirebirdServer::Shared();
    const std::string location = server.Location(testsupport::CreateAppDatabase(server, name));
    const std::string dpb = std::string{isc_dpb_version1, isc_dpb_user_name, 6} + "SYSDBA" +
                            std::string{isc_dpb_password, 9} + "tidewater";
    ISC_STATUS_ARRAY status{};
    EXPECT_EQ(0, client.attach(status, 0, location.c_str(), &db, static_cast<short>(dpb.size()), dpb.data()));
    return location;
  }

  Control* control_ = nullptr;
  void* library_ = nullptr;
};

TEST(FbDoubleVariants, ExportExactlyTheEntryPointsOfTheirVariant) {
  for (const std::string variant : {"full", "no_rollback_retaining", "missing_required", "no_services"}) {
    Control& control = LoadVariant(variant);
    EXPECT_EQ(variant, control.Variant());
    void* library = OpenVariant(variant);
    ASSERT_NE(nullptr, library);
    for (const EntryPoint& entry : kEntryPoints) {
      const bool exported = dlsym(library, std::string(entry.name).c_str()) != nullptr;
      EXPECT_EQ(!VariantLacks(variant, entry.group), exported) << variant << " " << entry.name;
    }
    // Its own machinery stays private, so nothing but the client's names can be bound from it.
    EXPECT_EQ(nullptr, dlsym(library, "_ZN8fbdouble11DoubleState8InstanceEv"));
    dlclose(library);
  }
}

TEST(FbDoubleVariants, EachVariantIsItsOwnInstance) {
  Control& full = LoadVariant("full");
  Control& noServices = LoadVariant("no_services");
  EXPECT_NE(&full, &noServices);
  full.SetForwarding(false);
  EXPECT_TRUE(noServices.Forwarding());
  full.Reset();
}

TEST_F(FbDoubleTest, ForwardsServiceCallsToTheRealServerAndRecordsThemExactly) {
  Client client(library_);
  auto& server = testsupport::FirebirdServer::Shared();
  const std::string name = server.ServiceManager();
  const std::string spb = ServiceSpb();
  ISC_STATUS_ARRAY status{};
  isc_svc_handle service = 0;
  ASSERT_EQ(0, client.serviceAttach(status, static_cast<unsigned short>(name.size()), name.c_str(), &service,
                                    static_cast<unsigned short>(spb.size()), spb.data()));
  ASSERT_NE(0u, service);
  const FB_API_HANDLE attached = service;

  const char request[] = {isc_info_svc_server_version};
  char reply[256] = {};
  ASSERT_EQ(0, client.serviceQuery(status, &service, nullptr, 0, nullptr, 1, request, sizeof reply, reply));
  EXPECT_EQ(isc_info_svc_server_version, reply[0]);
  ASSERT_EQ(0, client.serviceDetach(status, &service));
  EXPECT_EQ(0u, service);

  const auto calls = control_->Calls();
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ("isc_service_attach", calls[0].entry);
  EXPECT_EQ("nameLength=" + std::to_string(name.size()) + " name=\"" + name +
                "\" svc=0 spbLength=21 spb=02 02 1C 06 53 59 53 44 42 41 1D 09 74 69 64 65 77 61 74 65 72",
            calls[0].args);
  EXPECT_EQ("svc=" + std::to_string(attached), calls[0].out);
  EXPECT_EQ(Outcome::Forwarded, calls[0].outcome);
  EXPECT_EQ("svc=" + std::to_string(attached) +
                " reserved=null sendLength=0 send=null requestLength=1 request=37 resultLength=256",
            calls[1].args);
  EXPECT_EQ("svc=" + std::to_string(attached), calls[2].args);
  EXPECT_EQ("svc=0", calls[2].out);
}

TEST_F(FbDoubleTest, InjectedFaultIsNotForwardedAndIsInterpretedWithTheRealTexts) {
  Client client(library_);
  {
    std::string host = "unreachable-host";
    control_->Fail("isc_attach_database", {isc_arg_gds, isc_network_error, isc_arg_string, Arg(host.c_str()),
                                           isc_arg_gds, isc_net_connect_err, isc_arg_end});
  }  // the double keeps its own copy of the text
  ISC_STATUS_ARRAY status{};
  isc_db_handle db = 0;
  EXPECT_EQ(isc_network_error, client.attach(status, 0, "nowhere:/none.fdb", &db, 0, nullptr));
  EXPECT_EQ(0u, db);
  const auto lines = InterpretedLines(client, status);
  ASSERT_EQ(2u, lines.size());
  EXPECT_EQ("Unable to complete network request to host \"unreachable-host\".", lines[0]);
  EXPECT_EQ("Failed to establish a connection.", lines[1]);

  const auto calls = control_->Calls();
  ASSERT_GE(calls.size(), 1u);
  EXPECT_EQ(Outcome::Faulted, calls[0].outcome);
  EXPECT_EQ(isc_network_error, calls[0].result);
  EXPECT_EQ(isc_network_error, calls[0].statusCode);
  // The message routines are in the log too (ServerCalls leaves them out), with the text they wrote.
  EXPECT_EQ("text=\"Failed to establish a connection.\"", CallsTo(calls, "isc_interprete")[1].out);
}

TEST_F(FbDoubleTest, RefusesFaultsAndRepliesItCannotDeliver) {
  EXPECT_THROW(control_->Fail("isc_no_such_call", {1, isc_network_error, 0}), std::invalid_argument);
  EXPECT_THROW(control_->Fail("isc_vax_integer", {1, isc_network_error, 0}), std::invalid_argument);
  EXPECT_THROW(control_->Fail("isc_detach_database", {1}), std::invalid_argument);
  EXPECT_THROW(control_->Fail("isc_detach_database", std::vector<ISC_STATUS>(30, 1)), std::invalid_argument);
  EXPECT_THROW(control_->QueueReply("isc_transaction_info", {1}), std::invalid_argument);
}

TEST_F(FbDoubleTest, QueuedRepliesAreServedInOrderWithinTheCallersBuffer) {
  Client client(library_);
  control_->SetForwarding(false);
  control_->QueueReply("isc_dsql_sql_info", {21, 4, 0, 1, 0, 0, 0, 1});
  control_->QueueReply("isc_dsql_sql_info", {2});
  ISC_STATUS_ARRAY status{};
  isc_stmt_handle statement = 5;
  const char items[] = {isc_info_sql_stmt_type};
  char reply[4];
  std::fill(std::begin(reply), std::end(reply), 'x');
  EXPECT_EQ(0, client.sqlInfo(status, &statement, 1, items, 3, reply));
  EXPECT_EQ(std::string("\x15\x04\x00x", 4), std::string(reply, 4)) << "at most the caller's length";
  EXPECT_EQ(0, client.sqlInfo(status, &statement, 1, items, sizeof reply, reply));
  EXPECT_EQ(2, reply[0]);
  EXPECT_EQ(0, client.sqlInfo(status, &statement, 1, items, sizeof reply, reply));
  EXPECT_EQ(isc_info_end, reply[0]) << "queue empty: the fake answers again";

  const auto calls = control_->Calls();
  ASSERT_EQ(3u, calls.size());
  EXPECT_EQ(Outcome::Scripted, calls[0].outcome);
  EXPECT_EQ(Outcome::Faked, calls[2].outcome);
  EXPECT_EQ("stmt=5 itemsLength=1 items=15 resultLength=3", calls[0].args);
}

TEST_F(FbDoubleTest, QueuedReplyStandsInForTheRealServer) {
  Client client(library_);
  isc_db_handle db = 0;
  AttachNew(client, "double_info", db);
  ASSERT_NE(0u, db);
  ISC_STATUS_ARRAY status{};
  control_->QueueReply("isc_database_info", {isc_info_truncated});
  const char items[] = {isc_info_db_sql_dialect, isc_info_end};
  char reply[64] = {};
  EXPECT_EQ(0, client.databaseInfo(status, &db, sizeof items, items, sizeof reply, reply));
  EXPECT_EQ(isc_info_truncated, reply[0]);
  EXPECT_EQ(0, client.databaseInfo(status, &db, sizeof items, items, sizeof reply, reply));
  ASSERT_EQ(isc_info_db_sql_dialect, reply[0]) << "the next call is forwarded again";
  EXPECT_EQ(1, client.vaxInteger(reply + 3, static_cast<short>(client.vaxInteger(reply + 1, 2))));
  EXPECT_EQ(0, client.detach(status, &db));
}

TEST_F(FbDoubleTest, ReplaysServiceLinesWithoutRecordingThenEndsTheOutput) {
  Client client(library_);
  control_->ReplayServiceLines(3, "gbak: writing data for table SIS_BACKUP");
  ISC_STATUS_ARRAY status{};
  isc_svc_handle service = 9;
  const char request[] = {isc_info_svc_line};
  std::vector<std::string> lines;
  for (;;) {
    char reply[128] = {};
    ASSERT_EQ(0, client.serviceQuery(status, &service, nullptr, 0, nullptr, 1, request, sizeof reply, reply));
    ASSERT_EQ(isc_info_svc_line, reply[0]);
    const auto length = static_cast<std::size_t>(client.vaxInteger(reply + 1, 2));
    ASSERT_EQ(isc_info_end, reply[3 + length]);
    if (length == 0) break;
    lines.emplace_back(reply + 3, length);
  }
  EXPECT_EQ(std::vector<std::string>(3, "gbak: writing data for table SIS_BACKUP"), lines);
  EXPECT_TRUE(ServerCalls(control_->Calls()).empty());

  control_->SetForwarding(false);
  char reply[8] = {};
  ASSERT_EQ(0, client.serviceQuery(status, &service, nullptr, 0, nullptr, 1, request, sizeof reply, reply));
  EXPECT_EQ(1u, ServerCalls(control_->Calls()).size())
      << "after the end of output the query is answered again";
}

TEST_F(FbDoubleTest, WithoutForwardingAnswersWithFakeHandlesAndEmptyResults) {
  Client client(library_);
  control_->SetForwarding(false);
  ISC_STATUS_ARRAY status{};
  status[1] = 12345;
  isc_svc_handle service = 0;
  ASSERT_EQ(0, client.serviceAttach(status, 3, "abc", &service, 2, "\x02\x02"));
  EXPECT_EQ(0, status[1]);
  EXPECT_NE(0u, service);
  isc_db_handle db = 0;
  ASSERT_EQ(0, client.attach(status, 0, "any:/where.fdb", &db, 0, nullptr));
  EXPECT_NE(0u, db);
  EXPECT_NE(service, db);

  const char request[] = {isc_info_svc_line};
  char reply[8] = {};
  ASSERT_EQ(0, client.serviceQuery(status, &service, nullptr, 0, nullptr, 1, request, sizeof reply, reply));
  EXPECT_EQ(std::string("\x3E\x00\x00\x01", 4), std::string(reply, 4));
  char info[8] = {};
  ASSERT_EQ(0, client.databaseInfo(status, &db, 1, "\x3E", sizeof info, info));
  EXPECT_EQ(isc_info_end, info[0]);

  isc_stmt_handle statement = 0;
  ASSERT_EQ(0, client.allocate(status, &db, &statement));
  EXPECT_NE(0u, statement);
  EXPECT_EQ(100, client.fetch(status, &statement, 3, nullptr));
  ASSERT_EQ(0, client.freeStatement(status, &statement, DSQL_close));
  EXPECT_NE(0u, statement);
  ASSERT_EQ(0, client.freeStatement(status, &statement, DSQL_drop));
  EXPECT_EQ(0u, statement);
  ASSERT_EQ(0, client.serviceDetach(status, &service));
  EXPECT_EQ(0u, service);
  for (const Call& call : ServerCalls(control_->Calls()))
    EXPECT_EQ(Outcome::Faked, call.outcome) << call.entry;
}

TEST_F(FbDoubleTest, WithRecordingOffNothingIsLoggedButFaultsStillFire) {
  Client client(library_);
  control_->SetForwarding(false);
  control_->SetRecording(false);
  EXPECT_FALSE(control_->Recording());
  control_->Fail("isc_detach_database", {isc_arg_gds, isc_network_error, isc_arg_end});
  ISC_STATUS_ARRAY status{};
  isc_db_handle db = 4;
  EXPECT_EQ(isc_network_error, client.detach(status, &db));
  EXPECT_EQ(0x0201, client.vaxInteger("\x01\x02", 2));
  EXPECT_TRUE(control_->Calls().empty());
  control_->SetRecording(true);
  EXPECT_EQ(0, client.detach(status, &db));
  EXPECT_EQ(1u, control_->Calls().size());
}

TEST_F(FbDoubleTest, ResetRestoresEveryDefault) {
  Client client(library_);
  control_->SetForwarding(false);
  control_->Fail("isc_detach_database", {isc_arg_gds, isc_network_error, isc_arg_end}, 0, -1);
  control_->QueueReply("isc_database_info", {2});
  control_->ReplayServiceLines(5, "x");
  control_->SetRecording(false);
  ISC_STATUS_ARRAY status{};
  isc_db_handle db = 1;
  client.detach(status, &db);
  control_->Reset();

  EXPECT_TRUE(control_->Forwarding());
  EXPECT_TRUE(control_->Recording());
  EXPECT_TRUE(control_->Calls().empty());
  control_->SetForwarding(false);
  db = 1;
  EXPECT_EQ(0, client.detach(status, &db)) << "faults are gone";
  char info[4] = {};
  client.databaseInfo(status, &db, 0, nullptr, sizeof info, info);
  EXPECT_EQ(isc_info_end, info[0]) << "queued replies are gone";
  char reply[8] = {};
  const char request[] = {isc_info_svc_line};
  isc_svc_handle service = 3;
  client.serviceQuery(status, &service, nullptr, 0, nullptr, 1, request, sizeof reply, reply);
  EXPECT_EQ(3u, ServerCalls(control_->Calls()).size()) << "replayed lines are gone: the query is recorded";
}

}  // namespace
}  // namespace fbdouble
