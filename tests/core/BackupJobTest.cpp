#include <gtest/gtest.h>

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
  server.databaseBytes = 10;
  for (const auto& [shown, omitted] : {std::pair{false, false}, {true, false}, {false, true}, {true, true}}) {
    SCOPED_TRACE(std::string(shown ? "manual" : "automatic") + (omitted ? ", lines omitted" : ""));
    settings.omitServerLines = omitted;
    // Asked for none, no line comes: the gauge goes by the file, 4 of 10 bytes at the look between pieces.
    const bool none = omitted && !shown;
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
    EXPECT_EQ(observer.lines,
              (none ? std::vector<std::string>{}
                    : std::vector<std::string>{"gbak: readied database",
                                               "gbak: writing data for table SIS_BACKUP", ""}));
    EXPECT_EQ(observer.advances, none ? 40 : 3);
    EXPECT_EQ(observer.maximums, (std::vector<int>{none ? 100 : 15000, 100}));
    EXPECT_EQ(server.calls.back().action, none ? "backup without lines" : "backup");
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
  ASSERT_EQ(server.calls.size(), 4u);
  for (const fakes::FakeServer::Call& call : server.calls)
    EXPECT_EQ(call.serverName + ":" + call.from + " " + call.to, "dbhost:/dados/APP.FDB " + target);
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
    const char* serverAccount;
    std::vector<std::string> extraLines;
  };
  const std::string backupFolder = folder.WithSeparator() + "backup/";
  const std::string needsAccess =
      "O servidor de banco de dados (conta nobody) precisa de acesso de grava\xE7\xE3o \xE0 pasta " +
      backupFolder;
  const std::string unseen = "O servidor de banco de dados n\xE3o v\xEA a pasta " + backupFolder +
                             ": num servidor em outra m\xE1quina, Transferir=1 em [Backup] faz o "
                             "servidor enviar o backup ao programa.";
  const Case cases[] = {
      {false, true, "dbhost:/dados/APP.FDB", "nobody", {}},
      {true, false, "localhost:/dados/APP.FDB", "nobody", {}},
      // The folder is closed to an account of this machine: it needs the right to write.
      {true, true, "localhost:/dados/APP.FDB", "nobody", {needsAccess}},
      {true, true, "/dados/APP.FDB", "nobody", {needsAccess}},
      // Another machine's server, by its name or by an account this machine does not know.
      {true, true, "dbhost:/dados/APP.FDB", "nobody", {unseen}},
      {true, true, "localhost:/dados/APP.FDB", "kelmora-no-such-account", {unseen}},
  };
  // Made before the job, so not shared with the account: closed to everyone else.
  fs::create_directories(BackupFolder());
  fs::permissions(BackupFolder(), fs::perms::owner_all);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.location) + " " + c.serverAccount);
    settings.explainServerAccess = c.explainAccess;
    settings.databaseLocation = c.location;
    settings.serverAccount = c.serverAccount;
    server.backupFailure = {
        "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection.", -1,
        c.notWritable};
    const core::JobReport report = Run(true);
    std::vector<std::string> expected = {
        "Backup iniciado em 07/03/2026 21:05:59",
        "",
        "Realizando o backup para " + ProgramPath(Backup()),
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
    EXPECT_EQ(report.advice.empty(), !c.notWritable)
        << "the runner's standard error gets it whatever the key";
    EXPECT_EQ(observer.maximums, std::vector<int>{}) << "no gauge for a request the server refused";
  }
}

TEST_F(JobTest, OnlyAFileTheServerWroteDuringAnUnfinishedBackupIsRemoved) {
  struct Case {
    const char* what;
    int afterLines;
    bool earlierBackup;
    bool fileRemains;
    int stopAfterLines = -1;  // the program asked to end instead
  };
  server.backupLines = {"one", "two", "three", "four"};
  const Case cases[] = {
      {"refused before anything was written", -1, true, true},
      {"cut off at once: the earlier file was overwritten", 0, true, false},
      {"cut off while the lines arrived", 3, false, false},
      {"cut off after the lines, before the end", 4, false, false},
      {"only the detach failed: the backup is whole", 5, false, true},
      {"the program asked to end while the lines arrived", 5, false, false, 2},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(BackupFolder());
    if (c.earlierBackup) {
      fs::create_directories(BackupFolder());
      std::ofstream(Backup()) << "an earlier backup of the same minute";
    }
    server.backupFailure = {"connection lost", c.afterLines};
    observer = {};
    observer.stopAfterLines = c.stopAfterLines;
    const bool stopped = c.stopAfterLines >= 0;
    EXPECT_EQ(Run().stop, stopped ? core::StopReason::Stopped : core::StopReason::BackupFailed);
    EXPECT_EQ(HasLine("Backup interrompido: o programa recebeu um pedido para terminar. O backup n\xE3o foi "
                      "conclu\xED"
                      "do."),
              stopped);
    EXPECT_EQ(fs::exists(Backup()), c.fileRemains) << transcript.Text();
  }
}

