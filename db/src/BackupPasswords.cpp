#include "BackupPasswords.h"

#include "platform/ScrambledText.h"

#ifndef BACKUP_DATABASE_PASSWORD
#error "BACKUP_DATABASE_PASSWORD must be defined by the build"
#endif

namespace db {

namespace {
constexpr auto kDatabasePassword = platform::Scramble(BACKUP_DATABASE_PASSWORD);
}  // namespace

std::string BackupDatabasePassword() {
  return platform::Unscramble(kDatabasePassword);
}

}  // namespace db
