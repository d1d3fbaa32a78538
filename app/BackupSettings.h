#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace app {

// What the program knows about the backup it must make: the first three fields come from sistema.ini
// at start-up, the rest from the settings row of the application database. Texts are code page 1252.
struct BackupSettings {
  std::string programFolder;     // ends with the path separator
  std::string databaseLocation;  // server name, ":", database path on that server
  std::string serverSystem = "Windows";
  std::array<std::string, 4> scheduleTimes;
  std::string copyFolder;
  std::int32_t retentionDays = 0;
};

}  // namespace app
