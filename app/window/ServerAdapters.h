#pragma once

#include "core/BackupRun.h"
#include "db/ApplicationDatabase.h"
#include "services/ServicesManager.h"

namespace app {

// The database server as the program reaches it: the backup service through the services manager, the
// settings row and the check's probe through the application database.
class ServerAdapters {
 public:
  // The settings row's and the probe's connections ask the system only through the one handed in.
  explicit ServerAdapters(const db::ConnectionSystem& system) : database_(system) {}

  core::RunPorts Ports() { return {database_, server_, database_}; }

 private:
  services::ServicesManager server_;
  db::ApplicationDatabase database_;
};

}  // namespace app
