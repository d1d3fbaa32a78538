#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>

#include "core/BackupJob.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/CredentialsFile.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/FixedClockSystem.h"
#include "tests/support/LoopbackMonitor.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Lets the test touch the backup between its writing and its verification, and counts what it hears.
struct SpoilingObserver : core::JobObserver {
  void BackupWritten(const std::string& localBackupName) override {
    if (spoil) spoil(localBackupName);
  }
  void VerificationFailed(std::string_view why) override { failures.emplace_back(why); }
  void OutputLineRead(std::string_view) override { ++linesRead; }
  std::function<void(const std::string&)> spoil;
  std::vector<std::string> failures;
  int linesRead = 0;
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

// What a full disk or a cut-off copy leaves: the first half of the file.
void CutInHalf(const std::string& file) {
  fs::resize_file(file, fs::file_size(file) / 2);
}

// Last written on 1 January 2026, long before the job's clock (7 March 2026) less 7 days.
void MakeOld(const fs::path& file) {
  std::tm local{};
  local.tm_year = 2026 - 1900;
  local.tm_mday = 1;
  local.tm_isdst = -1;
  const struct timespec times[2] = {{0, UTIME_OMIT}, {std::mktime(&local), 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class VerificationTest : public ::testing::Test {
 protected:
  VerificationTest() {
    // The private server's password in place of the one the program is built with.
    services::ApplyBackupInstanceSettings(service);
    WriteCredentialsFile(folder.Path() / "credenciais", std::string("Senha=") + FirebirdServer::kPassword);
    settings.programFolder = folder.WithSeparator();
    settings.serverSystem = "Linux";
    settings.verifyBackup = true;
    settings.retentionDays = 7;
    settings.copyFolder = (folder.Path() / "copies").string() + "/";
    fs::create_directories(folder.Path() / "copies");
    // An expired file that only a clean-up after a good backup may delete.
    fs::create_directories(folder.Path() / "backup");
    std::ofstream(folder.Path() / "backup" / "OLD_20260101_2105.gbk") << "an older backup";
    MakeOld(folder.Path() / "backup" / "OLD_20260101_2105.gbk");
  }
  core::JobOutcome Run(const fs::path& database) {
    settings.databaseLocation = FirebirdServer::Shared().Location(database);
    core::BackupJob job(settings, service, transcript, observer);
    return job.Run(false);
  }
  std::string Log() const {
    std::ifstream in(folder.Path() / "backup" / "backup.txt", std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
  }
  bool ScratchLeft() const {
    for (const auto& entry : fs::directory_iterator(folder.Path() / "backup"))
      if (entry.path().filename().string().ends_with("_verificacao.fdb")) return true;
    return false;
  }

  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  TempFolder folder;
  core::BackupSettings settings;
  services::TIBBackupService service;
  core::Transcript transcript;
  SpoilingObserver observer;
};

TEST_F(VerificationTest, AGoodBackupRestoresAndVerifiesAndTheJobCarriesOnAsAlways) {
  LoopbackMonitor monitor("HTTP/1.1 200 OK");
  settings.monitorUrl = monitor.Url("/ping");
  const auto database = CreateAppDatabase(FirebirdServer::Shared(), "VERIFY_OK");
  ASSERT_EQ(Run(database), core::JobOutcome::Completed) << transcript.Text();
  const auto& lines = transcript.Lines();
  const auto verified = std::find(lines.begin(), lines.end(), "Backup verificado.");
  ASSERT_NE(verified, lines.end()) << transcript.Text();
  EXPECT_EQ(verified[-2],
            "Backup conclu\xED"
            "do.");
  EXPECT_EQ(verified[2], "Copiando o backup para " + settings.copyFolder + "VERIFY_OK_20260307_2105.gbk");
  EXPECT_NE(Log().find("Backup verificado.\r\n\r\n"), std::string::npos);
  EXPECT_TRUE(observer.failures.empty());
  EXPECT_GT(observer.linesRead, 60) << "the restore's lines paced the job like the backup's";
  EXPECT_FALSE(ScratchLeft());
  EXPECT_FALSE(fs::exists(folder.Path() / "backup" / "OLD_20260101_2105.gbk")) << "the clean-up ran";
  EXPECT_EQ(monitor.Requests().size(), 1u);
}

TEST_F(VerificationTest, AScratchFileLeftByACutOffCheckIsRemovedSoTheRestoreCanCreateIt) {
  const auto database = CreateAppDatabase(FirebirdServer::Shared(), "VERIFY_LEFT");
  // No database the server could open and drop: only removing the file makes room for the restore.
  std::ofstream(folder.Path() / "backup" / "VERIFY_LEFT_20260307_2105_verificacao.fdb") << "cut off";
  ASSERT_EQ(Run(database), core::JobOutcome::Completed) << transcript.Text();
  EXPECT_TRUE(observer.failures.empty());
  EXPECT_FALSE(ScratchLeft());
}

TEST_F(VerificationTest, ABackupThatDoesNotCheckOutFailsTheJobAndLeavesEveryOlderBackup) {
  FirebirdServer& server = FirebirdServer::Shared();
  struct Case {
    const char* name;
    std::function<void(const fs::path& database, const std::string& backup)> spoil;
    std::string line;  // how the block's line starts (code page 1252)
  };
  const Case cases[] = {
      {"the middle half's bytes flipped",
       [](const fs::path&, const std::string& backup) { FlipBytes(backup, 0.25, 0.75); },
       "Backup n\xE3o verificado: a restaura\xE7\xE3o falhou: "},
      {"the header's bytes flipped",
       [](const fs::path&, const std::string& backup) { FlipBytes(backup, 0.0, 0.02); },
       "Backup n\xE3o verificado: a restaura\xE7\xE3o falhou: "},
      // The server's restore reads a cut-off file to its end without a complaint: only the count of the
      // restored tables tells.
      {"the second half cut off", [](const fs::path&, const std::string& backup) { CutInHalf(backup); },
       "Backup n\xE3o verificado: a base restaurada tem 1 tabela e a de origem 2"},
      {"a table added to the source after its backup",
       [&](const fs::path& database, const std::string&) {
         ASSERT_EQ(server.RunIsql("CONNECT '" + server.Location(database) +
                                  "';\nCREATE TABLE LATE_TABLE (ID INTEGER);\nCOMMIT;\n"),
                   0);
       },
       "Backup n\xE3o verificado: a base restaurada tem 2 tabelas e a de origem 3"},
  };
  int number = 0;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    LoopbackMonitor monitor("HTTP/1.1 200 OK");
    settings.monitorUrl = monitor.Url("/ping");
    observer.failures.clear();
    const auto database = CreateAppDatabase(server, "VERIFY_BAD_" + std::to_string(++number));
    observer.spoil = [&](const std::string& backup) { c.spoil(database, backup); };
    ASSERT_EQ(Run(database), core::JobOutcome::Failed) << transcript.Text();
    const auto& lines = transcript.Lines();
    const auto line = std::find_if(lines.begin(), lines.end(),
                                   [&](const std::string& text) { return text.starts_with(c.line); });
    ASSERT_NE(line, lines.end()) << transcript.Text();
    EXPECT_NE(Log().find(*line + "\r\n"), std::string::npos) << "the log holds why";
    ASSERT_EQ(observer.failures.size(), 1u);
    EXPECT_FALSE(ScratchLeft()) << "the scratch database is dropped also when the check fails";
    EXPECT_TRUE(fs::exists(folder.Path() / "backup" / "OLD_20260101_2105.gbk"))
        << "no clean-up after a bad backup";
    EXPECT_TRUE(monitor.Requests().empty()) << "no heartbeat for a backup that did not verify";
    EXPECT_EQ(lines.back(), std::string(68, '-')) << "the block still ends as a block";
  }
}

}  // namespace
}  // namespace testsupport
