// The connection against the private server through the real client library.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <thread>

#include "ConnectionCore.h"
#include "Errors.h"
#include "TIBODatabase.h"
#include "platform/Cp1252.h"
#include "tests/db/ServerTestSupport.h"
#include "tests/db/TestSystem.h"

namespace db {
namespace {

using testsupport::FirebirdServer;

constexpr long kLoginFailed = 335544472;   // isc_login
constexpr long kNetworkError = 335544721;  // isc_network_error

std::string FixtureLocation(const std::string& name) {
  FirebirdServer& server = FirebirdServer::Shared();
  return server.Location(testsupport::CreateAppDatabase(server, name));
}

// Points a connection at a new fixture database with the test server's login.
void UseNewFixture(TIB_Connection& connection, const std::string& name) {
  testing::UseTestServerLogin(connection);
  connection.SetDatabaseName(FixtureLocation(name));
}

// A loopback location on which nothing listens.
std::string ClosedPortLocation() {
  return "127.0.0.1/" + std::to_string(testsupport::FreeLoopbackPort()) + ":/nowhere.fdb";
}

// Adds the names of the disconnect events to events as they fire.
void RecordDisconnects(TIBODatabase& database, std::vector<std::string>& events) {
  database.Core().BeforeDisconnect = [&events](TIB_Connection*) { events.push_back("BeforeDisconnect"); };
  database.Core().AfterDisconnect = [&events](TIB_Connection*) { events.push_back("AfterDisconnect"); };
}

TEST(ConnectionServer, AttachesReadsCharacteristicsAndDetaches) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  UseNewFixture(database, "db_attach");
  std::vector<std::string> events;
  database.Core().BeforeConnect = [&](TIB_Connection*) { events.push_back("BeforeConnect"); };
  database.Core().OnConnectedChanged = [&](TIB_Connection* sender) {
    events.push_back(sender->Connected() ? "Changed:on" : "Changed:off");
  };
  database.AfterConnect = [&](TIB_Connection*) { events.push_back("AfterConnect"); };
  RecordDisconnects(database, events);

  database.Connect();
  ASSERT_TRUE(database.Connected());
  const TIB_ConnectCharacteristics& info = database.Core().Characteristics();
  EXPECT_EQ(12, info.odsMajorVersion);  // Firebird 3
  EXPECT_EQ(1, info.dbSQLDialect);
  EXPECT_EQ(8192, info.pageSize);
  EXPECT_EQ(0, info.dbReadOnly);
  EXPECT_EQ(0u, info.firebirdVersion.rfind("LI-V3.", 0)) << info.firebirdVersion;
  EXPECT_EQ("LI", info.fbPlatform);
  EXPECT_EQ("V", info.fbVersionKind);
  EXPECT_EQ(3, info.fbMajor);
  EXPECT_GT(info.fbBuild, 0);
  EXPECT_NE(std::string::npos, info.fbServerName.find("Firebird")) << info.fbServerName;
  EXPECT_EQ(1, database.Core().SQLDialect());

