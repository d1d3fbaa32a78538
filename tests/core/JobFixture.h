#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/BackupJob.h"
#include "tests/fakes/FakeServer.h"
#include "tests/support/FileBytes.h"
#include "tests/support/FixedClockSystem.h"
#include "tests/support/TempFolder.h"

namespace testsupport {

// A path as the program names files: UTF-8 with "/" between the names, whatever the system's own
// separator (path::string() on Windows gives backslashes and the ANSI code page's bytes).
inline std::string ProgramPath(const std::filesystem::path& path) {
  const std::u8string text = path.generic_u8string();
  return std::string(text.begin(), text.end());
}

// Sets a file's last-write time, as an earlier job would have left it.
inline void SetLastWriteTime(const std::filesystem::path& file, platform::TimePoint when) {
  std::filesystem::last_write_time(file, std::filesystem::file_time_type::clock::from_sys(when));
}

// Hears what a job reports while it runs, as a window or a terminal would.
struct RecordingObserver : core::JobObserver {
  void TranscriptChanged() override { ++changes; }
  void StatusChanged(std::string_view status) override { statuses.emplace_back(status); }
  void ProgressMaximumChanged(int maximum) override { maximums.push_back(maximum); }
  void ProgressAdvanced() override { ++advances; }
  void ProgressFilled() override { ++fills; }
  void OutputLineRead(std::string_view line) override { lines.emplace_back(line); }
  void BackupWritten(const std::string& localBackupName) override {
    if (spoil) spoil(localBackupName);
  }
  // A program asked to end once that many lines have come; never when negative.
  bool StopWanted() override { return stopAfterLines >= 0 && std::ssize(lines) >= stopAfterLines; }
  int changes = 0, advances = 0, fills = 0, stopAfterLines = -1;
  std::vector<std::string> statuses;
  std::vector<std::string> lines;  // the server's, as each was read
  std::vector<int> maximums;
  std::function<void(const std::string&)> spoil;
};

// Jobs of a program folder of their own against a server in memory, at a fixed clock: the database
// dbhost:/dados/APP.FDB (2 tables) on a Linux server, backed up at 21:05:59 on 7 March 2026.
class JobTest : public ::testing::Test {
 protected:
  JobTest() {
    settings.programFolder = folder.WithSeparator();
    settings.databaseLocation = "dbhost:/dados/APP.FDB";
    settings.serverSystem = "Linux";
    server.tables["dbhost:/dados/APP.FDB"] = 2;
  }
  core::JobReport Run(bool showServerLines = false, platform::System* system = nullptr) {
    platform::System& used = system != nullptr ? *system : clock;
    core::BackupJob job(settings, core::JobPorts{server, server}, core::JobSystem::Of(used), transcript,
                        observer);
    return job.Run(showServerLines);
  }
  std::filesystem::path BackupFolder() const { return folder.Path() / "backup"; }
  std::filesystem::path Backup() const { return BackupFolder() / "APP_20260307_2105.gbk"; }
  std::string Log() const { return ReadAll(BackupFolder() / "backup.txt"); }
  bool HasLine(const std::string& cp1252Line) const {
    const auto& lines = transcript.Lines();
    return std::find(lines.begin(), lines.end(), cp1252Line) != lines.end();
  }

  FixedClockSystem clock{{2026, 3, 7, 21, 5, 59}};
  TempFolder folder;
  fakes::FakeServer server;
  core::BackupSettings settings;
  core::Transcript transcript;
  RecordingObserver observer;
};

}  // namespace testsupport
