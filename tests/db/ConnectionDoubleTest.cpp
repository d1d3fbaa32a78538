// The connection's calls as the client library receives them.

#include <functional>
#include <stdexcept>

#include "BackupPasswords.h"
#include "BackupSettingsSource.h"
#include "ConnectionCore.h"
#include "Errors.h"
#include "TIB_Session.h"
#include "platform/Cp1252.h"
#include "tests/db/DoubleTestSupport.h"

namespace db {
namespace {

using testing::Arg;
using testing::InfoReply;

// An information reply of a Firebird 3 database with the given ODS and dialect.
std::vector<unsigned char> ServerInfo(unsigned char ods, unsigned char dialect, bool withVersion = true,
                                      unsigned char readOnly = 0) {
  std::vector<std::pair<unsigned char, std::vector<unsigned char>>> items = {
      {32, {ods, 0, 0, 0}}, {33, {0}}, {62, {dialect}}, {63, {readOnly}}};
  if (withVersion) {
    const std::string version = "LI-V3.0.11.33703 Firebird 3.0";
    std::vector<unsigned char> data = {1, static_cast<unsigned char>(version.size())};
    data.insert(data.end(), version.begin(), version.end());
    items.emplace_back(103, data);
  }
  return InfoReply(items);
}

class ConnectionCalls : public testing::SourceDoubleTest {
 protected:
  void SetUp() override {
    SourceDoubleTest::SetUp();
    source_.IBODatabase.AfterConnect = [this](TIB_Connection*) { ++afterConnect_; };
  }
  TIBODatabase& Database() { return source_.IBODatabase; }

