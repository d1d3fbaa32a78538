#pragma once

#include <functional>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "core/BackupRun.h"
#include "core/BackupServer.h"
#include "core/DatabaseProbe.h"
#include "core/SettingsSource.h"

namespace fakes {

// A database server in memory, on this machine, behind all three of the core's ports. A backup writes
// its file where it is told to (the server sees the program's folder under the same path), answers with
// the lines a test sets and remembers how many tables the database had; a restore makes a database of
// that many tables. The settings row is read behind a chain of attach failures a test sets. A failure
// can be planted at every step; every call is recorded.
class FakeServer : public core::BackupServer, public core::SettingsSource, public core::DatabaseProbe {
 public:
  struct Call {
    std::string action;  // "backup" or "restore"
    std::string serverName;
    std::string from;  // the database backed up, or the backup restored
    std::string to;    // the backup file, or the database restored into
  };
  // A failed backup: after this many lines of the output (-1: before the request is accepted; the
  // number of lines and the empty one that ends them: once the output has ended).
  struct Failure {
    std::string cp1252Text;
    int afterLines = -1;
    bool backupFileNotWritable = false;
  };

  core::RunPorts Ports() { return {*this, *this, *this}; }

  void Backup(const core::LoginChoice& login, const std::string& serverName, const std::string& databasePath,
              const std::string& backupFile, const LineRead& lineRead) override;
  void Restore(const core::LoginChoice& login, const std::string& serverName, const std::string& backupFile,
               const std::string& database, const LineRead& lineRead) override;
  std::optional<core::SettingsRow> ReadRow(const std::string& location, const core::LoginChoice& login,
                                           Attempts& attempts) override;
  int CountUserTables(const std::string& location, const core::LoginChoice& login) override;
  void DropDatabase(const std::string& location, const core::LoginChoice& login) override;

  // Who attached for what, in order: "backup", "restore", "row", "count" or "drop", a blank, then
  // "user/password" of the login, or "built-in".
  std::vector<std::string> logins;

  // Backup and restore. The outputs come without the empty line that ends them, which every output gets.
  std::vector<std::string> backupLines = {"gbak: writing data for table SIS_BACKUP"};
  std::vector<std::string> restoreLines = {"gbak: restoring table SIS_BACKUP"};
  std::optional<Failure> backupFailure;
  std::optional<std::string> restoreFailure;
  std::string backupBytes = "backup";  // what the backup file holds
  // Tables a backup file holds, by its name on the server.
  std::map<std::string, int> backups;
  std::vector<Call> calls;

  // Databases by location (server name, ":", path) and how many tables each holds; a location not
  // listed cannot be opened, nor can one that is unopenable.
  std::map<std::string, int> tables;
  std::set<std::string> unopenable;
  std::vector<std::string> drops;

  // The settings row. The failures of the first attempts, one per attempt; with failForever the last
  // one repeats.
  std::vector<core::AttachError> attachFailures;
  bool failForever = false;
  std::optional<std::string> queryError;       // thrown once attached, as a query's error is (code page 1252)
  std::optional<std::string> noClientLibrary;  // thrown before any attempt, as without the client library
  core::SettingsRow row;
  std::function<void(int attempt)> onAttempt;  // at the start of every attempt, numbered from 1
  int attemptsMade = 0;
  std::vector<std::string> locationsRead;

 private:
  std::optional<core::SettingsRow> Attempt(const std::string& location, Attempts& attempts);
};

}  // namespace fakes