TEST_F(JobTest, ABackupSentToTheProgramIsWrittenUnderItsPartNameAndTellsTheMegabytesReceived) {
  struct Case {
    const char* what;
    std::int64_t databaseBytes;
    std::int64_t bytesReadWithTheRow;
    int secondsPerPiece;
    std::vector<std::string> lines;  // the program's own, the total included
    int advances;
    std::string ended;
  };
  const Case cases[] = {
      {"every piece another tenth of the database",
       10 << 20,
       0,
       0,
       {"Recebidos 1,0 MB", "Recebidos 2,0 MB", "Recebidos 3,0 MB", "Total recebido: 3,0 MB"},
       30,
       "07/03/2026 21:05:59"},
      {"a backup larger than its estimate holds the gauge at 99",
       2 << 20,
       0,
       0,
       {"Recebidos 1,0 MB", "Recebidos 2,0 MB", "Recebidos 3,0 MB", "Total recebido: 3,0 MB"},
       99,
       "07/03/2026 21:05:59"},
      {"the size read with the settings row: the probe, which would tell another, is not asked",
       2 << 20,
       10 << 20,
       0,
       {"Recebidos 1,0 MB", "Recebidos 2,0 MB", "Recebidos 3,0 MB", "Total recebido: 3,0 MB"},
       30,
       "07/03/2026 21:05:59"},
      {"no size: a line every 10 seconds only",
       -1,
       0,
       6,
       {"Recebidos 3,0 MB", "Total recebido: 3,0 MB"},
       0,
       "07/03/2026 21:06:17"},
  };
  settings.transferBackup = true;
  server.backupBytes = std::string(3 << 20, 'b');
  server.pieceBytes = 1 << 20;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    clock.Set({2026, 3, 7, 21, 5, 59});
    server.databaseBytes = c.databaseBytes;
    settings.databaseBytes = c.bytesReadWithTheRow;
    server.onPiece = [&](std::size_t sent) {
      const int second = 5 * 60 + 59 + c.secondsPerPiece * static_cast<int>(sent);
      clock.Set({2026, 3, 7, 21, second / 60, second % 60});
    };
    observer = {};
    fs::remove_all(BackupFolder());
    const core::JobReport report = Run(true);
    std::vector<std::string> expected = {"Backup iniciado em 07/03/2026 21:05:59", "",
                                         "Realizando o backup para " + ProgramPath(Backup()), ""};
    expected.insert(expected.end(), c.lines.begin(), c.lines.end());
    expected.insert(expected.end(), {"", kDone, "", "Backup encerrado em " + c.ended, "", kDashes});
    EXPECT_EQ(transcript.Lines(), expected);
    EXPECT_EQ(observer.lines, c.lines);
    EXPECT_EQ(observer.advances, c.advances);
    EXPECT_EQ(observer.maximums, (std::vector<int>{100, 100}));
    EXPECT_TRUE(report.BackupMade());
    EXPECT_EQ(ReadAll(Backup()), server.backupBytes);
    EXPECT_EQ(std::distance(fs::directory_iterator(BackupFolder()), fs::directory_iterator()), 3)
        << "the backup, the log and the folder's lock, no part left";
  }
  ASSERT_EQ(server.calls.size(), 4u);
  EXPECT_EQ(server.calls[0].action, "backup to program");
  EXPECT_EQ(server.calls[0].from, "/dados/APP.FDB");
}

