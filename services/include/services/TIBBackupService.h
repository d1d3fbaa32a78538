#pragma once

#include <cstdint>
#include <string>

#include "services/TBackupOptions.h"
#include "services/TIBBackupRestoreService.h"
#include "services/TStringList.h"

namespace services {

// Backs up a database on the server: DatabaseName is its path there, BackupFile the target file(s),
// each line a path or "path=length" (length in bytes of that file).
class TIBBackupService : public TIBBackupRestoreService {
 public:
  TStringList& BackupFile() { return backupFile_; }
  const TStringList& BackupFile() const { return backupFile_; }

  std::int32_t BlockingFactor() const { return blockingFactor_; }
  void SetBlockingFactor(std::int32_t blockingFactor) { blockingFactor_ = blockingFactor; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& databaseName) { databaseName_ = databaseName; }

  TBackupOptions Options() const { return options_; }
  void SetOptions(TBackupOptions options) { options_ = options; }

  // Client error 94 for an empty DatabaseName (before anything changes); EConvertError for a length
  // that is not an integer.
  void BuildStartRequest() override;

  // The start request as built, for inspection before ServiceStart sends (and empties) it.
  const std::string& StartRequest() const { return startRequest_; }

 private:
  TStringList backupFile_;
  std::int32_t blockingFactor_ = 0;
  std::string databaseName_;
  TBackupOptions options_;
};

}  // namespace services
