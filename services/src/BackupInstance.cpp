#include "services/BackupInstance.h"

#include <string>

#include "platform/ScrambledText.h"

#ifndef BACKUP_SERVICE_PASSWORD
#error "BACKUP_SERVICE_PASSWORD must be defined by the build"
#endif

namespace services {

namespace {

// The SYSDBA password for the server's services manager (cache variable BACKUP_SERVICE_PASSWORD),
// compiled in scrambled form so that the plain text never reaches the binary.
constexpr auto kServicePassword = platform::Scramble(BACKUP_SERVICE_PASSWORD);

}  // namespace

void ApplyBackupInstanceSettings(TIBBackupService& backup) {
  std::string password = platform::Unscramble(kServicePassword);
  backup.SetParams({"user_name=SYSDBA", "password=" + password});
  // The Params line is the copy the attach needs; this one goes at once.
  for (char& c : password)
    c = '\0';
  backup.SetLoginPrompt(false);
  backup.SetVerbose(true);
  backup.SetBlockingFactor(0);
  backup.SetOptions({TBackupOption::NoGarbageCollection});
}

void ApplyRestoreInstanceSettings(RestoreService& restore, const TIBBackupService& backup) {
  restore.SetParams(backup.Params().Lines());
  restore.SetLoginPrompt(false);
  restore.SetVerbose(true);
  restore.SetTarget(RestoreTarget::CreateNew);
}

}  // namespace services
