// The application database as the program's core sees it, against the private server.

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <map>

#include "db/ApplicationDatabase.h"
#include "tests/db/TestSystem.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace {

// Hears every attempt, and makes another one until the given number have failed.
struct RecordingAttempts : core::SettingsSource::Attempts {
  void Attached(const std::string& databaseName) override { attached.push_back(databaseName); }
  bool AttemptFailed(const core::AttachError& error) override {
    failures.push_back(error);
    return static_cast<int>(failures.size()) <= retries;
  }
  int retries = 0;
  std::vector<std::string> attached;
  std::vector<core::AttachError> failures;
};

TEST(ApplicationDatabase, TheRowOrWhyNotAsThePortTellsIt) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions lacking;
  lacking.omitColumn = "TX_FTP_SENHA";
  struct Case {
    std::string location;
    std::string password;
    bool read;
    std::optional<core::AttachFailure> failure;
    std::string text;  // the start of the server's first line, or of the error
  };
  const Case cases[] = {
      {server.Location(CreateAppDatabase(server, "ADB_ROW", FullRowOptions())), "", true, std::nullopt, ""},
      {server.Location(CreateAppDatabase(server, "ADB_COLUMN", lacking)), "", false, std::nullopt,
       "tblBackup: Field 'TX_FTP_SENHA' not found"},
      {server.Location(CreateAppDatabase(server, "ADB_LOGIN")), "wrong password", false,
       core::AttachFailure::LoginRefused, "Your user name and password are not defined."},
      {"localhost/" + std::to_string(FreeLoopbackPort()) + ":/nowhere/app.fdb", "", false,
       core::AttachFailure::ServerUnreachable, "Unable to complete network request to host"},
      {server.Location(server.DataDir() / "NONE.FDB"), "", false, core::AttachFailure::Other,
       "I/O error during \"open\" operation for file"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    db::ApplicationDatabase database(db::testing::Machine());
    core::LoginChoice login;
    if (!c.password.empty()) login = core::ServerLogin{"SYSDBA", core::SecretText(c.password)};
    RecordingAttempts attempts;
    std::optional<core::SettingsRow> row;
    std::string error;
    try {
      row = database.ReadRow(c.location, login, attempts);
    } catch (const std::exception& thrown) {
      error = thrown.what();
    }
    EXPECT_EQ(row.has_value(), c.read);
    if (c.read) {
      EXPECT_EQ(row->scheduleTimes, (std::array<std::string, 4>{"08:00", "12:00", "18:30", ""}));
      EXPECT_EQ(row->copyFolder, "/mnt/c\xF3pia/") << "code page 1252, as the row holds it";
      EXPECT_EQ(row->retentionDays, 12);
      EXPECT_EQ(attempts.attached, std::vector<std::string>{c.location});
      EXPECT_EQ(row->databaseBytes, database.DatabaseBytes(c.location, login)) << "as the probe measures it";
    }
    if (c.failure) {
      ASSERT_EQ(attempts.failures.size(), 1u) << error;
      EXPECT_EQ(attempts.failures[0].failure, *c.failure);
      ASSERT_FALSE(attempts.failures[0].serverLines.empty());
      EXPECT_TRUE(attempts.failures[0].serverLines[0].starts_with(c.text))
          << attempts.failures[0].serverLines[0];
      EXPECT_TRUE(attempts.attached.empty());
    } else if (!c.read) {
      EXPECT_TRUE(error.starts_with(c.text)) << error;
    }
  }
}

TEST(ApplicationDatabase, AnotherAttemptRunsInsideTheFailedOneAndTheNextReadingStartsAfresh) {
  FirebirdServer& server = FirebirdServer::Shared();
  db::ApplicationDatabase database(db::testing::Machine());
  RecordingAttempts attempts;
  attempts.retries = 2;
  const std::string closed = "localhost/" + std::to_string(FreeLoopbackPort()) + ":/nowhere/app.fdb";
  EXPECT_FALSE(database.ReadRow(closed, std::nullopt, attempts).has_value());
  EXPECT_EQ(attempts.failures.size(), 3u);

  RecordingAttempts next;
  const std::string location = server.Location(CreateAppDatabase(server, "ADB_AGAIN"));
  ASSERT_TRUE(database.ReadRow(location, std::nullopt, next).has_value());
  EXPECT_EQ(next.attached, std::vector<std::string>{location});
  EXPECT_TRUE(next.failures.empty()) << "no handler of the reading before is left on the connection";
}

TEST(ApplicationDatabase, TheProbeCountsTheDatabasesOwnTablesMeasuresItAndDropsIt) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.extraTables = 3;
  options.rowsPerExtraTable = 4;
  const std::filesystem::path file = CreateAppDatabase(server, "ADB_PROBE", options);
  db::ApplicationDatabase database(db::testing::Machine());
  EXPECT_EQ(database.CountUserTables(server.Location(file), std::nullopt), 5)
      << "SIS_BACKUP, SIS_BACKUP_HISTORICO and three more";
  EXPECT_EQ(database.CountRows(server.Location(file), std::nullopt, {"SIS_BACKUP", "DADOS_2"}),
            (std::map<std::string, std::int64_t>{{"SIS_BACKUP", 1}, {"DADOS_2", 4}}));
  EXPECT_THROW(database.CountRows(server.Location(file), std::nullopt, {"NENHUMA"}), std::exception);

  // Names only a quoted identifier can give, in a database of dialect 3.
  const std::filesystem::path quoted = server.DataDir() / "ADB_QUOTED.FDB";
  ASSERT_EQ(
      0, server.RunIsql("SET SQL DIALECT 3;\nCREATE DATABASE '" + server.Location(quoted) +
                        "' USER 'SYSDBA' PASSWORD 'tidewater';\nCREATE TABLE \"Notas \"\"fiscais\"\"\" (ID "
                        "INTEGER);\nCREATE TABLE \"itens\" (ID INTEGER);\nCOMMIT;\nINSERT INTO \"Notas "
                        "\"\"fiscais\"\"\" VALUES (1);\nINSERT INTO \"itens\" VALUES (1);\nINSERT INTO "
                        "\"itens\" VALUES (2);\nCOMMIT;\n"));
  EXPECT_EQ(database.CountRows(server.Location(quoted), std::nullopt, {"Notas \"fiscais\"", "itens"}),
            (std::map<std::string, std::int64_t>{{"Notas \"fiscais\"", 1}, {"itens", 2}}));
  // Every page the server allocated is in the file, and nothing else.
  EXPECT_EQ(database.DatabaseBytes(server.Location(file), std::nullopt),
            static_cast<std::int64_t>(std::filesystem::file_size(file)));
  database.DropDatabase(server.Location(file), std::nullopt);
  EXPECT_FALSE(std::filesystem::exists(file));
  EXPECT_THROW(database.CountUserTables(server.Location(file), std::nullopt), std::exception);
  EXPECT_THROW(database.DropDatabase(server.Location(file), std::nullopt), std::exception);
  EXPECT_THROW(database.DatabaseBytes(server.Location(file), std::nullopt), std::exception);
}

}  // namespace
}  // namespace testsupport
