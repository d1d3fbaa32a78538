#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <QDateTime>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "tests/e2e/support/Desktop.h"
#include "tests/e2e/support/JobSteps.h"
#include "tests/support/AppDatabase.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;
using namespace std::chrono_literals;

TEST(JobEndToEnd, ClickOnIniciarWritesTheBackupAndTheLog) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.recordDisconnects = true;
  const auto database = CreateAppDatabase(server, "E2E_MANUAL", options);
  XDisplay display;
  ManualRun run(display, server, database);
  const std::string window = run.WaitUntilReady();
  ASSERT_FALSE(window.empty()) << "no window, or the settings row was never read\n" << run.program.Output();
  ClickIniciar(display, window);
  const std::string log = WaitForLogBlock(run.folder.Path() / "backup" / "backup.txt", 120s);
  display.Screenshot(SCREENSHOT_DIR "/job-manual-done.png");
  EXPECT_NE(log.find("Backup conclu\xED"
                     "do.\r\n"),
            std::string::npos)
      << log << run.program.Output();
  EXPECT_NE(log.find("gbak:"), std::string::npos) << "manual mode logs the server's lines";
  int backups = 0;
  for (const auto& entry : fs::directory_iterator(run.folder.Path() / "backup")) {
    backups +=
        entry.path().extension() == ".gbk" && entry.path().filename().string().starts_with("E2E_MANUAL_");
  }
  EXPECT_EQ(backups, 1);
  EXPECT_TRUE(run.program.Running());
}

}  // namespace
}  // namespace testsupport

namespace testsupport {
namespace {

TEST(JobEndToEnd, AutomaticModeReadsTheRowAndBacksUpAtTheNextMinuteByItself) {
  FirebirdServer& server = FirebirdServer::Shared();
  // The first schedule time is the next minute, with time to start before it comes.
  QDateTime now = QDateTime::currentDateTime();
  if (now.time().second() > 45) now = now.addSecs(60);
  const QString when = now.addSecs(60).toString(QStringLiteral("hh:mm"));
  XDisplay display(/*withTray=*/true);
  ProgramFolder folder;
  const fs::path copies = folder.Path() / "copias";
  fs::create_directories(copies);
  fs::create_directories(folder.Path() / "backup");
  const fs::path stale = folder.Path() / "backup" / "stale.gbk";
  std::ofstream(stale) << "an old backup";
  const QDateTime old = QDateTime(QDate::currentDate().addDays(-10), QTime(12, 0));
  const auto seconds = static_cast<time_t>(old.toSecsSinceEpoch());
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, stale.c_str(), times, 0), 0);

  AppDatabaseOptions options;
  options.row->time1 = when.toStdString();
  options.row->time2 = std::nullopt;
  options.row->copyFolder = copies.string() + "/";
  options.row->retentionDays = 3;
  const auto database = CreateAppDatabase(server, "E2E_AUTO", options);
  folder.WriteIni(server.Location(database), "Linux");
  const auto iconsBefore = display.Children(display.TrayWindow());
  RunningProgram program(display, folder, {});

  const std::string log = WaitForLogBlock(folder.Path() / "backup" / "backup.txt", 150s);
  ASSERT_NE(log.find("Backup conclu\xED"
                     "do.\r\n"),
            std::string::npos)
      << log << program.Output();
  EXPECT_EQ(log.find("gbak:"), std::string::npos) << "automatic mode logs only the job's own lines";
  EXPECT_NE(log.find("Copiando o backup para " + copies.string() + "/E2E_AUTO_"), std::string::npos) << log;
  EXPECT_FALSE(fs::exists(stale)) << "older than the retention days";
  int copied = 0;
  for (const auto& entry : fs::directory_iterator(copies))
    copied += entry.path().extension() == ".gbk";
  EXPECT_EQ(copied, 1);
  EXPECT_TRUE(display.FindWindows("^Backup$").empty()) << "the window stays hidden";
  EXPECT_TRUE(program.Running());

  // The tray icon shows the window: status bar and waiting text as the settings load left them.
  std::string ours;
  for (const auto& child : display.Children(display.TrayWindow())) {
    if (std::find(iconsBefore.begin(), iconsBefore.end(), child) == iconsBefore.end()) ours = child;
  }
  ASSERT_FALSE(ours.empty()) << "the icon is in the tray";
  const auto icon = display.GeometryOf(ours);
  display.Click(icon.x + icon.width / 2, icon.y + icon.height / 2);
  ASSERT_FALSE(display.WaitForWindow("^Backup$").empty());
  std::this_thread::sleep_for(500ms);
  display.Screenshot(SCREENSHOT_DIR "/job-automatic-done.png");
}

}  // namespace
}  // namespace testsupport