  database.Disconnect();
  EXPECT_FALSE(database.Connected());
  EXPECT_EQ((std::vector<std::string>{"BeforeConnect", "Changed:on", "AfterConnect", "BeforeDisconnect",
                                      "Changed:off", "AfterDisconnect"}),
            events);
  database.Disconnect();  // nothing happens on a detached connection
  EXPECT_EQ(6u, events.size());
}

TEST(ConnectionServer, ParameterWritersRefuseWhileAttached) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  UseNewFixture(database, "db_guard");
  database.Connect();
  ASSERT_TRUE(database.Connected());
  const std::string text = "N\xE3o \xE9 poss\xEDvel alterar enquanto estiver conectado";
  const std::vector<std::function<void()>> writers = {
      [&] { database.SetUsername("OTHER"); },
      [&] { database.SetPassword("x"); },
      [&] { database.Core().SetServer("other"); },
      [&] { database.Core().SetPath("/other.fdb"); },
      [&] { database.Core().SetSQLRole("R"); },
      [&] { database.Core().SetCharSet("UTF8"); },
      [&] { database.Core().SetProtocol(TIB_Protocol::cpLocal); },
      [&] { database.Core().SetForcedWrites(TIB_DPBFlag::dpbFalse); },
      [&] { database.Core().SetReservePageSpace(TIB_DPBFlag::dpbFalse); },
      [&] { database.Core().SetDBKeyScope(TIB_DPBFlag::dpbTrue); },
      [&] { database.SetDatabaseName("srv:/moved.fdb"); },
  };
  for (std::size_t i = 0; i < writers.size(); ++i) {
    try {
      writers[i]();
      ADD_FAILURE() << "writer " << i << " was accepted";
    } catch (const EIB_ConnectionError& error) {
      EXPECT_EQ(text, error.Message()) << i;
    }
  }
  // The dialect line only changes its line.
  EXPECT_NO_THROW(database.Core().SetSQLDialect(3));
  EXPECT_EQ(1, database.Core().SQLDialect());  // attached: the database's own dialect
  database.Disconnect();
  EXPECT_EQ(3, database.Core().SQLDialect());
}

TEST(ConnectionServer, AWrongPasswordReachesOnErrorAndAClearedErrorLeavesItDisconnected) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  database.SetUsername(FirebirdServer::kUser);
  database.SetPassword("wrong-password");
  database.SetDatabaseName(FixtureLocation("db_wrong_password"));
  int errors = 0;
  long code = 0;
  int afterConnect = 0;
  database.AfterConnect = [&](TIB_Connection*) { ++afterConnect; };
  database.OnError = [&](TIB_Component* sender, long errCode, const TextLines& message, const TextLines&,
                         long, const TextLines&, const TextLines& sql, bool& raise) {
    ++errors;
    code = errCode;
    EXPECT_EQ(&database, sender);
    EXPECT_TRUE(raise);
    EXPECT_EQ("ISC ERROR CODE:" + std::to_string(errCode), message.at(0));
    EXPECT_TRUE(sql.empty());
    raise = false;
  };
  EXPECT_NO_THROW(database.Connect());
  EXPECT_EQ(1, errors);
  EXPECT_EQ(kLoginFailed, code);
  EXPECT_FALSE(database.Connected());
  EXPECT_EQ(0, afterConnect);

  // Without a handler the failure is raised with its code and lists.
  database.OnError = nullptr;
  try {
    database.Connect();
    FAIL();
  } catch (const EIB_ISCError& error) {
    EXPECT_EQ(kLoginFailed, error.ERRCODE());
    EXPECT_EQ(&database, error.Sender());
    EXPECT_GE(error.ErrorMessage().size(), 4u);
    EXPECT_NE(std::string::npos, error.Message().find("ISC ERROR CODE:335544472"));
    EXPECT_LE(error.Message().size(), 255u);
  }
  EXPECT_FALSE(database.Connected());
}

TEST(ConnectionServer, AHandlerRetriesFromInsideTheFailingConnectAndAfterConnectRunsOnce) {
  testing::SettingsFixture fixture("db_retry_settings");
  fixture.ReadSettingsOnConnect();
  TIBODatabase& database = fixture.source.IBODatabase;
  database.SetDatabaseName(ClosedPortLocation());
  int attempt = 1;
  int depth = 0;
  int deepest = 0;
  std::vector<long> codes;
  database.OnError = [&](TIB_Component*, long errCode, const TextLines&, const TextLines&, long,
                         const TextLines&, const TextLines&, bool& raise) {
    raise = false;
    codes.push_back(errCode);
    if (errCode != kNetworkError && errCode != 335544375 && errCode != 335544704) return;
    ++attempt;
    ++depth;
    deepest = std::max(deepest, depth);
    // The server "comes up" before the fourth attempt.
    if (attempt == 4) database.SetDatabaseName(fixture.location);
    database.Open();
    --depth;
  };
  database.Connect();
  EXPECT_EQ((std::vector<long>{kNetworkError, kNetworkError, kNetworkError}), codes);
  EXPECT_EQ(3, deepest);
  EXPECT_EQ(1, fixture.afterConnectCalls);
  EXPECT_FALSE(database.Connected());
  EXPECT_EQ("08:00", fixture.values.time1);
  EXPECT_EQ(7, fixture.values.days);
}

