#pragma once

#include <string>
#include <vector>

#include "core/BackupSettings.h"

namespace db {
class TDataSet;
struct BackupSettingsSource;
using TextLines = std::vector<std::string>;
}  // namespace db

namespace core {

// How reading the settings row ended.
enum class SettingsLoadResult {
  Read,               // the row was copied (a table without rows gives empty texts and 0)
  ServerUnreachable,  // the server could not be reached: down, not listening, or its name not found
  LoginRefused,       // the server refused the user name and password
  NotRead             // anything else: another connection error, the query's, no client library
};

struct SettingsLoadOutcome {
  SettingsLoadResult result = SettingsLoadResult::NotRead;
  // Why the row was not read, in UTF-8: the server's words, or the error's text. Empty when read.
  std::string message;
};

// Whether a connection error code says that the server could not be reached, so that another attempt
// may succeed: isc_unavailable, isc_net_lookup_err and isc_network_error.
bool IsServerUnreachable(long errorCode);

// The server's own words among the lines of the database side's error event: those after
// "ISC ERROR MESSAGE:", empty ones left out (code page 1252).
std::vector<std::string> ServerMessageLines(const db::TextLines& errorMessage);

// Copies what the backup uses from the current row of the open settings query: the schedule times
// HR_BACKUP_1 to HR_BACKUP_4 and the copy folder TX_DIR_HDD (code page 1252 in the row, UTF-8 in the
// settings), and the retention days NR_DIAS. Without a row the texts are empty and the days 0.
void CopySettingsRow(const db::TDataSet& query, BackupSettings& settings);

// Reads the settings row of the database at settings.databaseLocation: one attempt to connect through
// the source, the row copied into settings, then the connection closed again, also after a failure.
// For the time of the call the source's AfterConnect and OnError handlers are this function's own.
SettingsLoadOutcome LoadSettingsRow(db::BackupSettingsSource& source, BackupSettings& settings);

}  // namespace core
