#include "core/ServerLogin.h"

#include <exception>

#include "db/BackupSettingsSource.h"
#include "platform/Wipe.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"

namespace core {

void UseServiceLogin(const Credentials& credentials, services::TIBBackupService& service) {
  if (credentials.service) {
    services::SetServiceLogin(service, credentials.service->user, credentials.service->password.View());
  } else {
    services::SetBuiltInServiceLogin(service);
  }
}

void UseDatabaseLogin(const Credentials& credentials, db::BackupSettingsSource& source) {
  UseDatabaseLogin(credentials.database, source);
}

void UseDatabaseLogin(const std::optional<ServerLogin>& login, db::BackupSettingsSource& source) {
  if (!login) {
    source.UseBuiltInLogin();
    return;
  }
  source.IBODatabase.SetUsername(login->user);
  std::string password(login->password.View());
  source.IBODatabase.SetPassword(password);
  platform::WipeString(password);
}

void ForgetDatabaseLogin(db::BackupSettingsSource& source) {
  if (source.IBODatabase.Connected()) return;
  source.IBODatabase.SetPassword({});
}

ServiceLoginWiped::~ServiceLoginWiped() {
  service_.WipeParams();
}

}  // namespace core
