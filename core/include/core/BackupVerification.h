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

// Whether a backup just made is whole and restores. The server restores it through its services manager
// into a scratch database beside it, which must open and hold as many user tables as the database that was
// backed up. When the server wrote the file, it must also be as long as the server's output said it wrote
// and the restored database must hold, table by table, the rows the backup wrote: a restore of a file cut
// off inside its data may end without an error, and the error of one that does not is reported only now
// and then; only these counts show every cut. The scratch database is this check's own: one left under
// its name before is removed by unlinking where this machine sees it, never attached to; the restored one
// is dropped however the check ends, and a file that the drop leaves is deleted here, where this machine
// sees the backup folder.
//
// A backup the server sent to the program is fed back to it from this machine's file, and the scratch
// database goes into the folder of the server that the settings name for it: the server, elsewhere, sees
// neither the backup folder nor anything beside the backup. The server writes no verbose lines of such a
// backup, so there the restore and the table count are the check.
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
  // Has the server restore the backup into the scratch database.
  void Restore(const BackupServer::LineRead& lineRead);
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
  // The scratch database as the server names it, and as this machine does (empty: it cannot see it).
  std::string scratchDatabase_;
  std::string localScratchDatabase_;
};

}  // namespace core
