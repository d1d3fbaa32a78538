#pragma once

#include <string>

#include "core/BackupSettings.h"
#include "core/SettingsSource.h"

namespace core {

// How reading the settings row ended.
enum class SettingsLoadResult {
  Read,               // the row was copied (a table without rows gives empty texts and 0)
  ServerUnreachable,  // the server could not be reached: down, not listening, or its name not found
  LoginRefused,       // the server refused the user name and password
  Refused,            // the server refused the attach for another reason: no such database, ...
  Failed,             // an error after attaching (the query's), or no client library
};

struct SettingsLoadOutcome {
  SettingsLoadResult result = SettingsLoadResult::Failed;
  // Why the row was not read, in UTF-8: the server's words, one per line, or the error's text. Empty
  // when read.
  std::string message;
};

// Copies what the backup uses from the settings row: the schedule times and the copy folder (code page
// 1252 in the row, UTF-8 in the settings), and the retention days.
void ApplySettingsRow(const SettingsRow& row, BackupSettings& settings);

// Reads the settings row of the database at settings.databaseLocation through the source, attached with
// the login, and copies it into settings; attempts hears of every attempt and decides whether another
// follows a failed one. The outcome of a chain of attempts is that of its last.
SettingsLoadOutcome LoadSettingsRow(SettingsSource& source, BackupSettings& settings,
                                    const LoginChoice& login, SettingsSource::Attempts& attempts);

// The same with one attempt: a timer, not the caller, tries again later.
SettingsLoadOutcome LoadSettingsRow(SettingsSource& source, BackupSettings& settings,
                                    const LoginChoice& login);

}  // namespace core
