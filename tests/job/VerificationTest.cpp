#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>

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

// Lets the test touch the backup between its writing and its verification.
struct SpoilingObserver : core::JobObserver {
  void BackupWritten(const std::string& localBackupName) override {
    if (spoil) spoil(localBackupName);
  }
  std::function<void(const std::string&)> spoil;
};

// Turns every byte from first to last (fractions of the file's length) around.
void FlipBytes(const std::string& file, double first, double last) {
  std::fstream stream(file, std::ios::in | std::ios::out | std::ios::binary);
  std::string bytes((std::istreambuf_iterator<char>(stream)), {});
  ASSERT_GT(bytes.size(), 1000u);
  const auto from = static_cast<std::size_t>(static_cast<double>(bytes.size()) * first);
  const auto to = static_cast<std::size_t>(static_cast<double>(bytes.size()) * last);
  for (std::size_t i = from; i < to; ++i)
    bytes[i] = static_cast<char>(~bytes[i]);
  stream.seekp(0);
  stream.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

// What the private server makes of spoilt backups, through the program's own services manager and
// application database: the in-memory server of the core's tests can only be told what to answer.
TEST(VerificationTest, ARealRestoreAndCountTellAGoodBackupFromASpoiltOne) {
  FirebirdServer& server = FirebirdServer::Shared();
  struct Case {
    const char* name;
    std::function<void(const std::string& backup)> spoil;
    core::StepResult result;
    std::string problem;    // how it starts (UTF-8)
    bool transfer = false;  // sent to the program and fed back from it
  };
  const Case cases[] = {
      {"untouched", nullptr, core::StepResult::Done, ""},
      {"the middle half's bytes flipped", [](const std::string& backup) { FlipBytes(backup, 0.25, 0.75); },
       core::StepResult::Failed, "a restaura\xC3\xA7\xC3\xA3o falhou: "},
      {"the header's bytes flipped", [](const std::string& backup) { FlipBytes(backup, 0.0, 0.02); },
       core::StepResult::Failed, "a restaura\xC3\xA7\xC3\xA3o falhou: "},
      // The server's restore reads a cut-off file to its end without a complaint: only the count tells.
      {"the second half cut off",
       [](const std::string& backup) { fs::resize_file(backup, fs::file_size(backup) / 2); },
       core::StepResult::Failed, "a base restaurada tem 1 tabela e a de origem 2"},
      {"sent to the program, untouched", nullptr, core::StepResult::Done, "", true},
      // Fed from the program, the server notices the stream ending early, which a file does not tell it.
      {"sent to the program, the second half cut off",
       [](const std::string& backup) { fs::resize_file(backup, fs::file_size(backup) / 2); },
       core::StepResult::Failed,
       "a restaura\xC3\xA7\xC3\xA3o falhou: Unexpected I/O error while reading from backup file", true},
  };
  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  services::ServicesManager backupServer;
  db::ApplicationDatabase probe(clock);
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TempFolder folder;
    // The private server's password in place of the one the program is built with.
    WriteCredentialsFile(folder.Path() / "credenciais", std::string("Senha=") + FirebirdServer::kPassword);
    core::BackupSettings settings;
    settings.programFolder = folder.WithSeparator();
    settings.serverSystem = "Linux";
    settings.verifyBackup = true;
    settings.transferBackup = c.transfer;
    settings.verificationFolder = server.DataDir().string();
    settings.databaseLocation =
        server.Location(CreateAppDatabase(server, "VERIFY_" + std::to_string(++number)));
    core::Transcript transcript;
    SpoilingObserver observer;
    observer.spoil = c.spoil;
    const core::JobReport report = core::BackupJob(settings, core::JobPorts{backupServer, probe},
                                                   core::JobSystem::Of(clock), transcript, observer)
                                       .Run(false);
    EXPECT_EQ(report.verification, c.result) << transcript.Text();
    EXPECT_TRUE(report.verificationProblem.starts_with(c.problem)) << report.verificationProblem;
    for (const auto& entry : fs::directory_iterator(folder.Path() / "backup"))
      EXPECT_FALSE(entry.path().filename().string().ends_with("_verificacao.fdb"))
          << "the scratch database goes";
    for (const auto& entry : fs::directory_iterator(server.DataDir()))
      EXPECT_FALSE(entry.path().filename().string().ends_with("_verificacao.fdb")) << entry.path();
  }
}

}  // namespace
}  // namespace testsupport
