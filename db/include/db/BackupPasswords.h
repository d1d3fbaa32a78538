#pragma once

// The two passwords the program is built with (cache variables BACKUP_DATABASE_PASSWORD and
// BACKUP_SERVICE_PASSWORD). They are compiled in scrambled form; each call returns the plain text,
// which the caller should keep no longer than it needs it.

#include <string>

namespace db {

// Password of the application database connection (IBODatabase).
std::string BackupDatabasePassword();
// SYSDBA password for the server's services manager (the backup service).
std::string BackupServicePassword();

}  // namespace db
