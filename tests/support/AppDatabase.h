#pragma once

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>

#include "tests/support/FirebirdServer.h"

namespace testsupport {

// The settings row of the application database, as a test wants it. An empty optional is NULL.
struct SettingsRow {
  std::optional<std::string> time1 = "08:00";
  std::optional<std::string> time2 = "12:00";
  std::optional<std::string> time3;
  std::optional<std::string> time4;
  std::optional<std::string> copyFolder;
  std::optional<int> retentionDays = 7;
};

// How the SIS_BACKUP table of a fixture differs from the application's own.
struct AppDatabaseOptions {
  bool primaryKey = true;  // ID_BACKUP as primary key
  bool charTimes = false;  // HR_BACKUP_n as CHAR(5) instead of VARCHAR(5)
  std::string omitColumn;  // a declared column left out of the table
  std::string copyFolderType = "VARCHAR(200)";
  std::optional<SettingsRow> row = SettingsRow{};  // no row when empty
  int extraTables = 0;                             // more tables (for larger verbose output)
  int rowsPerExtraTable = 0;
  // A table TESTE_DESCONEXOES and an ON DISCONNECT trigger that writes into it the process id of every
  // client that detaches, so that a test can wait for a program to have read its settings.
  bool recordDisconnects = false;
};

// A settings row with a value of every kind: three schedule times (08:00, 12:00, 18:30), a copy folder
// whose name is code page 1252 text ("/mnt/c\xF3pia/") and 12 days.
AppDatabaseOptions FullRowOptions();

// Creates an application database on the private server: SQL dialect 1, character set WIN1252,
// table SIS_BACKUP with every column the settings query declares. Throws on failure.
// Returns the database's path on the server.
std::filesystem::path CreateAppDatabase(const FirebirdServer& server, const std::string& name,
                                        const AppDatabaseOptions& options = {});

// Whether the process has detached from a database made with recordDisconnects (it has read what it
// attached for), waiting at most the time-out.
bool WaitForDisconnect(const FirebirdServer& server, const std::filesystem::path& database, int processId,
                       std::chrono::milliseconds timeout);

// SQL literal of a text in WIN1252, or NULL.
std::string SqlText(const std::optional<std::string>& value);

}  // namespace testsupport
