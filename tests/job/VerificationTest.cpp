#include <gtest/gtest.h>

#include <algorithm>
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

// Cuts the file to a fraction of its length; with zeros, pads it back to its length after the cut.
void Cut(const std::string& file, double kept, bool zeros = false) {
  const auto length = fs::file_size(file);
  fs::resize_file(file, static_cast<std::uintmax_t>(static_cast<double>(length) * kept));
  if (zeros) fs::resize_file(file, length);
}

// What the private server makes of spoilt backups of a database whose last table holds most of its bytes,
// through the program's own services manager and application database: the in-memory server of the
// core's tests can only be told what to answer. A restore of a cut file ends without an error now and
// then, so each cut is checked over several runs.
TEST(VerificationTest, ARealRestoreAndCountTellAWholeBackupFromASpoiltOne) {
  FirebirdServer& server = FirebirdServer::Shared();
  struct Case {
    const char* name;
    std::function<void(const std::string& backup)> spoil;
    int runs;
    core::StepResult result;
    std::vector<std::string> problems;  // how it may start (UTF-8)
    bool transfer = false;              // sent to the program and fed back from it
  };
  const std::string restoreFailed = "a restaura\xC3\xA7\xC3\xA3o falhou: ";
  const Case cases[] = {
      {"untouched", nullptr, 1, core::StepResult::Done, {""}},
      {"the middle half's bytes flipped",
       [](const std::string& backup) { FlipBytes(backup, 0.25, 0.75); },
       1,
       core::StepResult::Failed,
       {restoreFailed}},
      {"the header's bytes flipped",
       [](const std::string& backup) { FlipBytes(backup, 0.0, 0.02); },
       1,
       core::StepResult::Failed,
       {restoreFailed}},
      {"cut at 60%, inside the last table's data",
       [](const std::string& backup) { Cut(backup, 0.6); },
       4,
       core::StepResult::Failed,
       {"o arquivo tem "}},
      {"cut at 99%",
       [](const std::string& backup) { Cut(backup, 0.99); },
       2,
       core::StepResult::Failed,
       {"o arquivo tem "}},
      // As long as the server wrote, so that only the restore and the rows can tell.
      {"cut at 60% and padded with zeros",
       [](const std::string& backup) { Cut(backup, 0.6, true); },
       4,
       core::StepResult::Failed,
       {restoreFailed, "a tabela DADOS_0 tem "}},
      {"sent to the program, untouched", nullptr, 1, core::StepResult::Done, {""}, true},
      // Fed from the program, the server notices the stream ending early, which a file does not tell it.
      {"sent to the program, the second half cut off",
       [](const std::string& backup) { fs::resize_file(backup, fs::file_size(backup) / 2); },
       1,
       core::StepResult::Failed,
       {restoreFailed + "Unexpected I/O error while reading from backup file"},
       true},
  };
  AppDatabaseOptions twoTables;
  twoTables.extraTables = 1;
  twoTables.rowsPerExtraTable = 200000;
  const std::string location = server.Location(CreateAppDatabase(server, "VERIFY_ROWS", twoTables));
  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  services::ServicesManager backupServer;
  db::ApplicationDatabase probe(clock);
  for (const Case& c : cases) {
    for (int run = 1; run <= c.runs; ++run) {
      SCOPED_TRACE(std::string(c.name) + ", run " + std::to_string(run));
      TempFolder folder;
      // The private server's password in place of the one the program is built with.
      WriteCredentialsFile(folder.Path() / "credenciais", std::string("Senha=") + FirebirdServer::kPassword);
      core::BackupSettings settings;
      settings.programFolder = folder.WithSeparator();
      settings.serverSystem = "Linux";
      settings.verifyBackup = true;
      settings.transferBackup = c.transfer;
      settings.verificationFolder = server.DataDir().string();
      settings.databaseLocation = location;
      core::Transcript transcript;
      SpoilingObserver observer;
      observer.spoil = c.spoil;
      const core::JobReport report = core::BackupJob(settings, core::JobPorts{backupServer, probe},
                                                     core::JobSystem::Of(clock), transcript, observer)
                                         .Run(false);
      EXPECT_EQ(report.verification, c.result) << transcript.Text();
      EXPECT_TRUE(std::any_of(c.problems.begin(), c.problems.end(), [&](const std::string& problem) {
        return report.verificationProblem.starts_with(problem);
      })) << report.verificationProblem;
      for (const auto& entry : fs::directory_iterator(folder.Path() / "backup"))
        EXPECT_FALSE(entry.path().filename().string().ends_with("_verificacao.fdb"))
            << "the scratch database goes";
      for (const auto& entry : fs::directory_iterator(server.DataDir()))
        EXPECT_FALSE(entry.path().filename().string().ends_with("_verificacao.fdb")) << entry.path();
    }
  }
}

}  // namespace
}  // namespace testsupport
