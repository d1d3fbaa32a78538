// The settings query against fixture databases through the real client library.

#include <gtest/gtest.h>
#include <ibase.h>

#include "Errors.h"
#include "TIBOInternalDataset.h"
#include "TIB_Statement.h"
#include "TIB_Transaction.h"
#include "platform/Cp1252.h"
#include "tests/db/RaisedMessage.h"
#include "tests/db/ServerTestSupport.h"
#include "tests/db/TestSystem.h"

namespace db {
namespace {

using testing::SettingsFixture;
using testsupport::AppDatabaseOptions;
using testsupport::SettingsRow;

TEST(SettingsQuery, ReadsTheSixValuesOfTheRowAndDisconnects) {
  AppDatabaseOptions options;
  options.row = SettingsRow{"08:00", "12:30", "18:00", "23:59", "/backup/copy", 15};
  SettingsFixture fixture("q_values", options);
  fixture.ReadSettingsOnConnect();
  fixture.source.IBODatabase.Connect();
  EXPECT_EQ(1, fixture.afterConnectCalls);
  EXPECT_FALSE(fixture.source.IBODatabase.Connected());
  EXPECT_EQ("08:00", fixture.values.time1);
  EXPECT_EQ("12:30", fixture.values.time2);
  EXPECT_EQ("18:00", fixture.values.time3);
  EXPECT_EQ("23:59", fixture.values.time4);
  EXPECT_EQ("/backup/copy", fixture.values.copyFolder);
  EXPECT_EQ(15, fixture.values.days);
  EXPECT_FALSE(fixture.source.tblBackup.Active());
  EXPECT_FALSE(fixture.source.IBOTransaction.Started());
}

TEST(SettingsQuery, ATableWithoutPrimaryKeySelectsTheRowKeyToo) {
  AppDatabaseOptions options;
  options.primaryKey = false;
  SettingsFixture fixture("q_no_key", options);
  TIBOQuery& query = fixture.source.tblBackup;
  fixture.source.IBODatabase.AfterConnect = [&](TIB_Connection*) {
    query.Open();
    EXPECT_EQ("SELECT SIS_BACKUP.*\r\n     , SIS_BACKUP.RDB$DB_KEY FROM SIS_BACKUP",
              query.InternalDataset().ServerSQL());
    EXPECT_EQ("08:00", query.FieldByName("HR_BACKUP_1").AsString());
    query.Close();
    query.Open();
    EXPECT_EQ(7, query.FieldByName("NR_DIAS").AsInteger());
    query.Close();
  };
  fixture.source.IBODatabase.Connect();
  fixture.source.IBODatabase.Disconnect();
}

TEST(SettingsQuery, AnEmptyTableOrNullsReadAsEmptyTextsAndZero) {
  struct Case {
    const char* database;
    std::optional<SettingsRow> row;
    const char* time2;
  };
  const Case cases[] = {
      {"q_empty", std::nullopt, ""},
      {"q_nulls", SettingsRow{std::nullopt, "10:00", std::nullopt, std::nullopt, std::nullopt, std::nullopt},
       "10:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.database);
    AppDatabaseOptions options;
    options.row = c.row;
    SettingsFixture fixture(c.database, options);
    fixture.ReadSettingsOnConnect();
    fixture.source.IBODatabase.Connect();
    EXPECT_EQ(1, fixture.afterConnectCalls);
    EXPECT_EQ("", fixture.values.time1);
    EXPECT_EQ(c.time2, fixture.values.time2);
    EXPECT_EQ("", fixture.values.copyFolder);
    EXPECT_EQ(0, fixture.values.days);
  }
}

TEST(SettingsQuery, FixedTextLosesItsTrailingBlankVariableTextKeepsIt) {
  AppDatabaseOptions fixed;
  fixed.charTimes = true;
  fixed.row = SettingsRow{"8:00", "8:00 ", std::nullopt, std::nullopt, "C:\\copia ", 3};
  SettingsFixture charFixture("q_char_times", fixed);
  charFixture.ReadSettingsOnConnect();
  charFixture.source.IBODatabase.Connect();
  EXPECT_EQ("8:00", charFixture.values.time1);
  EXPECT_EQ("8:00", charFixture.values.time2);
  EXPECT_EQ("C:\\copia ", charFixture.values.copyFolder);  // VARCHAR keeps its blank

  AppDatabaseOptions variable;
  variable.row = SettingsRow{"8:00 ", "8:00", std::nullopt, std::nullopt, std::nullopt, 3};
  SettingsFixture varFixture("q_varchar_times", variable);
  varFixture.ReadSettingsOnConnect();
  varFixture.source.IBODatabase.Connect();
  EXPECT_EQ("8:00 ", varFixture.values.time1);
  EXPECT_EQ("8:00", varFixture.values.time2);
}

TEST(SettingsQuery, ACopyFolderLongerThanTheDeclaredSizeIsReadWhole) {
  AppDatabaseOptions options;
  options.copyFolderType = "VARCHAR(300)";
  const std::string longFolder = "/backup/" + std::string(280, 'p') + "/fim";
  options.row = SettingsRow{"08:00", std::nullopt, std::nullopt, std::nullopt, longFolder, 1};
  SettingsFixture fixture("q_long_folder", options);
  fixture.ReadSettingsOnConnect();
  fixture.source.IBODatabase.Connect();
  EXPECT_EQ(longFolder, fixture.values.copyFolder);
}

TEST(SettingsQuery, CodePage1252TextWrittenByAStatementComesBackAsItsBytes) {
  SettingsFixture fixture("q_cp1252");
  const std::string folder = "C:\\C\xF3pias a\xE7\xE3o";
  {
    // An update with a parameter: a statement whose kind the server is asked for.
    TIB_Statement update("update");
    update.SetIB_Connection(&fixture.source.IBODatabase.Core());
    update.SetIB_Transaction(&fixture.source.IBOTransaction);
    update.SetSQL({"UPDATE SIS_BACKUP", "SET TX_DIR_HDD = :FOLDER"});
    update.Prepare();
    EXPECT_EQ(isc_info_sql_stmt_update, update.StatementType());
    ASSERT_EQ(1u, update.Params().size());
    update.SetParamText(0, folder);
    update.Execute();
    EXPECT_FALSE(update.CursorOpen());
    fixture.source.IBOTransaction.Commit();
    EXPECT_FALSE(fixture.source.IBOTransaction.Started());
  }
  fixture.ReadSettingsOnConnect();
  fixture.source.IBODatabase.Disconnect();
  fixture.source.IBODatabase.Connect();
  EXPECT_EQ(folder, fixture.values.copyFolder);
}

TEST(SettingsQuery, AMissingColumnFailsOpenWithTheFieldNotFoundMessage) {
  AppDatabaseOptions options;
  options.omitColumn = "TX_FTP_SENHA";
  SettingsFixture fixture("q_missing_column", options);
  fixture.ReadSettingsOnConnect();
  EXPECT_EQ("tblBackup: Field 'TX_FTP_SENHA' not found",
            testing::MessageRaised<EDatabaseError>([&] { fixture.source.IBODatabase.Connect(); }));
  // The query stays closed, the transaction started and the connection attached.
  EXPECT_FALSE(fixture.source.tblBackup.Active());
  EXPECT_TRUE(fixture.source.IBOTransaction.Started());
  EXPECT_TRUE(fixture.source.IBODatabase.Connected());
  EXPECT_EQ("", fixture.values.time1);
  fixture.source.IBODatabase.Disconnect();
  EXPECT_FALSE(fixture.source.IBOTransaction.Started());
}

TEST(SettingsQuery, AColumnOfTheWrongTypeFailsOpenWithTheTypeMismatchMessage) {
  AppDatabaseOptions options;
  options.copyFolderType = "INTEGER";
  options.row = SettingsRow{"08:00", std::nullopt, std::nullopt, std::nullopt, std::nullopt, 1};
  SettingsFixture fixture("q_type_mismatch", options);
  fixture.ReadSettingsOnConnect();
  EXPECT_EQ("tblBackup: Type mismatch for field 'TX_DIR_HDD', expecting: String actual: Integer",
            testing::MessageRaised<EDatabaseError>([&] { fixture.source.IBODatabase.Connect(); }));
  EXPECT_FALSE(fixture.source.tblBackup.Active());
  fixture.source.IBODatabase.Disconnect();
}

TEST(SettingsQuery, AMissingTableIsReportedByTheServer) {
  testsupport::FirebirdServer& server = testsupport::FirebirdServer::Shared();
  std::string output;
  const auto path = server.DataDir() / "q_no_table.fdb";
  std::filesystem::remove(path);
  ASSERT_EQ(0, server.RunIsql("SET SQL DIALECT 1;\nCREATE DATABASE '" + server.Location(path) +
                                  "' USER 'SYSDBA' PASSWORD 'tidewater' DEFAULT CHARACTER SET WIN1252;\n",
                              &output))
      << output;
  BackupSettingsSource source{testing::Machine()};
  source.IBODatabase.SetPassword(testsupport::FirebirdServer::kPassword);
  source.IBODatabase.SetDatabaseName(server.Location(path));
  source.IBODatabase.Connect();
  try {
    source.tblBackup.Open();
    FAIL();
  } catch (const EIB_ISCError& error) {
    EXPECT_EQ(&source.tblBackup.InternalDataset(), error.Sender());
    EXPECT_EQ(-204, error.SQLCODE());
  }
  EXPECT_FALSE(source.tblBackup.Active());
  source.IBODatabase.Disconnect();
}

}  // namespace
}  // namespace db
