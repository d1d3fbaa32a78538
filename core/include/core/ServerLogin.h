#pragma once

// Gives the components that attach to the server the login of the credentials file, or the built-in one
// when the file gives none, right before they attach; and takes it away again once the attach is done.

#include "core/Credentials.h"

namespace services {
class TIBBackupService;
}
namespace db {
struct BackupSettingsSource;
}

namespace core {

// The services manager's login, in the component's Params.
void UseServiceLogin(const Credentials& credentials, services::TIBBackupService& service);
// The application database's login, in the connection's user name and password.
void UseDatabaseLogin(const Credentials& credentials, db::BackupSettingsSource& source);
// A database opened with a pair of the file (the built-in login when it gives none).
void UseDatabaseLogin(const std::optional<ServerLogin>& login, db::BackupSettingsSource& source);
// Empties the connection's password once the settings row has been read (a connection left attached
// keeps it until it is set again).
void ForgetDatabaseLogin(db::BackupSettingsSource& source);

// Wipes the services component's Params when it goes out of scope, however the job that attached ends.
class ServiceLoginWiped {
 public:
  explicit ServiceLoginWiped(services::TIBBackupService& service) : service_(service) {}
  ~ServiceLoginWiped();
  ServiceLoginWiped(const ServiceLoginWiped&) = delete;
  ServiceLoginWiped& operator=(const ServiceLoginWiped&) = delete;

 private:
  services::TIBBackupService& service_;
};

}  // namespace core
