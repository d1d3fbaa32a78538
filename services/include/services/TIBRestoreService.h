#pragma once

#include "services/TIBBackupRestoreService.h"

namespace services {

// How a restore treats the database it writes.
enum class TRestoreTarget {
  CreateNew,  // the server refuses to overwrite an existing file
  Replace,    // an existing database of that name is replaced
};

// Restores a backup on the server: BackupFile lists the backup file(s) as the server names them,
// DatabaseName is the database the server creates from them.
class TIBRestoreService : public TIBBackupRestoreService {
 public:
  TRestoreTarget Target() const { return target_; }
  void SetTarget(TRestoreTarget target) { target_ = target; }

  // Client error 94 for an empty DatabaseName or no backup file (before anything changes). Lines of
  // BackupFile that are blank are skipped; the others are sent as they stand.
  void BuildStartRequest() override;

 private:
  TRestoreTarget target_ = TRestoreTarget::CreateNew;
};

}  // namespace services
