#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "core/BackupJob.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"
#include "tests/double/ScopedClientDouble.h"
#include "tests/support/FixedClockSystem.h"
#include "tests/support/TempFolder.h"

namespace testsupport {

// Jobs of the main window's Backup instance against the client double, which answers the services
// manager without a server and fails the call a test chooses, at a fixed clock in a folder of their own.
class DoubleJobTest : public ::testing::Test {
 protected:
  DoubleJobTest() {
    services::ApplyBackupInstanceSettings(*service);
    settings.programFolder = folder.WithSeparator();
    settings.databaseLocation = "dbhost:/dados/APP.FDB";
    settings.serverSystem = "Linux";
  }

  // Declared first: the double is bound before the service exists and undone after it is gone.
  fbdouble::ScopedClientDouble client_;
  fbdouble::Control* control_ = &client_.Double();
  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  TempFolder folder;
  core::BackupSettings settings;
  std::unique_ptr<services::TIBBackupService> service = std::make_unique<services::TIBBackupService>();
  core::Transcript transcript;
};

}  // namespace testsupport
