#include "db/BackupPasswords.h"

#include "platform/ScrambledText.h"

#ifndef BACKUP_DATABASE_PASSWORD
#error "BACKUP_DATABASE_PASSWORD must be defined by the build"
#endif
#ifndef BACKUP_SERVICE_PASSWORD
#error "BACKUP_SERVICE_PASSWORD must be defined by the build"
#endif

namespace db {

namespace {
constexpr auto kDatabasePassword = platform::Scramble(BACKUP_DATABASE_PASSWORD);
constexpr auto kServicePassword = platform::Scramble(BACKUP_SERVICE_PASSWORD);
}  // namespace

std::string BackupDatabasePassword() {
  return platform::Unscramble(kDatabasePassword);
}
std::string BackupServicePassword() {
  return platform::Unscramble(kServicePassword);
}

}  // namespace db
