#pragma once

#include <functional>
#include <string>

#include "core/BackupNames.h"
#include "core/BackupSettings.h"
#include "platform/System.h"
#include "services/TIBBackupService.h"

namespace core {

// Whether a backup just made restores. The server restores it through its services manager into a
// scratch database beside it; the scratch database must open and hold as many user tables as the
// database that was backed up. The scratch database is dropped again however the check ends, and a file
// that the drop leaves is deleted here, where this machine sees the backup folder.
class BackupVerification {
 public:
  // Each line the server sends while it restores (code page 1252).
  using LineRead = std::function<void(const std::string& cp1252Line)>;

  // The restore attaches to the services manager as the backup component does.
  BackupVerification(const BackupSettings& settings, const BackupNames& names,
                     const services::TIBBackupService& backup,
                     platform::System& system = platform::Current());

  // Empty when the backup verified; otherwise why not, in UTF-8 on one line.
  std::string Run(const LineRead& lineRead);

 private:
  void Restore(const LineRead& lineRead);
  void DropScratchDatabase();
  std::string Location(const std::string& path) const;

  const BackupSettings& settings_;
  const BackupNames& names_;
  const services::TIBBackupService& backup_;
  platform::System& system_;
};

}  // namespace core
