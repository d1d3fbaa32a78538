#pragma once

#include "services/TIBBackupService.h"

namespace services {

// Gives a backup component the fixed settings of the main window's Backup instance: Params
// "user_name=SYSDBA" and "password=<the services password the program is built with>", no login
// prompt, verbose output and the NoGarbageCollection option. The job sets DatabaseName, ServerName,
// BackupFile and Protocol per run.
void ApplyBackupInstanceSettings(TIBBackupService& backup);

}  // namespace services
