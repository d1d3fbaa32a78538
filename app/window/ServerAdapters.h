#pragma once

#include "core/BackupRun.h"
#include "db/ApplicationDatabase.h"
#include "services/ServicesManager.h"

namespace app {

// The database server as the program reaches it: the backup service through the services manager, the
// settings row and the check's probe through the application database.
class ServerAdapters {
 public:
  core::RunPorts Ports() { return {database_, server_, database_}; }

 private:
  services::ServicesManager server_;
  db::ApplicationDatabase database_;
};

}  // namespace app
