#pragma once

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
};

// Creates an application database on the private server: SQL dialect 1, character set WIN1252,
// table SIS_BACKUP with every column the settings query declares. Throws on failure.
// Returns the database's path on the server.
std::filesystem::path CreateAppDatabase(const FirebirdServer& server, const std::string& name,
                                        const AppDatabaseOptions& options = {});

// SQL literal of a text in WIN1252, or NULL.
std::string SqlText(const std::optional<std::string>& value);

}  // namespace testsupport
