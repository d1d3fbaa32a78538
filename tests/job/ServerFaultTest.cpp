#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

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

// Stops the server once the job has read so many of its lines, or of the pieces of a backup sent to it.
struct KillingObserver : core::JobObserver {
  void OutputLineRead(std::string_view) override { Read(); }
  void BackupDataRead() override { Read(); }
  void Read() {
    if (++lines == killAt && server->Running()) server->Stop();
  }
  FirebirdServer* server = nullptr;
  int killAt = 0;
  int lines = 0;
};

// A server of its own that goes down during a job and at its start: the adapters' account of how far the
// backup got decides whether the file under the backup's name is removed. Sent to the program, the backup
// never has that name before it is whole, and what a killed job left under its own name goes next time.
TEST(JobAgainstTheServer, AServerGoneLeavesNoBackupBehindAndTheNextJobSucceeds) {
  for (const bool transfer : {false, true}) {
    SCOPED_TRACE(transfer ? "sent to the program" : "written by the server");
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
    settings.transferBackup = transfer;
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
    const fs::path part = folder.Path() / "backup" / "GONE_20260307_2105.gbk.part";
    const std::string failed =
        "Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
        "do.";

    observer.killAt = transfer ? 3 : 60;
    core::JobReport report = run();
    EXPECT_EQ(report.stop, core::StopReason::BackupFailed) << transcript.Text();
    EXPECT_GE(observer.lines, observer.killAt) << "what came before the failure was read";
    EXPECT_NE(transcript.Text().find(failed), std::string::npos) << transcript.Text();
    EXPECT_FALSE(fs::exists(backup)) << "no partial backup may pass for a backup";
    EXPECT_FALSE(fs::exists(part));

    // Down at the start: the server's own text, and nothing written.
    report = run();
    EXPECT_EQ(report.stop, core::StopReason::BackupFailed);
    EXPECT_TRUE(report.error.starts_with("Unable to complete network request to host")) << report.error;
    EXPECT_FALSE(fs::exists(backup));

    // As a job killed with its program leaves it.
    const fs::path abandoned = folder.Path() / "backup" / "GONE_20260306_2105.gbk.part";
    std::ofstream(abandoned) << "half a backup";
    server.Start();
    observer.killAt = 0;
    EXPECT_TRUE(run().BackupMade()) << transcript.Text();
    EXPECT_TRUE(fs::exists(backup));
    EXPECT_EQ(fs::exists(abandoned), !transfer) << "only the mode that writes parts looks for them";
  }
}

}  // namespace
}  // namespace testsupport
