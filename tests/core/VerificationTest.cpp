#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <optional>

#include "core/BackupTally.h"
#include "core/TextEncoding.h"
#include "tests/core/JobFixture.h"
#include "tests/support/LoopbackMonitor.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

// Verified jobs with a copy folder, 7 retention days, a monitor and an expired file in the backup folder
// that only a clean-up after a good backup may delete.
class VerifiedJobTest : public JobTest {
 protected:
  VerifiedJobTest() {
    settings.verifyBackup = true;
    settings.retentionDays = 7;
    settings.copyFolder = ProgramPath(folder.Path() / "copies") + "/";
    settings.monitorUrl = monitor.Url("/ping");
    fs::create_directories(folder.Path() / "copies");
    fs::create_directories(BackupFolder());
    std::ofstream(Old()) << "an older backup";
    SetLastWriteTime(Old(), std::chrono::system_clock::from_time_t(1767225600));  // 1 January 2026
  }
  fs::path Old() const { return BackupFolder() / "OLD_20260101_2105.gbk"; }
  std::string Scratch() const {
    return "dbhost:" + ProgramPath(BackupFolder()) + "/APP_20260307_2105_verificacao.fdb";
  }

  LoopbackMonitor monitor{"HTTP/1.1 200 OK"};
};

TEST_F(VerifiedJobTest, AGoodBackupRestoresAndVerifiesAndTheJobCarriesOnAsAlways) {
  settings.omitServerLines = true;  // the check reads the backup's lines: they come all the same
  const core::JobReport report = Run();
  const auto& lines = transcript.Lines();
  const auto verified = std::find(lines.begin(), lines.end(), "Backup verificado.");
  ASSERT_NE(verified, lines.end()) << transcript.Text();
  EXPECT_EQ(verified[-2],
            "Backup conclu\xED"
            "do.");
  EXPECT_EQ(verified[2], "Copiando o backup para " + settings.copyFolder + "APP_20260307_2105.gbk");
  EXPECT_NE(Log().find("Backup verificado.\r\n\r\n"), std::string::npos);
  EXPECT_EQ(observer.statuses, (std::vector<std::string>{"Realizando o Backup", "Verificando o backup"}));
  EXPECT_EQ(observer.lines,
            (std::vector<std::string>{"gbak: writing data for table SIS_BACKUP", "gbak:1 records written",
                                      "gbak:closing file, committing, and finishing. 6 bytes written", "",
                                      "gbak: restoring table SIS_BACKUP", ""}))
      << "the restore's lines pace the job like the backup's";
  ASSERT_EQ(server.calls.size(), 2u);
  EXPECT_EQ(server.calls[1].from, ProgramPath(Backup()));
  EXPECT_EQ(server.calls[1].to, ProgramPath(BackupFolder()) + "/APP_20260307_2105_verificacao.fdb");
  EXPECT_EQ(server.drops, (std::vector<std::string>{Scratch()})) << "the one the restore made, and only it";
  EXPECT_FALSE(server.tables.contains(Scratch()));
  EXPECT_EQ(report.verification, core::StepResult::Done);
  EXPECT_EQ(report.copy, core::StepResult::Done);
  EXPECT_TRUE(report.cleanedUp);
  EXPECT_FALSE(fs::exists(Old()));
  EXPECT_EQ(report.monitor, core::StepResult::Done);
  EXPECT_EQ(monitor.Requests().size(), 1u);
}

// Attached to, a link in its place would take the database it points at along: it is unlinked instead.
TEST_F(VerifiedJobTest, AScratchFileLeftByACutOffCheckIsUnlinkedSoTheRestoreCanCreateIt) {
  const fs::path left = BackupFolder() / "APP_20260307_2105_verificacao.fdb";
  std::ofstream(left) << "cut off";
  observer.spoil = [&](const std::string&) {
    EXPECT_TRUE(fs::exists(left)) << "still there when the check begins";
  };
  EXPECT_EQ(Run().verification, core::StepResult::Done) << transcript.Text();
  EXPECT_FALSE(fs::exists(left));
  EXPECT_EQ(server.drops, (std::vector<std::string>{Scratch()})) << "dropped only once restored";
}

