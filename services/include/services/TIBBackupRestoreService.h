#pragma once

#include <string>

#include "services/LineList.h"
#include "services/TIBControlAndQueryService.h"

namespace services {

// What backup and restore requests share: the database on the server, the backup file list, the
// verbose switch and the start request as built.
class TIBBackupRestoreService : public TIBControlAndQueryService {
 public:
  // The backup file(s) as the server names them; what a line may carry is the request's own rule.
  LineList& BackupFile() { return backupFile_; }
  const LineList& BackupFile() const { return backupFile_; }

  const std::string& DatabaseName() const { return databaseName_; }
  void SetDatabaseName(const std::string& databaseName) { databaseName_ = databaseName; }

  bool Verbose() const { return verbose_; }
  void SetVerbose(bool verbose) { verbose_ = verbose; }

  // The start request as built, for inspection before ServiceStart sends (and empties) it.
  const std::string& StartRequest() const { return startRequest_; }

 private:
  LineList backupFile_;
  std::string databaseName_;
  bool verbose_ = false;
};

}  // namespace services
