#include "services/BackupInstance.h"

namespace services {

void ApplyBackupInstanceSettings(TIBBackupService& backup, const std::string& servicePassword) {
  backup.SetParams({"user_name=SYSDBA", "password=" + servicePassword});
  backup.SetLoginPrompt(false);
  backup.SetVerbose(true);
  backup.SetBlockingFactor(0);
  backup.SetOptions({TBackupOption::NoGarbageCollection});
}

}  // namespace services