TEST_F(JobTest, ABackupSentToTheProgramThatIsCutOffLeavesNoFileUnderABackupsName) {
  struct Case {
    const char* what;
    int afterPieces;
  };
  const Case cases[] = {
      {"refused before anything was sent", -1},
      {"cut off in the middle", 1},
      {"cut off once the output had ended", 2},
  };
  settings.transferBackup = true;
  fs::create_directories(BackupFolder());
  const fs::path earlier = BackupFolder() / "APP_20260307_2105.gbk";
  const fs::path abandoned = BackupFolder() / "APP_20260306_2105.gbk.part";
  const fs::path another = BackupFolder() / "APP_20260307_2104.gbk.part";
  // Another job's, still being written.
  const auto writing = clock.CreateFileBeingWritten(another.string());
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::ofstream(earlier) << "an earlier backup of the same minute";
    std::ofstream(abandoned) << "what a killed job left";
    server.backupFailure = {"connection lost", c.afterPieces};
    const core::JobReport report = Run();
    EXPECT_EQ(report.stop, core::StopReason::BackupFailed);
    EXPECT_TRUE(HasLine("  connection lost")) << transcript.Text();
    EXPECT_EQ(ReadAll(earlier), "an earlier backup of the same minute");
    EXPECT_FALSE(fs::exists(BackupFolder() / "APP_20260307_2105.gbk.part"));
    EXPECT_FALSE(fs::exists(abandoned)) << "the job cleans up what no job is writing";
    EXPECT_TRUE(fs::exists(another));
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
  fs::last_write_time(Backup(), std::chrono::file_clock::from_sys(clock.Now() - std::chrono::days(400)));
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
  const fs::path copies = folder.Path() / u8"c\u00F3pias";
  fs::create_directories(copies);
  struct Case {
    std::string copyFolder;
    core::StepResult result;
  };
  // Which forms name one place is the platform's to say; these name none on either system.
  const Case cases[] = {
      {ProgramPath(copies) + "/", core::StepResult::Done},
      {"D:Backup\\", core::StepResult::Failed},
      {"backup-copies/", core::StepResult::Failed},
      {"\\Backup\\", core::StepResult::Failed},
      {ProgramPath(folder.Path() / "missing") + "/", core::StepResult::Failed},
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
    SetLastWriteTime(BackupFolder() / name, clock.Now());
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
    EXPECT_TRUE(fs::exists(BackupFolder() / "recent.gbk")) << days << " days delete nothing";
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

namespace testsupport {
namespace {

// Others may write in the backup folder: the server works in a folder of the job's own, and the backup
// takes its name only where nothing stands.
TEST_F(JobTest, WhereOthersMayWriteTheBackupIsMadeApartAndTakesOnlyAFreeName) {
  struct Case {
    const char* what;
    bool linkAtTheName;
    core::StopReason stop;
  };
  const Case cases[] = {{"the name free", false, core::StopReason::None},
                        {"a link planted at the name", true, core::StopReason::BackupFailed}};
  settings.serverAccount = "0";
  settings.verifyBackup = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    fs::remove_all(BackupFolder());
    fs::create_directories(BackupFolder());
    fs::permissions(BackupFolder(), fs::perms::all);
    const fs::path victim = folder.Path() / "another.fdb";
    std::ofstream(victim) << "another database";
    if (c.linkAtTheName) fs::create_symlink(victim, Backup());
    server.calls.clear();
    const core::JobReport report = Run();
    EXPECT_EQ(report.stop, c.stop) << transcript.Text();
    ASSERT_EQ(server.calls.size(), 2u);
    const fs::path made = server.calls[0].to;
    EXPECT_EQ(made.parent_path().parent_path(), BackupFolder());
    EXPECT_TRUE(made.parent_path().filename().string().starts_with(".kelmora-")) << made;
    EXPECT_EQ(made.filename(), "APP_20260307_2105.gbk");
    EXPECT_EQ(server.calls[1].to, made.parent_path() / "APP_20260307_2105_verificacao.fdb");
    EXPECT_EQ(ReadAll(victim), "another database");
    if (c.linkAtTheName) {
      EXPECT_TRUE(fs::is_symlink(Backup()));
      EXPECT_EQ(ReadAll(made), "backup") << "kept where it was made";
      EXPECT_TRUE(HasLine(core::LogText(
          "O backup n\xC3\xA3o foi conclu\xC3\xAD"
          "do: o nome " +
          Backup().string() + " j\xC3\xA1 existe e n\xC3\xA3o \xC3\xA9 deste backup; ele ficou em " +
          made.string())))
          << transcript.Text();
    } else {
      EXPECT_EQ(ReadAll(Backup()), "backup");
      EXPECT_FALSE(fs::exists(made.parent_path())) << "the job's own folder goes";
    }
  }
}

// Only we and the server may write in the folder the job made: the server writes under the final name.
TEST_F(JobTest, WhereNoOneElseMayWriteTheServerWritesUnderTheBackupsName) {
  settings.serverAccount = "0";
  EXPECT_EQ(Run().stop, core::StopReason::None) << transcript.Text();
  ASSERT_EQ(server.calls.size(), 1u);
  EXPECT_EQ(server.calls[0].to, ProgramPath(Backup()));
}

}  // namespace
}  // namespace testsupport
