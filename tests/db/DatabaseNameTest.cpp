#include <gtest/gtest.h>

#include "db/Errors.h"
#include "db/TIBODatabase.h"

namespace db {
namespace {

struct Parsed {
  std::string server;
  std::string path;
  TIB_Protocol protocol;
};

Parsed ParseInto(TIB_Connection& connection, const std::string& location) {
  connection.SetDatabaseName(location);
  return {connection.Server(), connection.Path(), connection.Protocol()};
}

TEST(DatabaseName, ServerColonPathIsTcpAndComposesBackToTheSameConnectString) {
  TIB_Connection connection;
  const Parsed parsed = ParseInto(connection, "srv:C:\\base\\db.fdb");
  EXPECT_EQ("srv", parsed.server);
  EXPECT_EQ("C:\\base\\db.fdb", parsed.path);
  EXPECT_EQ(TIB_Protocol::cpTCP_IP, parsed.protocol);
  EXPECT_EQ("srv:C:\\base\\db.fdb", connection.DatabaseName());
  EXPECT_EQ("srv:C:\\base\\db.fdb", connection.ResolveAttachParameters().connectString);
}

TEST(DatabaseName, DriveLetterPathIsLocalAndLeavesTheServerLineUnused) {
  TIB_Connection connection;
  connection.SetServer("old");
  connection.SetProtocol(TIB_Protocol::cpTCP_IP);
  const Parsed parsed = ParseInto(connection, "C:\\base\\db.fdb");
  EXPECT_EQ(TIB_Protocol::cpLocal, parsed.protocol);
  EXPECT_EQ("C:\\base\\db.fdb", parsed.path);
  EXPECT_EQ("old", parsed.server);
  EXPECT_FALSE(connection.Params().Has("PROTOCOL"));
  EXPECT_EQ("C:\\base\\db.fdb", connection.DatabaseName());
}

TEST(DatabaseName, UncNameIsNetBeuiAndComposesBack) {
  TIB_Connection connection;
  const Parsed parsed = ParseInto(connection, "\\\\srv\\share\\db.fdb");
  EXPECT_EQ("srv", parsed.server);
  EXPECT_EQ("share\\db.fdb", parsed.path);
  EXPECT_EQ(TIB_Protocol::cpNetBEUI, parsed.protocol);
  EXPECT_EQ("\\\\srv\\share\\db.fdb", connection.DatabaseName());
}

TEST(DatabaseName, AtSignIsNovellAndOnlyTheFirstAtSplits) {
  TIB_Connection connection;
  const Parsed parsed = ParseInto(connection, "srv@vol:db");
  EXPECT_EQ("srv", parsed.server);
  EXPECT_EQ("vol:db", parsed.path);
  EXPECT_EQ(TIB_Protocol::cpNovell, parsed.protocol);
  EXPECT_EQ("srv@vol:db", connection.DatabaseName());
}

TEST(DatabaseName, LoopbackLocationWithPortSplitsAtTheFirstColon) {
  TIB_Connection connection;
  const Parsed parsed = ParseInto(connection, "localhost/3051:/var/db/app.fdb");
  EXPECT_EQ("localhost/3051", parsed.server);
  EXPECT_EQ("/var/db/app.fdb", parsed.path);
  EXPECT_EQ(TIB_Protocol::cpTCP_IP, parsed.protocol);
}

TEST(DatabaseName, PlainWordIsKeptAsANameAndTheStoredLinesStayInForce) {
  TIB_Connection connection;
  connection.SetServer("dbhost");
  connection.SetPath("/data/app.fdb");
  connection.SetProtocol(TIB_Protocol::cpTCP_IP);
  connection.SetDatabaseName("BASE");
  EXPECT_EQ("BASE", connection.DatabaseName());
  EXPECT_EQ("dbhost", connection.Server());
  EXPECT_EQ("dbhost:/data/app.fdb", connection.ResolveAttachParameters().connectString);
}

TEST(DatabaseName, ANameAlreadyUsedInTheSessionGetsTheFirstFreeNumber) {
  TIB_Connection first;
  TIB_Connection second;
  TIB_Connection third;
  first.SetDatabaseName("BASE");
  second.SetDatabaseName("BASE");
  third.SetDatabaseName("BASE");
  EXPECT_EQ("BASE", first.DatabaseName());
  EXPECT_EQ("BASE_1", second.DatabaseName());
  EXPECT_EQ("BASE_2", third.DatabaseName());
}

TEST(DatabaseName, TwoWordsOrALeadingDigitAreRefusedBeforeAnyConnect) {
  TIB_Connection connection;
  for (const std::string text : {"two words", "1BASE", "BA-SE"}) {
    try {
      connection.SetDatabaseName(text);
      FAIL() << text << " was accepted";
    } catch (const EIB_ConnectionError& error) {
      EXPECT_EQ("O valor da propriedade DatabaseName \xE9 inv\xE1lido", error.Message()) << text;
      EXPECT_EQ(&connection, error.Sender());
    }
  }
  EXPECT_FALSE(connection.Connected());
  EXPECT_NO_THROW(connection.SetDatabaseName("_Base_2"));
}

TEST(DatabaseName, ALocationReplacesAKeptName) {
  TIB_Connection connection;
  connection.SetDatabaseName("BASE");
  connection.SetDatabaseName("srv:/x.fdb");
  EXPECT_EQ("srv:/x.fdb", connection.DatabaseName());
}

TEST(Connection, DialectWhileDetachedFollowsTheSqlDialectLine) {
  TIB_Connection connection;
  EXPECT_EQ(3, connection.SQLDialect());
  connection.SetSQLDialect(1);
  EXPECT_EQ(1, connection.SQLDialect());
  connection.SetSQLDialect(0);
  EXPECT_EQ(1, connection.SQLDialect());
  connection.SetSQLDialect(-4);
  EXPECT_EQ(1, connection.SQLDialect());
}

TEST(Connection, CharacteristicsAreRefusedWhileDetached) {
  TIB_Connection connection;
  try {
    connection.Characteristics();
    FAIL();
  } catch (const EIB_ConnectionError& error) {
    EXPECT_EQ("N\xE3o foi poss\xEDvel obter as caracter\xEDsticas da conex\xE3o", error.Message());
  }
}

TEST(Connection, OlderRoleLinesMoveToRoleName) {
  TIB_Connection connection;
  connection.Params().Set("SQL ROLE NAME", "AUDITOR");
  EXPECT_EQ("AUDITOR", connection.SQLRole());
  EXPECT_FALSE(connection.Params().Has("SQL ROLE NAME"));
  EXPECT_EQ("AUDITOR", connection.Params().Value("ROLE NAME"));
}

TEST(Database, TheInternalDefaultTransactionCannotBeReplaced) {
  TIBODatabase database("IBODatabase");
  TIB_Transaction other;
  try {
    database.SetDefaultTransaction(&other);
    FAIL();
  } catch (const EIB_ConnectionError& error) {
    EXPECT_EQ("N\xE3o \xE9 poss\xEDvel substituir a transa\xE7\xE3o interna como padr\xE3o", error.Message());
  }
  EXPECT_EQ(&database.OwnDefaultTransaction(), database.DefaultTransaction());
  // The schema cache's internal transaction joined first, the default transaction second.
  ASSERT_EQ(2u, database.Transactions().size());
  EXPECT_EQ(&database.OwnDefaultTransaction(), database.Transactions()[1]);
  EXPECT_EQ(TIB_PasswordStorage::psNotSecure, database.PasswordStorage());
}

}  // namespace
}  // namespace db