struct NotAStandardException {
  int code;
};

TEST(ConnectionServer, AnythingThrownFromTheHandlerUnwindsCleanlyThroughConnect) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  database.SetUsername(FirebirdServer::kUser);
  database.SetPassword("wrong-password");
  const std::string location = FixtureLocation("db_throwing_handler");
  database.SetDatabaseName(location);
  database.OnError = [](TIB_Component*, long errCode, const TextLines&, const TextLines&, long,
                        const TextLines&, const TextLines&,
                        bool&) { throw NotAStandardException{static_cast<int>(errCode)}; };
  try {
    database.Connect();
    FAIL();
  } catch (const NotAStandardException& thrown) {
    EXPECT_EQ(kLoginFailed, thrown.code);
  }
  EXPECT_FALSE(database.Connected());
  // Nothing stayed locked: the next attempt attaches, from this thread and from another one.
  database.OnError = nullptr;
  database.SetPassword(FirebirdServer::kPassword);
  database.Connect();
  EXPECT_TRUE(database.Connected());
  bool otherThreadAttached = false;
  std::thread other([&] {
    TIBODatabase second(testing::Machine(), "Second");
    testing::UseTestServerLogin(second);
    second.SetDatabaseName(location);
    second.Connect();
    otherThreadAttached = second.Connected();
  });
  other.join();
  EXPECT_TRUE(otherThreadAttached);
  database.Disconnect();
}

TEST(ConnectionServer, AnErrorFromBeforeConnectLeavesItDisconnected) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  UseNewFixture(database, "db_before_connect");
  database.Core().BeforeConnect = [](TIB_Connection*) { throw std::runtime_error("no"); };
  EXPECT_THROW(database.Connect(), std::runtime_error);
}

TEST(ConnectionServer, AnExceptionFromAfterConnectLeavesTheConnectionAttached) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  UseNewFixture(database, "db_after_connect_throws");
  database.AfterConnect = [](TIB_Connection*) { throw std::logic_error("settings failed"); };
  EXPECT_THROW(database.Connect(), std::logic_error);
  EXPECT_TRUE(database.Connected());
  database.AfterConnect = nullptr;
  database.Disconnect();
  EXPECT_FALSE(database.Connected());
}

TEST(ConnectionServer, DropDatabaseDeletesTheAttachedDatabaseOnlyWhenNoOneElseHoldsIt) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto path = testsupport::CreateAppDatabase(server, "db_drop");
  TIBODatabase database(testing::Machine(), "IBODatabase");
  testing::UseTestServerLogin(database);
  database.SetDatabaseName(server.Location(path));
  try {
    database.DropDatabase();
    FAIL() << "a drop without an attachment";
  } catch (const EIB_ConnectionError& error) {
    EXPECT_EQ(cp1252::ToUtf8(error.Message()),
              "Não é possível remover um banco de dados sem estar conectado a ele");
  }

  // Another attachment holds the database: the server refuses, and this attachment stays usable.
  TIBODatabase other(testing::Machine(), "Other");
  testing::UseTestServerLogin(other);
  other.SetDatabaseName(server.Location(path));
  other.Connect();
  database.Connect();
  EXPECT_THROW(database.DropDatabase(), EIB_ISCError);
  EXPECT_TRUE(database.Connected());
  EXPECT_TRUE(std::filesystem::exists(path));
  other.Disconnect();

  std::vector<std::string> events;
  RecordDisconnects(database, events);
  database.DropDatabase();
  EXPECT_FALSE(database.Connected());
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeDisconnect", "AfterDisconnect"}));
  EXPECT_FALSE(std::filesystem::exists(path));
}

}  // namespace
}  // namespace db
