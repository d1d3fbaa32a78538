#pragma once

// The password of the application database the program is built with (cache variable
// BACKUP_DATABASE_PASSWORD; the services password lives with the services components). It is compiled
// in scrambled form; each call returns the plain text, which the caller should keep no longer than it
// needs it.

#include <string>

namespace db {

// Password of the application database connection (IBODatabase).
std::string BackupDatabasePassword();

}  // namespace db
