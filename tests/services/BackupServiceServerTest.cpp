#include <gtest/gtest.h>
#include <ibase.h>

#include <filesystem>

#include "fbclient/ClientLibrary.h"
#include "fbclient/Exceptions.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"
#include "services/RestoreService.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

namespace services {
namespace {

using testsupport::FirebirdServer;

// The Backup instance as the job prepares it for one run against the private server, with the
// server's password (or a wrong one) in place of the one the program is built with.
void PrepareRun(TIBBackupService& backup, const std::string& serverName, const std::string& databasePath,
                const std::string& backupFile, const std::string& password = FirebirdServer::kPassword) {
  ApplyBackupInstanceSettings(backup);
  backup.Params().Set(1, "password=" + password);
  backup.SetDatabaseName(databasePath);
  backup.SetServerName(serverName);
  backup.BackupFile().Clear();
  backup.BackupFile().Add(backupFile);
  backup.SetProtocol(TProtocol::TCP);
}

fbclient::EIBInterBaseError AttachError(TIBBackupService& backup) {
  try {
    backup.SetActive(true);
  } catch (const fbclient::EIBInterBaseError& error) {
    return error;
  }
  ADD_FAILURE() << "the attach succeeded";
  return fbclient::EIBInterBaseError(0, 0, "");
}

std::string SettingsRow(const FirebirdServer& server, const std::filesystem::path& database) {
  std::string output;
  EXPECT_EQ(
      0, server.RunIsql("CONNECT '" + server.Location(database) +
                            "' USER 'SYSDBA' PASSWORD 'tidewater';\n"
                            "SELECT HR_BACKUP_1, HR_BACKUP_2, HR_BACKUP_3, HR_BACKUP_4, TX_DIR_HDD, NR_DIAS "
                            "FROM SIS_BACKUP;\n",
                        &output))
      << output;
  return output;
}

TEST(BackupServiceServer, AttachesThroughTcpWithTheBackupInstanceCredentials) {
  FirebirdServer& server = FirebirdServer::Shared();
  EXPECT_EQ("libfbclient.so.2", fbclient::ClientLibraryFileName());
  TIBBackupService backup;
  PrepareRun(backup, server.Host(), "/unused.fdb", "/unused.fbk");
  EXPECT_EQ(server.ServiceManager(), backup.ServiceName());
  backup.SetActive(true);
  EXPECT_TRUE(backup.Active());
  backup.SetActive(false);
  EXPECT_FALSE(backup.Active());
}

TEST(BackupServiceServer, AWrongPasswordRaisesTheServersOwnText) {
  FirebirdServer& server = FirebirdServer::Shared();
  TIBBackupService backup;
  PrepareRun(backup, server.Host(), "/unused.fdb", "/unused.fbk", "masterkey");
  const auto error = AttachError(backup);
  EXPECT_EQ(isc_login, error.GdsCode());
  EXPECT_EQ(-902, error.SQLCode());
  EXPECT_EQ(
      "Your user name and password are not defined. Ask your database administrator to set up a Firebird "
      "login",
      std::string(error.what()));
  EXPECT_FALSE(backup.Active());
}

TEST(BackupServiceServer, AClosedLoopbackPortGivesTheNetworkErrorText) {
  TIBBackupService backup;
  PrepareRun(backup, "localhost/" + std::to_string(testsupport::FreeLoopbackPort()), "/unused.fdb",
             "/unused.fbk");
  const auto error = AttachError(backup);
  EXPECT_EQ(isc_network_error, error.GdsCode());
  EXPECT_EQ(-902, error.SQLCode());
  const std::string text = error.what();
  EXPECT_TRUE(text.starts_with("Unable to complete network request to host \"localhost\".\r\n")) << text;
  EXPECT_NE('.', text.back()) << text;
  EXPECT_FALSE(backup.Active());
}

TEST(BackupServiceServer, BacksUpWithVerboseLinesToTheEmptyLineAndTheFileRestores) {
  FirebirdServer& server = FirebirdServer::Shared();
  testsupport::AppDatabaseOptions options;
  options.row->time3 = "18:30";
  options.row->copyFolder = "D:\\Copias\\Backup";
  options.extraTables = 3;
  options.rowsPerExtraTable = 50;
  const auto database = testsupport::CreateAppDatabase(server, "services_backup", options);
  const auto backupFile = server.DataDir() / "services_backup.fbk";
  std::filesystem::remove(backupFile);

  TIBBackupService backup;
  PrepareRun(backup, server.Host(), database.string(), backupFile.string());
  backup.SetActive(true);
  backup.ServiceStart();
  std::vector<std::string> lines;
  while (!backup.EndOfOutput())
    lines.push_back(backup.ReadOutputLine());
  EXPECT_EQ("", backup.ReadOutputLine());
  backup.SetActive(false);

  ASSERT_GT(lines.size(), 10u);
  EXPECT_EQ("", lines.back());
  for (std::size_t i = 0; i + 1 < lines.size(); ++i)
    EXPECT_FALSE(lines[i].empty()) << "line " << i;
  EXPECT_TRUE(lines.front().starts_with("gbak:")) << lines.front();
  const auto mentions = [&lines](const std::string& text) {
    return std::any_of(lines.begin(), lines.end(),
                       [&text](const std::string& line) { return line.find(text) != std::string::npos; });
  };
  EXPECT_TRUE(mentions("SIS_BACKUP"));
  EXPECT_TRUE(mentions("DADOS_2"));
  ASSERT_TRUE(std::filesystem::exists(backupFile));
  EXPECT_GT(std::filesystem::file_size(backupFile), 0u);

  const auto restored = server.DataDir() / "services_restored.fdb";
  std::filesystem::remove(restored);
  std::string output;
  ASSERT_EQ(0, server.RunGbak({"-c", backupFile.string(), restored.string()}, &output)) << output;
  const std::string original = SettingsRow(server, database);
  EXPECT_NE(std::string::npos, original.find("18:30")) << original;
  EXPECT_NE(std::string::npos, original.find("D:\\Copias\\Backup")) << original;
  EXPECT_EQ(original, SettingsRow(server, restored));
}

TEST(BackupServiceServer, AFailureOfTheBackupArrivesWithTheStartOrAQueryAndForgetsTheAttachment) {
  // The server reports a database it cannot open either in its answer to the start request or in the
  // answer to a later query, whichever its service thread reaches first; both are the same failure and
  // leave the component in the same state.
  FirebirdServer& server = FirebirdServer::Shared();
  const auto missing = server.DataDir() / "no_such_database.fdb";
  TIBBackupService backup;
  PrepareRun(backup, server.Host(), missing.string(), (server.DataDir() / "never.fbk").string());
  backup.SetActive(true);
  try {
    backup.ServiceStart();
    for (int line = 0; line < 1000 && !backup.EndOfOutput(); ++line)
      backup.ReadOutputLine();
    FAIL() << "the backup of a missing database ended without an error";
  } catch (const fbclient::EIBInterBaseError& error) {
    EXPECT_EQ(isc_io_error, error.GdsCode());
    EXPECT_EQ("I/O error during \"open\" operation for file \"" + missing.string() +
                  "\"\r\nError while trying to open file\r\nNo such file or directory",
              std::string(error.what()));
  }
  EXPECT_FALSE(backup.Active()) << "forgotten, not detached";
  EXPECT_FALSE(std::filesystem::exists(server.DataDir() / "never.fbk"));
}

// Sent to the program, the backup is the file gbak would have written: fed back to the server it restores
// the same database. Verbose output, which would share the channel, is refused by the server itself.
TEST(BackupServiceServer, ABackupSentToTheProgramRestoresFromTheProgram) {
  FirebirdServer& server = FirebirdServer::Shared();
  testsupport::AppDatabaseOptions options;
  options.row->time3 = "18:30";
  options.extraTables = 2;
  options.rowsPerExtraTable = 2000;
  const auto database = testsupport::CreateAppDatabase(server, "services_transfer", options);

  TIBBackupService backup;
  PrepareRun(backup, server.Host(), database.string(), kToProgram);
  backup.SetActive(true);
  backup.ServiceStart();
  try {
    while (!backup.EndOfOutput())
      backup.ReadOutputData();
    FAIL() << "verbose output went with stdout";
  } catch (const fbclient::EIBInterBaseError& error) {
    EXPECT_EQ(
        "standard output is not supported when using split operation or in verbose mode\r\n"
        "Exiting before completion due to errors",
        std::string(error.what()));
  }

  ApplyTransferSettings(backup);
  backup.Params().Set(1, std::string("password=") + FirebirdServer::kPassword);
  backup.SetActive(true);
  backup.ServiceStart();
  std::string file;
  std::size_t pieces = 0;
  while (!backup.EndOfOutput()) {
    file += backup.ReadOutputData();
    ++pieces;
  }
  backup.SetActive(false);
  EXPECT_GT(file.size(), 100000u);
  EXPECT_GT(pieces, 2u);

  const auto restored = server.DataDir() / "services_transfer_restored.fdb";
  std::filesystem::remove(restored);
  RestoreService restore;
  ApplyRestoreInstanceSettings(restore, backup);
  restore.SetServerName(server.Host());
  restore.SetProtocol(TProtocol::TCP);
  restore.SetDatabaseName(restored.string());
  restore.BackupFile().Add(kFromProgram);
  restore.SetActive(true);
  restore.ServiceStart();
  std::size_t given = 0;
  std::vector<std::string> lines;
  while (!restore.EndOfOutput()) {
    lines.push_back(restore.ReadOutputLine([&](char* buffer, std::size_t size) {
      const std::size_t n = std::min(size, file.size() - given);
      std::copy_n(file.data() + given, n, buffer);
      given += n;
      return n;
    }));
  }
  restore.SetActive(false);
  EXPECT_EQ(file.size(), given);
  ASSERT_GT(lines.size(), 10u);
  EXPECT_TRUE(lines.front().starts_with("gbak:")) << lines.front();
  EXPECT_EQ(SettingsRow(server, database), SettingsRow(server, restored));
}

}  // namespace
}  // namespace services
