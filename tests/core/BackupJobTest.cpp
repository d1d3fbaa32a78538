#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <fstream>
#include <system_error>

#include "core/TextEncoding.h"
#include "tests/core/JobFixture.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::string kDashes(68, '-');
const std::string kDone =
    "Backup conclu\xED"
    "do.";

TEST_F(JobTest, TheBlockHoldsTheJobsOwnLinesAndTheServersOnlyWhenShown) {
  server.backupLines = {"gbak: readied database", "gbak: writing data for table SIS_BACKUP"};
  const std::string target = folder.WithSeparator() + "backup/APP_20260307_2105.gbk";
  // What the output area held before is not this job's: its block, and so its log, start afresh.
  transcript.Add("a line of the job before");
  for (const bool shown : {false, true}) {
    SCOPED_TRACE(shown ? "manual" : "automatic");
    std::vector<std::string> expected = {"Backup iniciado em 07/03/2026 21:05:59", "",
                                         "Realizando o backup para " + target, ""};
    if (shown)
      expected.insert(expected.end(),
                      {"gbak: readied database", "gbak: writing data for table SIS_BACKUP", ""});
    expected.insert(expected.end(), {kDone, "", "Backup encerrado em 07/03/2026 21:05:59", "", kDashes});
    std::filesystem::remove(BackupFolder() / "backup.txt");
    observer = {};
    const core::JobReport report = Run(shown);
    EXPECT_EQ(transcript.Lines(), expected);
    EXPECT_EQ(Log(), transcript.Text() + "\r\n");
    // Every server line paced the progress and reached the observer, shown or not.
    EXPECT_EQ(observer.lines, (std::vector<std::string>{"gbak: readied database",
                                                        "gbak: writing data for table SIS_BACKUP", ""}));
    EXPECT_EQ(observer.advances, 3);
    EXPECT_EQ(observer.maximums, (std::vector<int>{15000, 100}));
    EXPECT_EQ(observer.fills, 2);
    EXPECT_EQ(observer.changes, static_cast<int>(expected.size()));
    EXPECT_EQ(observer.statuses, (std::vector<std::string>{"Realizando o Backup"}));
    EXPECT_EQ(report.stop, core::StopReason::None);
    EXPECT_TRUE(report.written);
    EXPECT_TRUE(report.BackupMade());
    EXPECT_EQ(report.verification, core::StepResult::NotAsked);
    EXPECT_EQ(report.copy, core::StepResult::NotAsked);
    EXPECT_EQ(report.monitor, core::StepResult::NotAsked);
    EXPECT_FALSE(report.cleanedUp) << "no retention days, no clean-up";
  }
  ASSERT_EQ(server.calls.size(), 2u);
  EXPECT_EQ(server.calls[0].serverName, "dbhost");
  EXPECT_EQ(server.calls[0].from, "/dados/APP.FDB");
  EXPECT_EQ(server.calls[0].to, target);
}

TEST_F(JobTest, AWindowsServerIsSentItsOwnSpellingOfTheNames) {
  settings.serverSystem = "Windows";
  settings.databaseLocation =
      "srv:C:\\Dados\\A\xC3\xA7\xC3\xBA"
      "car.FDB";
  Run();
  ASSERT_EQ(server.calls.size(), 1u);
  EXPECT_EQ(server.calls[0].serverName, "srv");
  EXPECT_EQ(server.calls[0].from,
            "C:\\Dados\\A\xE7\xFA"
            "car.FDB")
      << "code page 1252";
  EXPECT_EQ(server.calls[0].to, folder.WithSeparator() +
                                    "backup\\A\xE7\xFA"
                                    "car_20260307_2105.gbk");
}

TEST_F(JobTest, AFailedBackupEndsTheBlockWithTheServersErrorAndReportsIt) {
  struct Case {
    bool notWritable;
    bool explainAccess;  // ExplicarAcesso
    const char* location;
    std::vector<std::string> extraLines;
  };
  const std::string backupFolder = folder.WithSeparator() + "backup/";
  const Case cases[] = {
      {false, true, "dbhost:/dados/APP.FDB", {}},
      {true, false, "localhost:/dados/APP.FDB", {}},
      {true,
       true,
       "localhost:/dados/APP.FDB",
       {"O servidor de banco de dados (conta firebird) precisa de acesso de grava\xE7\xE3o \xE0 pasta " +
        backupFolder}},
      {true,
       true,
       "/dados/APP.FDB",
       {"O servidor de banco de dados (conta firebird) precisa de acesso de grava\xE7\xE3o \xE0 pasta " +
        backupFolder}},
      {true,
       true,
       "dbhost:/dados/APP.FDB",
       {"A pasta " + backupFolder +
        " precisa existir no servidor de banco de dados dbhost, no mesmo caminho, com acesso de "
        "grava\xE7\xE3o para a conta do servidor"}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.location);
    settings.explainServerAccess = c.explainAccess;
    settings.databaseLocation = c.location;
    server.backupFailure = {
        "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection.", -1,
        c.notWritable};
    const core::JobReport report = Run(true);
    std::vector<std::string> expected = {
        "Backup iniciado em 07/03/2026 21:05:59",
        "",
        "Realizando o backup para " + Backup().string(),
        "",
        "Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
        "do.",
        "Informa\xE7\xF5"
        "es da exce\xE7\xE3o:",
        "  Unable to complete network request to host \"dbhost\".",
        "Failed to establish a connection.",
    };
    expected.insert(expected.end(), c.extraLines.begin(), c.extraLines.end());
    expected.push_back(kDashes);
    EXPECT_EQ(transcript.Lines(), expected);
    EXPECT_TRUE(Log().ends_with(transcript.Text() + "\r\n")) << "an unattended failure reaches the log";
    EXPECT_EQ(report.stop, core::StopReason::BackupFailed);
    EXPECT_EQ(report.error,
              "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection.");
    EXPECT_FALSE(report.written);
    EXPECT_FALSE(report.BackupMade());
    EXPECT_EQ(observer.maximums, std::vector<int>{}) << "no gauge for a request the server refused";
  }
}

