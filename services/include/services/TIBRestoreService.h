#pragma once

#include <cstdint>
#include <string>

#include "services/TIBBackupRestoreService.h"
#include "services/TStringList.h"

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
  TStringList& BackupFile() { return backupFile_; }
  const TStringList& BackupFile() const { return backupFile_; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& databaseName) { databaseName_ = databaseName; }

  TRestoreTarget Target() const { return target_; }
  void SetTarget(TRestoreTarget target) { target_ = target; }

  // Client error 94 for an empty DatabaseName or no backup file (before anything changes). Lines of
  // BackupFile that are blank are skipped; the others are sent as they stand.
  void BuildStartRequest() override;

  // The start request as built, for inspection before ServiceStart sends (and empties) it.
  const std::string& StartRequest() const { return startRequest_; }

 private:
  TStringList backupFile_;
  std::string databaseName_;
  TRestoreTarget target_ = TRestoreTarget::CreateNew;
};

}  // namespace services
