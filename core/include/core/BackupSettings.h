#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace core {

// What the program knows about the backup it must make: the first four fields come from sistema.ini
// at start-up, the rest from the settings row of the application database. Every text is UTF-8: the
// program folder as the file system names it, the others decoded from the file or the row.
struct BackupSettings {
  std::string programFolder;     // ends with "/"
  std::string databaseLocation;  // server name, ":", database path on that server
  std::string serverSystem = "Windows";
  // The account the database server runs as on this machine, by name or number; it writes the backup
  // into our backup folder, which is shared with it.
  std::string serverAccount = "firebird";
  std::array<std::string, 4> scheduleTimes;
  std::string copyFolder;
  std::int32_t retentionDays = 0;
};

}  // namespace core
