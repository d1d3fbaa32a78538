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
  // Called after every successful job, for a monitor that raises the alarm when the calls stop. It may
  // hold a secret: it is never shown or logged.
  std::string monitorUrl;
  // sistema.ini, and so the monitor's address, may be read by users other than its owner and group.
  bool monitorUrlExposed = false;
  std::array<std::string, 4> scheduleTimes;
  std::string copyFolder;
  std::int32_t retentionDays = 0;
};

}  // namespace core
