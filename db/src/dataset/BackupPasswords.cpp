#include "db/BackupPasswords.h"

#include "connection/ScrambledText.h"

#ifndef BACKUP_DATABASE_PASSWORD
#error "BACKUP_DATABASE_PASSWORD must be defined by the build"
#endif
#ifndef BACKUP_SERVICE_PASSWORD
#error "BACKUP_SERVICE_PASSWORD must be defined by the build"
#endif

namespace db {

namespace {
constexpr auto kDatabasePassword = Scramble(BACKUP_DATABASE_PASSWORD);
constexpr auto kServicePassword = Scramble(BACKUP_SERVICE_PASSWORD);
}  // namespace

std::string BackupDatabasePassword() {
  return Unscramble(kDatabasePassword);
}
std::string BackupServicePassword() {
  return Unscramble(kServicePassword);
}

}  // namespace db
