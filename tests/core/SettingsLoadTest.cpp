#include <gtest/gtest.h>

#include <functional>

#include "core/SettingsLoad.h"
#include "db/BackupSettingsSource.h"
#include "platform/System.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FirebirdServer.h"

namespace testsupport {
namespace {

TEST(CoreSettingsLoad, OneAttemptThenTheConnectionIsClosedWhateverHappened) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions lacking;
  lacking.omitColumn = "TX_FTP_SENHA";
  struct Case {
    std::string location;
    std::function<void(db::BackupSettingsSource&)> prepare;
    core::SettingsLoadResult result;
    std::string message;  // the start of it
  };
  const Case cases[] = {
      {server.Location(CreateAppDatabase(server, "CORE_LOAD", FullRowOptions())), nullptr,
       core::SettingsLoadResult::Read, ""},
      {server.Location(CreateAppDatabase(server, "CORE_LOAD_COLUMN", lacking)), nullptr,
       core::SettingsLoadResult::NotRead, "tblBackup: Field 'TX_FTP_SENHA' not found"},
      {server.Location(CreateAppDatabase(server, "CORE_LOAD_LOGIN")),
       [](db::BackupSettingsSource& source) { source.IBODatabase.SetPassword("wrong password"); },
       core::SettingsLoadResult::LoginRefused, "Your user name and password are not defined."},
      {"localhost/" + std::to_string(FreeLoopbackPort()) + ":/nowhere/app.fdb", nullptr,
       core::SettingsLoadResult::ServerUnreachable, "Unable to complete network request to host"},
      {server.Location(server.DataDir() / "NONE.FDB"), nullptr, core::SettingsLoadResult::NotRead,
       "I/O error during \"open\" operation for file"},
  };
  for (const Case& c : cases) {
    db::BackupSettingsSource source(platform::Current());
    int ownAfterConnect = 0;
    source.IBODatabase.AfterConnect = [&](db::TIB_Connection*) { ++ownAfterConnect; };
    if (c.prepare) c.prepare(source);
    core::BackupSettings settings;
    settings.databaseLocation = c.location;
    settings.serverSystem = "Linux";
    const core::SettingsLoadOutcome outcome = core::LoadSettingsRow(source, settings);
    EXPECT_EQ(outcome.result, c.result) << c.location << ": " << outcome.message;
    EXPECT_TRUE(outcome.message.starts_with(c.message)) << outcome.message;
    EXPECT_FALSE(source.IBODatabase.Connected()) << c.location;
    ASSERT_TRUE(source.IBODatabase.AfterConnect) << "the source's own handler is back";
    source.IBODatabase.AfterConnect(nullptr);
    EXPECT_EQ(ownAfterConnect, 1);
    if (c.result != core::SettingsLoadResult::Read) continue;
    EXPECT_EQ(settings.scheduleTimes, (std::array<std::string, 4>{"08:00", "12:00", "18:30", ""}));
    EXPECT_EQ(settings.copyFolder, "/mnt/c\xC3\xB3pia/");
    EXPECT_EQ(settings.retentionDays, 12);
  }
}

}  // namespace
}  // namespace testsupport