TEST_F(JobTest, OnlyAFileTheServerWroteDuringAnUnfinishedBackupIsRemoved) {
  struct Case {
    const char* what;
    int afterLines;
    bool earlierBackup;
    bool fileRemains;
  };
  server.backupLines = {"one", "two", "three", "four"};
  const Case cases[] = {
      {"refused before anything was written", -1, true, true},
      {"cut off at once: the earlier file was overwritten", 0, true, false},
      {"cut off while the lines arrived", 3, false, false},
      {"cut off after the lines, before the end", 4, false, false},
      {"only the detach failed: the backup is whole", 5, false, true},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(BackupFolder());
    if (c.earlierBackup) {
      fs::create_directories(BackupFolder());
      std::ofstream(Backup()) << "an earlier backup of the same minute";
    }
    server.backupFailure = {"connection lost", c.afterLines};
    EXPECT_EQ(Run().stop, core::StopReason::BackupFailed);
    EXPECT_EQ(fs::exists(Backup()), c.fileRemains) << transcript.Text();
  }
}

// The machine's system at the test's clock, but its log fails as the test says: when opened, or only
// when closed, as a file system that writes late does.
class FailingLogSystem : public FixedClockSystem {
 public:
  explicit FailingLogSystem(int failAtOpen)
      : FixedClockSystem({2026, 3, 7, 21, 5, 59}), failAtOpen_(failAtOpen) {}
  std::unique_ptr<platform::AppendFile> OpenForAppend(const std::string&) override {
    if (failAtOpen_ != 0) throw std::system_error(failAtOpen_, std::generic_category(), "open");
    struct LateFailingFile : platform::AppendFile {
      void Write(std::string_view) override {}
      void Close() override { throw std::system_error(EIO, std::generic_category(), "close"); }
    };
    return std::make_unique<LateFailingFile>();
  }

 private:
  int failAtOpen_;
};

// The machine's system at the test's clock, whose folder lock comes out as the test says and touches no
// file.
class LockOutcomeSystem : public FixedClockSystem {
 public:
  using Outcome = platform::FolderLockAttempt::Outcome;
  explicit LockOutcomeSystem(Outcome outcome)
      : FixedClockSystem({2026, 3, 7, 21, 5, 59}), outcome_(outcome) {}
  platform::FolderLockAttempt TryLockFolder(const std::string&) override {
    if (outcome_ != Outcome::Taken) return {outcome_, nullptr, "Too many levels of symbolic links"};
    return {outcome_, std::make_unique<platform::FolderLock>(), {}};
  }

 private:
  Outcome outcome_;
};

TEST_F(JobTest, AFolderHeldByAnotherJobOrThatCannotBeLockedIsLeftAsItIs) {
  struct Case {
    LockOutcomeSystem::Outcome outcome;
    core::StopReason stop;
    std::string line;
  };
  const Case cases[] = {
      {LockOutcomeSystem::Outcome::HeldByAnother, core::StopReason::AnotherJobRunning,
       "Outro backup j\xE1 est\xE1 em andamento nesta pasta; este backup n\xE3o foi iniciado."},
      {LockOutcomeSystem::Outcome::Failed, core::StopReason::LogNotWritable,
       "A pasta de backup n\xE3o p\xF4"
       "de ser travada (.lock): Too many levels of symbolic links"},
  };
  settings.retentionDays = 7;
  fs::create_directories(BackupFolder());
  std::ofstream(Backup()) << "the other job's backup";
  const time_t longAgo = std::chrono::system_clock::to_time_t(clock.Now()) - 400 * 86400;
  const struct timespec times[2] = {{longAgo, 0}, {longAgo, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, Backup().c_str(), times, 0), 0);
  for (const Case& c : cases) {
    LockOutcomeSystem system(c.outcome);
    const core::JobReport report = Run(false, &system);
    EXPECT_EQ(report.stop, c.stop) << c.line;
    EXPECT_TRUE(server.calls.empty());
    EXPECT_TRUE(Log().ends_with("Backup iniciado em 07/03/2026 21:05:59\r\n\r\n" + c.line + "\r\n\r\n" +
                                kDashes + "\r\n\r\n"))
        << Log();
    EXPECT_EQ(ReadAll(Backup()), "the other job's backup");
  }
}

