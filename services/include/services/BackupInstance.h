#pragma once

#include "services/RestoreService.h"
#include "services/TIBBackupService.h"

namespace services {

// Gives a backup component the fixed settings of the main window's Backup instance: Params
// "user_name=SYSDBA" and "password=<the services password the program is built with>", no login
// prompt, verbose output and the NoGarbageCollection option. The job sets DatabaseName, ServerName,
// BackupFile and Protocol per run.
void ApplyBackupInstanceSettings(TIBBackupService& backup);

// The restore that checks a backup attaches as the backup did (the backup component's Params), with
// verbose output, so that its lines keep a window responsive as the backup's do, and into a new
// database only: an existing file is never replaced.
void ApplyRestoreInstanceSettings(RestoreService& restore, const TIBBackupService& backup);

}  // namespace services
