#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace core {

// What the program knows about the backup it must make: the program folder, then what sistema.ini says
// (ReadSettingsFile), then the settings row of the application database (CopySettingsRow). Every text is
// UTF-8: the program folder as the file system names it, the others decoded from the file or the row.
struct BackupSettings {
  std::string programFolder;     // ends with "/"
  std::string databaseLocation;  // server name, ":", database path on that server
  std::string serverSystem = "Windows";
  // The account the database server runs as on this machine, by name or number; it writes the backup
  // into our backup folder, which is shared with it.
  std::string serverAccount = "firebird";
  // Each backup is restored into a scratch database and checked before it counts as made.
  bool verifyBackup = false;
  // The server sends the backup to the program, which writes it into the backup folder itself: for a server
  // on another machine, which cannot write into this one's folder.
  bool transferBackup = false;
  // Where on the server a backup that was sent to the program is restored to verify it: a folder the
  // server's DatabaseAccess admits, as the server names it. Empty: such a backup cannot be verified.
  std::string verificationFolder;
  // Called after every successful job, for a monitor that raises the alarm when the calls stop. It may
  // hold a secret: it is never shown or logged.
  std::string monitorUrl;
  // sistema.ini, and so the monitor's address, may be read by users other than its owner and group.
  bool monitorUrlExposed = false;
  // The monitor is told of the job's start and of its failure too, with the log block, as dead-man's-switch
  // services document it; otherwise it only receives a GET after a success.
  bool monitorSignals = false;
  // Extras an administrator switches on; without them the program behaves as it always has.
  // A schedule time that passed unseen (a suspended machine, a long job) runs once at the next tick.
  bool catchUpMissedTimes = false;
  // The tray icon's mark and hint follow the last backup, and failures come as desktop notifications.
  bool showBackupState = false;
  // A server that could not write the backup file gets a line in the block saying who needs which access.
  bool explainServerAccess = false;
  // Where no one reads the server's lines (automatic mode, the runner), the server is asked for none: the
  // gauge goes by the backup file's growth instead. Not with verifyBackup, whose check reads them.
  bool omitServerLines = false;
  std::array<std::string, 4> scheduleTimes;
  // The database's size when the settings row was read (0: unknown), for the gauge of a backup sent to
  // the program or written without lines.
  std::int64_t databaseBytes = 0;
  std::string copyFolder;
  std::int32_t retentionDays = 0;
};

}  // namespace core
