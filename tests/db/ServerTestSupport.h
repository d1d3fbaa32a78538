#pragma once

// What the database tests against the private server share.

#include <string>

#include "BackupSettingsSource.h"
#include "tests/db/TestSystem.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

namespace db::testing {

// The six values the window copies from the settings row.
struct SettingsValues {
  std::string time1, time2, time3, time4, copyFolder;
  int days = -1;
};

// The window's components on a fixture database, with the test server's password.
struct SettingsFixture {
  explicit SettingsFixture(const std::string& databaseName,
                           const testsupport::AppDatabaseOptions& options = {});

  std::string location;
  BackupSettingsSource source{testing::Machine()};
  SettingsValues values;
  int afterConnectCalls = 0;

  // Wires AfterConnect as the window does: open, copy the six values, close, disconnect.
  void ReadSettingsOnConnect();
};

// A detached connection with the test server's user and password.
void UseTestServerLogin(TIB_Connection& connection);

}  // namespace db::testing
