#include <gtest/gtest.h>

#include <filesystem>

#include "core/BackupJob.h"
#include "db/ApplicationDatabase.h"
#include "services/ServicesManager.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/CredentialsFile.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/FixedClockSystem.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Stops the server once the job has read so many of its lines.
struct KillingObserver : core::JobObserver {
  void OutputLineRead(std::string_view) override {
    if (++lines == killAt && server->Running()) server->Stop();
  }
  FirebirdServer* server = nullptr;
  int killAt = 0;
  int lines = 0;
};

// A server of its own that goes down during a job and at its start: the adapters' account of how far the
// backup got decides whether the file under the backup's name is removed.
TEST(JobAgainstTheServer, AServerGoneLeavesNoBackupBehindAndTheNextJobSucceeds) {
  FirebirdServer server;
  AppDatabaseOptions options;
  options.extraTables = 40;
  options.rowsPerExtraTable = 300;
  const fs::path database = CreateAppDatabase(server, "GONE", options);
  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  TempFolder folder;
  WriteCredentialsFile(folder.Path() / "credenciais", std::string("Senha=") + FirebirdServer::kPassword);
  core::BackupSettings settings;
  settings.programFolder = folder.WithSeparator();
  settings.databaseLocation = server.Location(database);
  settings.serverSystem = "Linux";
  services::ServicesManager backupServer;
  db::ApplicationDatabase probe(clock);
  core::Transcript transcript;
  KillingObserver observer;
  observer.server = &server;
  const auto run = [&] {
    observer.lines = 0;
    return core::BackupJob(settings, core::JobPorts{backupServer, probe}, core::JobSystem::Of(clock),
                           transcript, observer)
        .Run(true);
  };
  const fs::path backup = folder.Path() / "backup" / "GONE_20260307_2105.gbk";

  observer.killAt = 60;
  core::JobReport report = run();
  EXPECT_EQ(report.stop, core::StopReason::BackupFailed) << transcript.Text();
  EXPECT_GE(observer.lines, 60) << "the lines before the failure were read";
  EXPECT_FALSE(fs::exists(backup)) << "no partial backup may pass for a backup";

  // Down at the start: the server's own text, and nothing written.
  report = run();
  EXPECT_EQ(report.stop, core::StopReason::BackupFailed);
  EXPECT_TRUE(report.error.starts_with("Unable to complete network request to host")) << report.error;
  EXPECT_FALSE(fs::exists(backup));

  server.Start();
  observer.killAt = 0;
  EXPECT_TRUE(run().BackupMade()) << transcript.Text();
  EXPECT_TRUE(fs::exists(backup));
}

}  // namespace
}  // namespace testsupport
