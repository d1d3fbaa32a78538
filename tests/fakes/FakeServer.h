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
// that many tables, holding the rows a test sets. A backup sent to the program is backupBytes in pieces; fed
// back whole it restores as the written one does, cut short it restores a database without tables, as a
// real server may. The settings row is read behind a chain of attach failures a test sets. A failure can be
// planted at every step; every call is recorded.
class FakeServer : public core::BackupServer, public core::SettingsSource, public core::DatabaseProbe {
 public:
  struct Call {
    std::string action;  // "backup", "restore", "backup to program" or "restore from program"
    std::string serverName;
    std::string from;  // the database backed up, or the backup restored
    std::string to;    // the backup file, or the database restored into
  };
  // A failed backup: after this many lines of the output (of a backup sent to the program: pieces) (-1:
  // before the request is accepted; the number of lines and the empty one that ends them: once the output has
  // ended).
  struct Failure {
    std::string cp1252Text;
    int afterLines = -1;
    bool backupFileNotWritable = false;
  };

  core::RunPorts Ports() { return {*this, *this, *this}; }

  void Backup(const core::LoginChoice& login, const std::string& serverName, const std::string& databasePath,
              const std::string& backupFile, const LineRead& lineRead) override;
  // The call's action: "backup without lines". Writes backupBytes in pieces, still writing between them.
  void BackupWithoutLines(const core::LoginChoice& login, const std::string& serverName,
                          const std::string& databasePath, const std::string& backupFile,
                          const StillWriting& stillWriting) override;
  void Restore(const core::LoginChoice& login, const std::string& serverName, const std::string& backupFile,
               const std::string& database, const LineRead& lineRead) override;
  void BackupToProgram(const core::LoginChoice& login, const std::string& serverName,
                       const std::string& databasePath, const DataRead& dataRead) override;
  void RestoreFromProgram(const core::LoginChoice& login, const std::string& serverName,
                          const DataWanted& dataWanted, const std::string& database,
                          const LineRead& lineRead) override;
  std::optional<core::SettingsRow> ReadRow(const std::string& location, const core::LoginChoice& login,
                                           Attempts& attempts) override;
  int CountUserTables(const std::string& location, const core::LoginChoice& login) override;
  std::map<std::string, std::int64_t> CountRows(const std::string& location, const core::LoginChoice& login,
                                                const std::vector<std::string>& tables) override;
  std::int64_t DatabaseBytes(const std::string& location, const core::LoginChoice& login) override;
  void DropDatabase(const std::string& location, const core::LoginChoice& login) override;

  // Who attached for what, in order: "backup", "restore", "row", "count", "rows", "size" or "drop", a blank,
  // then
  // "user/password" of the login, or "built-in".
  std::vector<std::string> logins;

  // Backup and restore. The outputs come without the empty line that ends them, which every output gets.
  // As the server words a whole backup of one row in a file of backupBytes' length.
  std::vector<std::string> backupLines = {"gbak: writing data for table SIS_BACKUP", "gbak:1 records written",
                                          "gbak:closing file, committing, and finishing. 6 bytes written"};
  std::vector<std::string> restoreLines = {"gbak: restoring table SIS_BACKUP"};
  std::optional<Failure> backupFailure;
  std::optional<std::string> restoreFailure;
  std::string backupBytes = "backup";  // what the backup file holds
  std::size_t pieceBytes = 4;          // the size of the pieces a backup is sent to the program in
  std::int64_t databaseBytes = 0;      // every database's size; -1: it cannot be read
  std::function<void(std::size_t piecesSent)> onPiece;  // after every piece sent to the program
  // Tables a backup file holds, by its name on the server; and a backup sent to the program, by its bytes.
  std::map<std::string, int> backups;
  std::map<std::string, int> sentBackups;
  std::vector<Call> calls;

  // Databases by location (server name, ":", path) and how many tables each holds; a location not
  // listed cannot be opened, nor can one that is unopenable.
  std::map<std::string, int> tables;
  std::set<std::string> unopenable;
  // The rows a restored database holds, by table; a table not listed is not there.
  std::map<std::string, std::int64_t> rowsRestored = {{"SIS_BACKUP", 1}};
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
