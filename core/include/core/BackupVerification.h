#pragma once

#include <string>

#include "core/BackupNames.h"
#include "core/BackupServer.h"
#include "core/BackupSettings.h"
#include "core/BackupTally.h"
#include "core/Credentials.h"
#include "core/DatabaseProbe.h"
#include "platform/System.h"

namespace core {

// Whether a backup just made is whole and restores. The file must be as long as the server's output said
// it wrote; the server restores it through its services manager into a scratch database beside it, which
// must open, hold as many user tables as the database that was backed up and, table by table, the rows
// the backup wrote. A restore of a file cut off inside its data may end without an error, and the error
// of one that does not is reported only now and then: only these counts show every cut. The scratch
// database is this check's own: one left under its name before is removed by unlinking, never attached
// to; the restored one is dropped however the check ends, and a file that the drop leaves is deleted here,
// where this machine sees the backup folder.
class BackupVerification {
 public:
  // The restore and the scratch database go with the services manager's login, the source database with
  // the settings row's.
  BackupVerification(const BackupSettings& settings, const BackupNames& names, const Credentials& credentials,
                     const BackupTally& tally, BackupServer& server, DatabaseProbe& probe,
                     platform::Files& files);

  // Empty when the backup verified; otherwise why not, in UTF-8 on one line. Each line the server sends
  // while it restores goes to lineRead.
  std::string Run(const BackupServer::LineRead& lineRead);

 private:
  // Why the file is not what the server wrote; empty when it is (or when this machine does not see it).
  std::string FileProblem() const;
  // Why the restored database does not hold the rows the backup wrote; empty when it does.
  std::string RowsProblem();
  void DropScratchDatabase();
  // A database of the server as the server spells its location.
  std::string Location(const std::string& path) const;

  const BackupSettings& settings_;
  const BackupNames& names_;
  const Credentials& credentials_;
  const BackupTally& tally_;
  BackupServer& server_;
  DatabaseProbe& probe_;
  platform::Files& files_;
};

}  // namespace core
