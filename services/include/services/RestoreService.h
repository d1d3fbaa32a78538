#pragma once

#include "services/TIBBackupRestoreService.h"

namespace services {

// How a restore treats the database it writes.
enum class RestoreTarget {
  CreateNew,  // the server refuses to overwrite an existing file
  Replace,    // an existing database of that name is replaced
};

// Restores a backup on the server: BackupFile lists the backup file(s) as the server names them,
// DatabaseName is the database the server creates from them.
class RestoreService : public TIBBackupRestoreService {
 public:
  RestoreTarget Target() const { return target_; }
  void SetTarget(RestoreTarget target) { target_ = target; }

  // Client error 94 for an empty DatabaseName or no backup file (before anything changes). Lines of
  // BackupFile that are blank are skipped; the others are sent as they stand.
  void BuildStartRequest() override;

 private:
  RestoreTarget target_ = RestoreTarget::CreateNew;
};

}  // namespace services
