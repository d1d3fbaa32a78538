#pragma once

#include <string>

#include "core/BackupNames.h"
#include "core/BackupServer.h"
#include "core/BackupSettings.h"
#include "core/Credentials.h"
#include "core/DatabaseProbe.h"
#include "platform/System.h"

namespace core {

// Whether a backup just made restores. The server restores it through its services manager into a
// scratch database beside it; the scratch database must open and hold as many user tables as the
// database that was backed up. The scratch database is dropped again however the check ends, and a file
// that the drop leaves is deleted here, where this machine sees the backup folder.
class BackupVerification {
 public:
  // The restore and the scratch database go with the services manager's login, the source database with
  // the settings row's.
  BackupVerification(const BackupSettings& settings, const BackupNames& names, const Credentials& credentials,
                     BackupServer& server, DatabaseProbe& probe, platform::Files& files);

  // Empty when the backup verified; otherwise why not, in UTF-8 on one line. Each line the server sends
  // while it restores goes to lineRead.
  std::string Run(const BackupServer::LineRead& lineRead);

 private:
  void DropScratchDatabase();
  // A database of the server as the server spells its location.
  std::string Location(const std::string& path) const;

  const BackupSettings& settings_;
  const BackupNames& names_;
  const Credentials& credentials_;
  BackupServer& server_;
  DatabaseProbe& probe_;
  platform::Files& files_;
};

}  // namespace core
