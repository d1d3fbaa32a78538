#pragma once

#include <string>

#include "core/BackupSettings.h"
#include "platform/System.h"

namespace core {

// The names one backup job works with, all derived from the settings and the job's start time.
// Local names use "/"; the target on the server follows the server's own conventions. All are UTF-8.
struct BackupNames {
  std::string backupFolder;      // program folder + "backup/"
  std::string logFile;           // backup folder + "backup.txt"
  std::string serverName;        // location before its first ":"
  std::string databasePath;      // location after its first ":"
  std::string timestamp;         // "_yyyymmdd_hhnn"
  std::string databaseFileName;  // last component of the database path ("/" and "\" both separate)
  std::string localBackupName;   // backup folder + file name without extension + timestamp + ".gbk"
  std::string serverTarget;      // where the server writes the backup (Linux or Windows form)
  std::string copyTarget;        // copy folder + file-name part of the local backup name
  // The database a backup is restored into to verify it: beside the backup, named after it.
  std::string scratchDatabase;       // as the server names it (the server target's form)
  std::string localScratchDatabase;  // the same file as this machine names it

  static BackupNames For(const BackupSettings& settings, const platform::LocalDateTime& jobStart);
  // The same names with the backup and the scratch database in a folder of the backup folder instead
  // (the server's names in the server target's form: "/" separates in the Linux form, "\" in Windows').
  BackupNames InFolder(const std::string& folderName, bool linuxServer) const;
};

// The server-side target when the server runs Linux ("Linux", exact letter case) and otherwise.
std::string LinuxServerTarget(const std::string& programFolder, const std::string& databaseFileName,
                              const std::string& timestamp);
std::string WindowsServerTarget(const std::string& programFolder, const std::string& databasePath,
                                const std::string& timestamp);

}  // namespace core
