#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>

#include "core/BackupJob.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FirebirdServer.h"
#include "tests/support/FixedClockSystem.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::string kDashes(68, '-');

// Counts what a job reports, as a window or a terminal would receive it.
struct CountingObserver : core::JobObserver {
  void TranscriptChanged() override { ++changes; }
  void StatusChanged(std::string_view status) override { statuses.emplace_back(status); }
  void ProgressMaximumChanged(int maximum) override { maximums.push_back(maximum); }
  void ProgressAdvanced() override { ++advances; }
  void ProgressFilled() override { ++fills; }
  void OutputLineRead(std::string_view line) override {
    ++linesRead;
    lines.emplace_back(line);
  }
  int changes = 0, advances = 0, fills = 0, linesRead = 0;
  std::vector<std::string> statuses;
  std::vector<std::string> lines;  // as each was read
  std::vector<int> maximums;
};

class CoreJobTest : public ::testing::Test {
 protected:
  CoreJobTest() { services::ApplyBackupInstanceSettings(service); }

  core::JobOutcome Run(const std::string& location, bool showServerLines) {
    settings.programFolder = folder.WithSeparator();
    settings.databaseLocation = location;
    settings.serverSystem = "Linux";
    core::BackupJob job(settings, service, transcript, observer);
    return job.Run(showServerLines);
  }
  std::string Log() const { return ReadAll(folder.Path() / "backup" / "backup.txt"); }

  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  TempFolder folder;
  core::BackupSettings settings;
  services::TIBBackupService service;
  core::Transcript transcript;
  CountingObserver observer;
};

TEST_F(CoreJobTest, AutomaticJobWritesExactlyItsOwnLinesWithNoWindow) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "CORE_AUTO");
  ASSERT_EQ(Run(server.Location(database), false), core::JobOutcome::Completed);

  const std::string target = folder.WithSeparator() + "backup/CORE_AUTO_20260307_2105.gbk";
  EXPECT_EQ(Log(),
            "Backup iniciado em 07/03/2026 21:05:59\r\n\r\n"
            "Realizando o backup para " +
                target +
                "\r\n\r\n"
                "Backup conclu\xED"
                "do.\r\n\r\n"
                "Backup encerrado em 07/03/2026 21:05:59\r\n\r\n" +
                kDashes + "\r\n\r\n");
  EXPECT_EQ(Log(), transcript.Text() + "\r\n");
  EXPECT_TRUE(fs::is_regular_file(target));
  // Every server line paced the progress and the pump, though none was shown.
  EXPECT_GT(observer.linesRead, 20);
  EXPECT_EQ(observer.advances, observer.linesRead);
  EXPECT_EQ(observer.maximums, (std::vector<int>{15000, 100}));
  EXPECT_EQ(observer.fills, 2);
  EXPECT_EQ(observer.statuses, (std::vector<std::string>{"Realizando o Backup"}));
  EXPECT_FALSE(service.Active());
}

TEST_F(CoreJobTest, ManualJobPutsEveryServerLineAndTheEndingEmptyLineInTheBlock) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "CORE_MANUAL");
  ASSERT_EQ(Run(server.Location(database), true), core::JobOutcome::Completed);
  const auto& lines = transcript.Lines();
  ASSERT_EQ(lines.size(), static_cast<std::size_t>(observer.linesRead) + 9);
  EXPECT_TRUE(lines[4].starts_with("gbak:")) << lines[4];
  EXPECT_EQ(lines[4 + observer.linesRead - 1], "") << "the read that meets the end gives one empty line";
  EXPECT_EQ(lines[4 + observer.linesRead],
            "Backup conclu\xED"
            "do.");
  // Whoever prints the lines as they come gets each with its read, the ending empty one included.
  EXPECT_TRUE(std::equal(observer.lines.begin(), observer.lines.end(), lines.begin() + 4,
                         lines.begin() + 4 + observer.linesRead));
  EXPECT_EQ(Log(), transcript.Text() + "\r\n");
}

TEST_F(CoreJobTest, FailedBackupLogsTheErrorAndLeavesNoPartialFile) {
  FirebirdServer& server = FirebirdServer::Shared();
  // What the output area held before is not this job's: its block, and so its log, start afresh.
  transcript.Add("a line of the job before");
  ASSERT_EQ(Run(server.Location(server.DataDir() / "NO_SUCH.FDB"), true), core::JobOutcome::Failed);
  // The server's text may run over several lines; the block ends with it and the dashes.
  const auto& lines = transcript.Lines();
  const auto failed = std::find(lines.begin(), lines.end(),
                                "Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
                                "do.");
  ASSERT_NE(failed, lines.end()) << transcript.Text();
  EXPECT_EQ(failed - lines.begin(), 4);
  EXPECT_EQ(failed[1],
            "Informa\xE7\xF5"
            "es da exce\xE7\xE3o:");
  EXPECT_TRUE(failed[2].starts_with("  ")) << failed[2];
  EXPECT_NE(transcript.Text().find("NO_SUCH.FDB"), std::string::npos);
  EXPECT_EQ(lines.back(), kDashes);
  EXPECT_EQ(Log(), transcript.Text() + "\r\n");
  EXPECT_FALSE(fs::exists(folder.Path() / "backup" / "NO_SUCH_20260307_2105.gbk"));
}

}  // namespace
}  // namespace testsupport
