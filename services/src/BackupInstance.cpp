#include "services/BackupInstance.h"

#include <string>
#include <vector>

#include "platform/ScrambledText.h"
#include "platform/Wipe.h"

#ifndef BACKUP_SERVICE_PASSWORD
#error "BACKUP_SERVICE_PASSWORD must be defined by the build"
#endif

namespace services {

namespace {

// The SYSDBA password for the server's services manager (cache variable BACKUP_SERVICE_PASSWORD),
// compiled in scrambled form so that the plain text never reaches the binary.
constexpr auto kServicePassword = platform::Scramble(BACKUP_SERVICE_PASSWORD);

}  // namespace

void SetBuiltInServiceLogin(TIBBackupService& backup) {
  std::string password = platform::Unscramble(kServicePassword);
  SetServiceLogin(backup, "SYSDBA", password);
  platform::WipeString(password);
}

void SetServiceLogin(TIBBackupService& backup, std::string_view user, std::string_view password) {
  // Each line is built in place and moved into Params: the password leaves no copy behind on the way.
  constexpr std::string_view kUser = "user_name=";
  constexpr std::string_view kPassword = "password=";
  std::vector<std::string> lines(2);
  lines[0].reserve(kUser.size() + user.size());
  lines[0].append(kUser).append(user);
  lines[1].reserve(kPassword.size() + password.size());
  lines[1].append(kPassword).append(password);
  backup.SetParams(std::move(lines));
}

void ApplyBackupInstanceSettings(TIBBackupService& backup) {
  SetBuiltInServiceLogin(backup);
  backup.SetLoginPrompt(false);
  backup.SetVerbose(true);
  backup.SetBlockingFactor(0);
  backup.SetOptions({TBackupOption::NoGarbageCollection});
}

void ApplyWithoutLinesSettings(TIBBackupService& backup) {
  ApplyBackupInstanceSettings(backup);
  backup.SetVerbose(false);
}

void ApplyTransferSettings(TIBBackupService& backup) {
  ApplyBackupInstanceSettings(backup);
  backup.SetVerbose(false);
  backup.BackupFile().Assign({kToProgram});
}

void ApplyRestoreInstanceSettings(RestoreService& restore, const TIBBackupService& backup) {
  restore.SetParams(backup.Params().Lines());
  restore.SetLoginPrompt(false);
  restore.SetVerbose(true);
  restore.SetTarget(RestoreTarget::CreateNew);
}

}  // namespace services
