#include <gtest/gtest.h>

#include "core/BackupRun.h"
#include "core/SettingsLoad.h"
#include "tests/core/JobFixture.h"

namespace testsupport {
namespace {

core::AttachError Refusal(core::AttachFailure failure) {
  return {failure,
          {"Unable to complete network request to host \"dbhost\".", "Failed to establish a connection."}};
}

// Hears every attempt, and makes another one until the given number have failed.
struct CountingAttempts : core::SettingsSource::Attempts {
  void Attached(const std::string& databaseName) override { attached.push_back(databaseName); }
  bool AttemptFailed(const core::AttachError& error) override {
    failures.push_back(error.failure);
    return static_cast<int>(failures.size()) < retries + 1;
  }
  int retries = 0;
  std::vector<std::string> attached;
  std::vector<core::AttachFailure> failures;
};

TEST(SettingsLoad, TheOutcomeTellsHowTheReadingEndedAndOnlyARowChangesTheSettings) {
  struct Case {
    std::vector<core::AttachError> failures;
    std::optional<std::string> queryError;
    core::SettingsLoadResult result;
    std::string message;
  };
  const std::string words =
      "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection.";
  const Case cases[] = {
      {{}, std::nullopt, core::SettingsLoadResult::Read, ""},
      {{Refusal(core::AttachFailure::AddressNotFound)},
       std::nullopt,
       core::SettingsLoadResult::ServerUnreachable,
       words},
      {{Refusal(core::AttachFailure::ServerUnreachable)},
       std::nullopt,
       core::SettingsLoadResult::ServerUnreachable,
       words},
      {{Refusal(core::AttachFailure::LoginRefused)},
       std::nullopt,
       core::SettingsLoadResult::LoginRefused,
       words},
      {{Refusal(core::AttachFailure::Other)}, std::nullopt, core::SettingsLoadResult::Refused, words},
      {{},
       "tblBackup: Field 'TX_FTP_SENHA' not found",
       core::SettingsLoadResult::Failed,
       "tblBackup: Field 'TX_FTP_SENHA' not found"},
      {{}, "Sess\xE3o", core::SettingsLoadResult::Failed, "Sess\xC3\xA3o"},
  };
  for (const Case& c : cases) {
    fakes::FakeServer server;
    server.attachFailures = c.failures;
    server.queryError = c.queryError;
    server.row = {{"08:00", "12:00", "18:30", ""}, "/mnt/c\xF3pia/", 12};
    core::BackupSettings settings;
    settings.databaseLocation = "dbhost:/dados/APP.FDB";
    settings.serverSystem = "Linux";
    const core::SettingsLoadOutcome outcome = core::LoadSettingsRow(server, settings, std::nullopt);
    EXPECT_EQ(outcome.result, c.result) << outcome.message;
    EXPECT_EQ(outcome.message, c.message);
    EXPECT_EQ(server.attemptsMade, 1) << "one attempt: a timer tries again later";
    const bool read = c.result == core::SettingsLoadResult::Read;
    const std::array<std::string, 4> times =
        read ? std::array<std::string, 4>{"08:00", "12:00", "18:30", ""} : std::array<std::string, 4>{};
    EXPECT_EQ(settings.scheduleTimes, times);
    // The row holds code page 1252; the program keeps the folder as the file system names it.
    EXPECT_EQ(settings.copyFolder, read ? "/mnt/c\xC3\xB3pia/" : "");
    EXPECT_EQ(settings.retentionDays, read ? 12 : 0);
  }
}

TEST(SettingsLoad, AChainOfAttemptsReadsTheRowOnceInItsLastAndTellsTheLastFailure) {
  fakes::FakeServer server;
  server.attachFailures = {Refusal(core::AttachFailure::ServerUnreachable),
                           Refusal(core::AttachFailure::ServerUnreachable)};
  server.row.retentionDays = 3;
  core::BackupSettings settings;
  settings.databaseLocation = "srv:C:\\Dados\\Sess\xC3\xA3o.FDB";  // UTF-8 in sistema.ini
  CountingAttempts attempts;
  attempts.retries = 2;
  EXPECT_EQ(core::LoadSettingsRow(server, settings, std::nullopt, attempts).result,
            core::SettingsLoadResult::Read);
  EXPECT_EQ(server.attemptsMade, 3);
  EXPECT_EQ(settings.retentionDays, 3);
  EXPECT_EQ(server.locationsRead, std::vector<std::string>{"srv:C:\\Dados\\Sess\xE3o.FDB"})
      << "a Windows server is asked in its own spelling";
  EXPECT_EQ(attempts.attached, std::vector<std::string>{"srv:C:\\Dados\\Sess\xE3o.FDB"});

  server.attemptsMade = 0;
  server.attachFailures = {Refusal(core::AttachFailure::ServerUnreachable),
                           Refusal(core::AttachFailure::LoginRefused)};
  CountingAttempts giving;
  giving.retries = 1;
  EXPECT_EQ(core::LoadSettingsRow(server, settings, std::nullopt, giving).result,
            core::SettingsLoadResult::LoginRefused);
  EXPECT_EQ(giving.failures, (std::vector<core::AttachFailure>{core::AttachFailure::ServerUnreachable,
                                                               core::AttachFailure::LoginRefused}));
}

// Whole runs as the runner makes them: sistema.ini, the settings row, the job.
class RunOnceTest : public JobTest {
 protected:
  core::JobReport RunOnce() {
    core::BackupSettings run;
    run.programFolder = folder.WithSeparator();
    const core::JobReport report =
        core::RunOnce(run, server.Ports(), core::JobSystem::Of(clock), transcript, observer);
    settings = run;
    return report;
  }
};

TEST_F(RunOnceTest, ARunStopsBeforeTheJobAtTheFirstThingMissing) {
  struct Case {
    const char* ini;
    std::vector<core::AttachError> failures;
    core::StopReason stop;
    std::string error;
  };
  const Case cases[] = {
      {nullptr, {}, core::StopReason::NoDatabaseLocation, ""},
      {"[Dados]\nDir=\n", {}, core::StopReason::NoDatabaseLocation, ""},
      {"[Dados]\nDir=dbhost:/dados/APP.FDB\n",
       {Refusal(core::AttachFailure::AddressNotFound)},
       core::StopReason::ServerUnreachable,
       "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection."},
      {"[Dados]\nDir=dbhost:/dados/APP.FDB\n",
       {{core::AttachFailure::LoginRefused, {"Your user name and password are not defined."}}},
       core::StopReason::LoginRefused,
       "Your user name and password are not defined."},
      {"[Dados]\nDir=dbhost:/dados/APP.FDB\n",
       {{core::AttachFailure::Other, {"I/O error"}}},
       core::StopReason::SettingsNotRead,
       "I/O error"},
  };
  for (const Case& c : cases) {
    std::filesystem::remove(folder.Path() / "sistema.ini");
    if (c.ini != nullptr) folder.Write("sistema.ini", c.ini);
    server.attachFailures = c.failures;
    server.attemptsMade = 0;
    const core::JobReport report = RunOnce();
    EXPECT_EQ(report.stop, c.stop) << (c.ini ? c.ini : "no sistema.ini");
    EXPECT_EQ(report.error, c.error);
    EXPECT_EQ(server.attemptsMade, static_cast<int>(c.failures.size()));
    EXPECT_TRUE(server.calls.empty());
    EXPECT_FALSE(std::filesystem::exists(BackupFolder()));
  }
}

TEST_F(RunOnceTest, ARunReadsTheSettingsAndMakesTheAutomaticJob) {
  folder.Write("sistema.ini",
               "[Dados]\r\nDir=dbhost:/dados/APP.FDB\r\n[Backup]\r\nSistema=Linux\r\nVerificar=1\r\n");
  server.row.copyFolder = ProgramPath(folder.Path() / "copies") + "/";
  const core::JobReport report = RunOnce();
  EXPECT_EQ(report.stop, core::StopReason::None);
  EXPECT_TRUE(report.BackupMade());
  EXPECT_EQ(report.verification, core::StepResult::Done);
  EXPECT_EQ(report.copy, core::StepResult::Failed) << "a copy folder from the row, which does not exist";
  EXPECT_TRUE(std::filesystem::exists(Backup()));
  EXPECT_FALSE(HasLine("gbak: writing data for table SIS_BACKUP"))
      << "the server's lines stay out of the block";
  EXPECT_EQ(observer.lines.front(), "gbak: writing data for table SIS_BACKUP");
}

}  // namespace
}  // namespace testsupport
