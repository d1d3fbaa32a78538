#include <gtest/gtest.h>

#include "ConnectionCore.h"
#include "Errors.h"
#include "TIBODatabase.h"
#include "TIB_Transaction.h"
#include "tests/db/RaisedMessage.h"
#include "tests/db/TestSystem.h"

namespace db {
namespace {

TEST(DatabaseName, ALocationSplitsIntoServerPathAndProtocolAndComposesBack) {
  struct Case {
    const char* location;
    const char* server;
    const char* path;
    TIB_Protocol protocol;
  };
  const Case cases[] = {
      {"srv:C:\\base\\db.fdb", "srv", "C:\\base\\db.fdb", TIB_Protocol::cpTCP_IP},
      {"\\\\srv\\share\\db.fdb", "srv", "share\\db.fdb", TIB_Protocol::cpNetBEUI},
      {"srv@vol:db", "srv", "vol:db", TIB_Protocol::cpNovell},  // only the first @ splits
      {"localhost/3051:/var/db/app.fdb", "localhost/3051", "/var/db/app.fdb", TIB_Protocol::cpTCP_IP},
  };
  for (const Case& c : cases) {
    TIB_Connection connection(testing::Machine());
    connection.SetDatabaseName(c.location);
    EXPECT_EQ(c.server, connection.Core().Server()) << c.location;
    EXPECT_EQ(c.path, connection.Core().Path()) << c.location;
    EXPECT_EQ(c.protocol, connection.Core().Protocol()) << c.location;
    EXPECT_EQ(c.location, connection.DatabaseName());
  }
}

TEST(DatabaseName, DriveLetterPathIsLocalAndLeavesTheServerLineUnused) {
  TIB_Connection connection(testing::Machine());
  connection.Core().SetServer("old");
  connection.Core().SetProtocol(TIB_Protocol::cpTCP_IP);
  connection.SetDatabaseName("C:\\base\\db.fdb");
  EXPECT_EQ(TIB_Protocol::cpLocal, connection.Core().Protocol());
  EXPECT_EQ("C:\\base\\db.fdb", connection.Core().Path());
  EXPECT_EQ("old", connection.Core().Server());
  EXPECT_FALSE(connection.Core().Params().Has("PROTOCOL"));
  EXPECT_EQ("C:\\base\\db.fdb", connection.DatabaseName());
}

TEST(DatabaseName, ServerColonPathIsTheConnectStringOfTheAttach) {
  TIB_Connection connection(testing::Machine());
  connection.SetDatabaseName("srv:C:\\base\\db.fdb");
  EXPECT_EQ("srv:C:\\base\\db.fdb", connection.Core().ResolveAttachParameters().connectString);
}

TEST(DatabaseName, PlainWordIsKeptAsANameAndTheStoredLinesStayInForce) {
  TIB_Connection connection(testing::Machine());
  connection.Core().SetServer("dbhost");
  connection.Core().SetPath("/data/app.fdb");
  connection.Core().SetProtocol(TIB_Protocol::cpTCP_IP);
  connection.SetDatabaseName("BASE");
  EXPECT_EQ("BASE", connection.DatabaseName());
  EXPECT_EQ("dbhost", connection.Core().Server());
  EXPECT_EQ("dbhost:/data/app.fdb", connection.Core().ResolveAttachParameters().connectString);
}

TEST(DatabaseName, ANameAlreadyUsedInTheSessionGetsTheFirstFreeNumber) {
  TIB_Connection first(testing::Machine());
  TIB_Connection second(testing::Machine());
  TIB_Connection third(testing::Machine());
  first.SetDatabaseName("BASE");
  second.SetDatabaseName("BASE");
  third.SetDatabaseName("BASE");
  EXPECT_EQ("BASE", first.DatabaseName());
  EXPECT_EQ("BASE_1", second.DatabaseName());
  EXPECT_EQ("BASE_2", third.DatabaseName());
}

TEST(DatabaseName, TwoWordsOrALeadingDigitAreRefusedBeforeAnyConnect) {
  TIB_Connection connection(testing::Machine());
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
  TIB_Connection connection(testing::Machine());
  connection.SetDatabaseName("BASE");
  connection.SetDatabaseName("srv:/x.fdb");
  EXPECT_EQ("srv:/x.fdb", connection.DatabaseName());
}

TEST(Connection, DialectWhileDetachedFollowsTheSqlDialectLine) {
  TIB_Connection connection(testing::Machine());
  EXPECT_EQ(3, connection.Core().SQLDialect());
  connection.Core().SetSQLDialect(1);
  EXPECT_EQ(1, connection.Core().SQLDialect());
  connection.Core().SetSQLDialect(0);
  EXPECT_EQ(1, connection.Core().SQLDialect());
  connection.Core().SetSQLDialect(-4);
  EXPECT_EQ(1, connection.Core().SQLDialect());
}

TEST(Connection, CharacteristicsAreRefusedWhileDetached) {
  TIB_Connection connection(testing::Machine());
  EXPECT_EQ("N\xE3o foi poss\xEDvel obter as caracter\xEDsticas da conex\xE3o",
            testing::MessageRaised<EIB_ConnectionError>([&] { connection.Core().Characteristics(); }));
}

TEST(Connection, OlderRoleLinesMoveToRoleName) {
  TIB_Connection connection(testing::Machine());
  connection.Core().Params().Set("SQL ROLE NAME", "AUDITOR");
  EXPECT_EQ("AUDITOR", connection.Core().SQLRole());
  EXPECT_FALSE(connection.Core().Params().Has("SQL ROLE NAME"));
  EXPECT_EQ("AUDITOR", connection.Core().Params().Value("ROLE NAME"));
}

TEST(Database, TheInternalDefaultTransactionCannotBeReplaced) {
  TIBODatabase database(testing::Machine(), "IBODatabase");
  TIB_Transaction other;
  EXPECT_EQ(
      "N\xE3o \xE9 poss\xEDvel substituir a transa\xE7\xE3o interna como padr\xE3o",
      testing::MessageRaised<EIB_ConnectionError>([&] { database.Core().SetDefaultTransaction(&other); }));
  EXPECT_EQ(&database.OwnDefaultTransaction(), database.Core().DefaultTransaction());
  // The schema cache's internal transaction joined first, the default transaction second.
  ASSERT_EQ(2u, database.Core().Transactions().size());
  EXPECT_EQ(&database.OwnDefaultTransaction(), database.Core().Transactions()[1]);
  EXPECT_EQ(PasswordStorageMode::psNotSecure, database.Core().PasswordStorage());
}

}  // namespace
}  // namespace db