TEST_F(JobTest, ALogThatCannotBeWrittenStopsTheJobWithItsIoError) {
  {
    FailingLogSystem system(EACCES);
    const core::JobReport report = Run(false, &system);
    EXPECT_EQ(report.stop, core::StopReason::LogNotWritable);
    EXPECT_EQ(report.error, "I/O error 13");
    EXPECT_TRUE(server.calls.empty()) << "no backup is made without its log";
    EXPECT_EQ(transcript.Lines().size(), 2u);
  }
  FailingLogSystem system(0);
  const core::JobReport report = Run(false, &system);
  EXPECT_EQ(report.stop, core::StopReason::LogNotWritable);
  EXPECT_EQ(report.error, "I/O error 5");
  EXPECT_TRUE(report.written) << "the backup was made; only its block is lost";
}

TEST_F(JobTest, TheCopyGoesToALocalFolderOnlyAndAFailedOneIsReported) {
  const fs::path copies = folder.Path() / "c\xC3\xB3pias";
  fs::create_directories(copies);
  struct Case {
    std::string copyFolder;
    core::StepResult result;
  };
  const Case cases[] = {
      {copies.string() + "/", core::StepResult::Done},
      {"D:\\Backup\\", core::StepResult::Failed},
      {"backup-copies/", core::StepResult::Failed},
      {"\\\\server\\share\\", core::StepResult::Failed},
      {(folder.Path() / "missing").string() + "/", core::StepResult::Failed},
  };
  for (const Case& c : cases) {
    settings.copyFolder = c.copyFolder;
    const core::JobReport report = Run();
    EXPECT_EQ(report.copy, c.result) << c.copyFolder;
    EXPECT_TRUE(report.BackupMade()) << "a failed copy does not undo the backup";
    const std::string target = c.copyFolder + "APP_20260307_2105.gbk";
    EXPECT_TRUE(HasLine("Copiando o backup para " + core::LogText(target))) << transcript.Text();
    const bool failed = c.result == core::StepResult::Failed;
    EXPECT_EQ(HasLine("Erro copiando " + core::LogText(target)), failed) << c.copyFolder;
    if (failed) {
      EXPECT_FALSE(fs::exists(target)) << "nothing is written relative to the working folder";
    }
  }
  EXPECT_EQ(ReadAll(copies / "APP_20260307_2105.gbk"), "backup");
}

TEST_F(JobTest, OnlyExpiredFilesGoAndOnlyAfterAGoodBackup) {
  settings.retentionDays = 7;
  fs::create_directories(BackupFolder());
  const auto write = [&](const std::string& name, int day, int second) {
    std::ofstream(BackupFolder() / name) << "x";
    clock.Set({2026, 2, day, 0, 0, second});
    const time_t when = std::chrono::system_clock::to_time_t(clock.Now());
    const struct timespec times[2] = {{when, 0}, {when, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, (BackupFolder() / name).c_str(), times, 0), 0);
  };
  write("limit.gbk", 28, 1);   // 00:00:01 reads as 00:00:00, the limit itself: deleted
  write("older.txt", 20, 0);   // any kind of file
  write("recent.gbk", 28, 2);  // two seconds after the limit
  write("backup.txt", 1, 0);   // the log is never deleted
  write(".lock", 1, 0);        // nor the folder lock's file
  clock.Set({2026, 3, 7, 21, 5, 59});
  LockOutcomeSystem lockTouchingNothing(LockOutcomeSystem::Outcome::Taken);
  const core::JobReport report = Run(false, &lockTouchingNothing);
  EXPECT_TRUE(report.cleanedUp);
  EXPECT_FALSE(fs::exists(BackupFolder() / "limit.gbk"));
  EXPECT_FALSE(fs::exists(BackupFolder() / "older.txt"));
  EXPECT_TRUE(fs::exists(BackupFolder() / "recent.gbk"));
  EXPECT_TRUE(fs::exists(BackupFolder() / "backup.txt"));
  EXPECT_TRUE(fs::exists(BackupFolder() / ".lock"));
  EXPECT_TRUE(fs::exists(Backup()));

  for (const int days : {0, -5}) {
    settings.retentionDays = days;
    EXPECT_FALSE(Run().cleanedUp) << days;
  }
}

TEST_F(JobTest, OnlyAFolderTheJobCreatesIsSharedWithTheServer) {
  settings.serverAccount = "0";  // an account every machine has
  Run();
  EXPECT_EQ(fs::status(BackupFolder()).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_all)
      << "created for its owner and shared: the access list's mask shows as the group's rights";

  fs::remove_all(BackupFolder());
  fs::create_directory(BackupFolder());
  fs::permissions(BackupFolder(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec);
  Run();
  EXPECT_EQ(fs::status(BackupFolder()).permissions() & fs::perms::all,
            fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec)
      << "a folder set up before keeps its rights";
}

}  // namespace
}  // namespace testsupport