  int afterConnect_ = 0;
};

TEST_F(ConnectionCalls, TheAttachSendsTheConnectStringAndTheStoredDpb) {
  Database().Connect();
  const auto attaches = fbdouble::CallsTo(Double().Calls(), "isc_attach_database");
  ASSERT_EQ(1u, attaches.size());
  EXPECT_TRUE(attaches[0].args.starts_with("nameLength=0 name=\"dbhost:/data/app.fdb\" db=0 "))
      << attaches[0].args;
  const std::string password = BackupDatabasePassword();
  std::string passwordHex;
  char byte[4];
  for (unsigned char c : password) {
    std::snprintf(byte, sizeof byte, " %02X", c);
    passwordHex += byte;
  }
  char length[4];
  std::snprintf(length, sizeof length, "%02X", static_cast<unsigned>(password.size()));
  EXPECT_EQ("01 1C 06 53 59 53 44 42 41 1D " + std::string(length) + passwordHex +
                " 18 01 01 1B 01 00 30 07 57 49 4E 31 32 35 32",
            Arg(attaches[0], "dpb"));
  EXPECT_FALSE(Database().Core().Params().Has("PASSWORD")) << "the password is not kept as a parameter line";
  EXPECT_TRUE(Database().Connected());
  EXPECT_EQ(1, afterConnect_);
}

TEST_F(ConnectionCalls, AThrowingBeforeDisconnectLeavesTheConnectionAttachedForDisconnectAndDrop) {
  struct Case {
    const char* name;
    std::function<void()> end;
    const char* entry;
  };
  const Case cases[] = {
      {"disconnect", [&] { Database().Disconnect(); }, "isc_detach_database"},
      {"drop", [&] { Database().DropDatabase(); }, "isc_drop_database"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    Database().Connect();
    Double().ClearCalls();
    TIB_Connection* sender = nullptr;
    Database().Core().BeforeDisconnect = [&](TIB_Connection* connection) {
      sender = connection;
      throw std::runtime_error("refused by the handler");
    };
    EXPECT_THROW(c.end(), std::runtime_error);
    EXPECT_EQ(&Database(), sender);
    EXPECT_TRUE(Database().Connected());
    EXPECT_TRUE(fbdouble::CallsTo(Double().Calls(), c.entry).empty());
    Database().Core().BeforeDisconnect = nullptr;
    Database().Disconnect();
  }
}

TEST_F(ConnectionCalls, ConnectOnAnAttachedConnectionMakesNoCallAndFiresNothing) {
  Database().Connect();
  Double().ClearCalls();
  int changed = 0;
  Database().Core().OnConnectedChanged = [&](TIB_Connection*) { ++changed; };
  Database().Connect();
  Database().Open();
  EXPECT_TRUE(Double().Calls().empty());
  EXPECT_EQ(1, afterConnect_);
  EXPECT_EQ(0, changed);
}

TEST_F(ConnectionCalls, ABadPathMakesNoClientCall) {
  Database().SetDatabaseName("dbhost:C:dados.fdb");
  EXPECT_THROW(Database().Connect(), EIB_ConnectionError);
  EXPECT_TRUE(Double().Calls().empty());
  EXPECT_FALSE(Database().Connected());
}

TEST_F(ConnectionCalls, ATruncatedInformationReplyIsRaisedAfterTheAttach) {
  Double().QueueReply("isc_database_info", {2, 1});
  try {
    Database().Connect();
    FAIL();
  } catch (const EIB_ConnectionError& error) {
    EXPECT_EQ(
        "O buffer de retorno das informa\xE7\xF5"
        "es do banco de dados foi truncado",
        error.Message());
    EXPECT_EQ(&Database(), error.Sender());
  }
  EXPECT_TRUE(Database().Connected());
  EXPECT_EQ(0, afterConnect_);
  const auto info = fbdouble::CallsTo(Double().Calls(), "isc_database_info");
  ASSERT_EQ(1u, info.size());
  EXPECT_EQ("256", Arg(info[0], "itemsLength"));
  EXPECT_EQ(0u, Arg(info[0], "items").rfind("15 0D 04 0B 22 34 21 20 0E 0C 67 1F 3D 3E 3F 40 01 00", 0));
  EXPECT_EQ("4096", Arg(info[0], "resultLength"));
  Database().Disconnect();
  EXPECT_FALSE(Database().Connected());
  EXPECT_EQ(1u, fbdouble::CallsTo(Double().Calls(), "isc_detach_database").size());
}

TEST_F(ConnectionCalls, WithoutTheFirebirdVersionItemNoAliasRequestIsMade) {
  Double().QueueReply("isc_database_info", ServerInfo(12, 1, false));
  Database().Connect();
  const TIB_ConnectCharacteristics& info = Database().Core().Characteristics();
  EXPECT_EQ("", info.firebirdVersion);
  EXPECT_EQ(0, info.fbMajor);
  EXPECT_EQ(12, info.odsMajorVersion);
  // The parameter-order test was prepared, but no alias request followed.
  EXPECT_EQ(1u, fbdouble::CallsTo(Double().Calls(), "isc_dsql_prepare").size());
  EXPECT_TRUE(fbdouble::CallsTo(Double().Calls(), "isc_dsql_sql_info").empty());
}

TEST_F(ConnectionCalls, AFirebird3ServerIsAskedForTheRelationAliases) {
  Double().QueueReply("isc_database_info", ServerInfo(12, 1));
  Database().Connect();
  const auto sqlInfo = fbdouble::CallsTo(Double().Calls(), "isc_dsql_sql_info");
  ASSERT_EQ(1u, sqlInfo.size());
  EXPECT_EQ("5", Arg(sqlInfo[0], "itemsLength"));
  EXPECT_EQ("04 07 09 19 08", Arg(sqlInfo[0], "items"));
  EXPECT_EQ("32761", Arg(sqlInfo[0], "resultLength"));
}

TEST_F(ConnectionCalls, ADialectThatReadsZeroPreparesWithDialectOne) {
  Double().QueueReply("isc_database_info", ServerInfo(12, 0));
  Database().Connect();
  EXPECT_EQ(1, Database().Core().SQLDialect());
  const auto prepares = fbdouble::CallsTo(Double().Calls(), "isc_dsql_prepare");
  ASSERT_EQ(1u, prepares.size());
  EXPECT_EQ("1", Arg(prepares[0], "dialect"));
}

TEST_F(ConnectionCalls, AnOldOnDiskStructureSkipsTheParameterOrderTest) {
  Double().QueueReply("isc_database_info", ServerInfo(9, 1));
  Database().Connect();
  EXPECT_EQ((std::vector<std::string>{"isc_attach_database", "isc_database_info"}), ServerEntries());
}

TEST_F(ConnectionCalls, ARefusedDetachIsNotReported) {
  Database().Connect();
  int errors = 0;
  Database().OnError = [&](TIB_Component*, long, const TextLines&, const TextLines&, long, const TextLines&,
                           const TextLines&, bool&) { ++errors; };
  Double().Fail("isc_detach_database", {1, 335544721, 2, fbdouble::Arg("h"), 0});
  EXPECT_NO_THROW(Database().Disconnect());
  EXPECT_FALSE(Database().Connected());
  EXPECT_EQ(0, errors);
  EXPECT_EQ(0, Database().IB_Session().LastResult());
}

}  // namespace
}  // namespace db