TEST_F(VerifiedJobTest, ABackupThatDoesNotCheckOutFailsTheJobAndLeavesEveryOlderBackup) {
  struct Case {
    const char* what;
    std::function<void()> spoil;
    std::string problem;    // UTF-8
    std::size_t drops = 1;  // the scratch database is dropped also when the check fails, once restored
    core::StepResult copy = core::StepResult::Done;  // the copy is still made, if whole
  };
  const Case cases[] = {
      {"the restore fails", [&] { server.restoreFailure = "gbak: ERROR:bad\r\ngbak:exiting"; },
       "a restaura\xC3\xA7\xC3\xA3o falhou: gbak: ERROR:bad; gbak:exiting"},
      {"the restored database does not open", [&] { server.unopenable.insert(Scratch()); },
       "a base restaurada n\xC3\xA3o abre: I/O error during \"open\" operation for file"},
      {"the source does not open", [&] { server.unopenable.insert("dbhost:/dados/APP.FDB"); },
       "a base de origem n\xC3\xA3o abre para a compara\xC3\xA7\xC3\xA3o: I/O error during \"open\" "
       "operation "
       "for file"},
      // The server's restore reads a cut-off file to its end without a complaint: only the count tells.
      {"the backup cut off", [&] { server.backups[ProgramPath(Backup())] = 1; },
       "a base restaurada tem 1 tabela e a de origem 2"},
      {"a table added to the source after its backup", [&] { server.tables["dbhost:/dados/APP.FDB"] = 3; },
       "a base restaurada tem 2 tabelas e a de origem 3"},
      // The server's restore reads a cut-off file to its end without a complaint, as often as not.
      {"the file cut short of what the server wrote", [&] { fs::resize_file(Backup(), 5); },
       "o arquivo tem 5 bytes e o backup gravou 6", 0, core::StepResult::Failed},
      {"a restore that stopped short of a table's rows", [&] { server.rowsRestored["SIS_BACKUP"] = 0; },
       "a tabela SIS_BACKUP tem 0 linhas na base restaurada e o backup gravou 1"},
      {"a table the restored database lacks", [&] { server.rowsRestored.clear(); },
       "a base restaurada n\xC3\xA3o abre: Table unknown; SIS_BACKUP"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    server.restoreFailure.reset();
    server.unopenable.clear();
    server.tables["dbhost:/dados/APP.FDB"] = 2;
    server.drops.clear();
    server.rowsRestored = {{"SIS_BACKUP", 1}};
    observer.spoil = [&](const std::string&) { c.spoil(); };
    const core::JobReport report = Run();
    EXPECT_EQ(report.verification, core::StepResult::Failed);
    EXPECT_EQ(report.verificationProblem, c.problem);
    EXPECT_FALSE(report.BackupMade());
    EXPECT_EQ(report.stop, core::StopReason::None) << "the job ran to its end";
    EXPECT_TRUE(HasLine(core::LogText("Backup n\xC3\xA3o verificado: " + c.problem))) << transcript.Text();
    EXPECT_NE(Log().find(core::LogText("Backup n\xC3\xA3o verificado: " + c.problem) + "\r\n"),
              std::string::npos);
    EXPECT_EQ(server.drops.size(), c.drops);
    EXPECT_FALSE(report.cleanedUp);
    EXPECT_TRUE(fs::exists(Old())) << "no clean-up after a bad backup";
    EXPECT_EQ(report.copy, c.copy);
    EXPECT_EQ(report.monitor, core::StepResult::NotAsked);
    EXPECT_TRUE(monitor.Requests().empty()) << "no heartbeat for a backup that did not verify";
    EXPECT_EQ(transcript.Lines().back(), std::string(68, '-')) << "the block still ends as a block";
  }
}

// The server's verbose lines as Firebird 3 words them: progress counts every so many rows, the total last.
TEST(BackupTally, ReadsEachTablesRowsAndTheBytesOfTheLastLine) {
  struct Case {
    const char* what;
    std::vector<std::string> lines;
    std::map<std::string, std::int64_t> rows;
    std::optional<std::int64_t> bytes;
  };
  const Case cases[] = {
      {"a whole backup",
       {"gbak:readied database /d/APP.FDB for backup", "gbak:    writing data for table SIS_BACKUP ",
        "gbak:1 records written", "gbak:    writing data for table DADOS_0 ", "gbak:20000 records written",
        "gbak:200000 records written", "gbak:    writing index RDB$PRIMARY1",
        "gbak:closing file, committing, and finishing. 6604800 bytes written", ""},
       {{"SIS_BACKUP", 1}, {"DADOS_0", 200000}},
       6604800},
      {"an empty table and line ends",
       {"gbak:    writing data for table VAZIA \r\n"},
       {{"VAZIA", 0}},
       std::nullopt},
      {"output cut before its end",
       {"gbak:    writing data for table DADOS_0 ", "gbak:20000 records written"},
       {{"DADOS_0", 20000}},
       std::nullopt},
      {"a count before any table's data", {"gbak:5 records written"}, {}, std::nullopt},
  };
  for (const Case& c : cases) {
    core::BackupTally tally;
    for (const std::string& line : c.lines)
      tally.Read(line);
    EXPECT_EQ(tally.RowsWritten(), c.rows) << c.what;
    EXPECT_EQ(tally.BytesWritten(), c.bytes) << c.what;
  }
}

// Sent to the program, the backup is fed back to the server from this machine's file, into the folder the
// server names for it.
TEST_F(VerifiedJobTest, ABackupSentToTheProgramVerifiesInTheServersFolderForIt) {
  struct Case {
    const char* what;
    bool verify;
    std::string folder;
    bool cutShort;
    core::StepResult result;
    std::string problem;  // UTF-8
  };
  const std::string scratch = "/srv/verificar/APP_20260307_2105_verificacao.fdb";
  const Case cases[] = {
      {"not asked, no folder", false, "", false, core::StepResult::NotAsked, ""},
      {"asked without a folder", true, "", false, core::StepResult::Failed,
       "falta em [Backup] a PastaVerificacao, a pasta do servidor onde restaur\xC3\xA1-lo"},
      {"a whole backup", true, "/srv/verificar", false, core::StepResult::Done, ""},
      {"a backup cut short", true, "/srv/verificar/", true, core::StepResult::Failed,
       "a base restaurada tem 0 tabelas e a de origem 2"},
  };
  settings.transferBackup = true;
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    settings.verifyBackup = c.verify;
    settings.verificationFolder = c.folder;
    server.calls.clear();
    server.drops.clear();
    observer.spoil = [&](const std::string& backup) {
      if (c.cutShort) fs::resize_file(backup, 3);
    };
    const core::JobReport report = Run();
    EXPECT_EQ(report.verification, c.result);
    EXPECT_EQ(report.verificationProblem, c.problem);
    EXPECT_EQ(report.BackupMade(), c.result != core::StepResult::Failed);
    EXPECT_EQ(HasLine(core::LogText("Backup n\xC3\xA3o verificado: " + c.problem)), !c.problem.empty())
        << transcript.Text();
    if (c.folder.empty()) {
      EXPECT_EQ(server.calls.size(), 1u) << "nothing is restored";
      continue;
    }
    ASSERT_EQ(server.calls.size(), 2u);
    EXPECT_EQ(server.calls[1].action, "restore from program");
    EXPECT_EQ(server.calls[1].to, scratch);
    EXPECT_EQ(server.drops, (std::vector<std::string>{"dbhost:" + scratch, "dbhost:" + scratch}));
  }
}

}  // namespace
}  // namespace testsupport
