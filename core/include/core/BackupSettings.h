#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace core {

// What the program knows about the backup it must make: the first three fields come from sistema.ini
// at start-up, the rest from the settings row of the application database. Every text is UTF-8: the
// program folder as the file system names it, the others decoded from the file or the row.
struct BackupSettings {
  std::string programFolder;     // ends with "/"
  std::string databaseLocation;  // server name, ":", database path on that server
  std::string serverSystem = "Windows";
  std::array<std::string, 4> scheduleTimes;
  std::string copyFolder;
  std::int32_t retentionDays = 0;
};

}  // namespace core
