#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <cerrno>
#include <filesystem>

#include "app/desktop/ProgramIcon.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/widgets/ProgressGauge.h"
#include "core/BackupJob.h"
#include "core/Heartbeat.h"
#include "tests/app/support/StartsWith.h"
#include "tests/app/support/WindowTest.h"
#include "tests/support/LoopbackMonitor.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::string kDashes(68, '-');
const std::string kDone =
    "Backup conclu\xED"
    "do.";

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

using BackupJobTest = WindowTest;

TEST_F(BackupJobTest, ManualJobShowsEveryServerLineAndLogsTheSameBlock) {
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(14, 30, 0)); };
  server.backupLines = {"gbak: readied database", "gbak: writing table SIS_BACKUP"};
  auto form = Start(true);
  Click(*form);
  ASSERT_TRUE(platform.boxes.empty()) << platform.boxes[0].text.toStdString();

  const std::string backup = BackupFolder().string() + "/APP_20260307_1430.gbk";
  EXPECT_EQ(form->memSaida->Lines(), (std::vector<std::string>{
                                         "Backup iniciado em 07/03/2026 14:30:00",
                                         "",
                                         "Realizando o backup para " + backup,
                                         "",
                                         "gbak: readied database",
                                         "gbak: writing table SIS_BACKUP",
                                         "",
                                         kDone,
                                         "",
                                         "Backup encerrado em 07/03/2026 14:30:00",
                                         "",
                                         kDashes,
                                     }));
  EXPECT_EQ(FilesIn(BackupFolder(), ".gbk"), std::vector<fs::path>{backup});
  EXPECT_EQ(Log(), form->memSaida->Text() + "\r\n");
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Backup concluído."));
  EXPECT_EQ(form->Gauge->MaxValue(), 100);
  EXPECT_EQ(form->Gauge->Progress(), 100);
  EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);

  // A second job appends its block; the first stays.
  const std::string first = Log();
  Click(*form);
  EXPECT_EQ(Log(), first + first);
}

TEST_F(BackupJobTest, AutomaticJobLogsOnlyItsOwnLinesAndWaitsAgain) {
  auto form = Start(false);
  form->Settings().scheduleTimes = {"07:00", "", "", ""};
  Click(*form);
  ASSERT_TRUE(platform.boxes.empty());
  const auto& lines = form->memSaida->Lines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4], kDone);
  EXPECT_EQ(lines[8], kDashes);
  EXPECT_EQ(Log(), form->memSaida->Text() + "\r\n");
  EXPECT_TRUE(form->tmrRelogio.isActive());
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários 07:00"));
  EXPECT_EQ(FilesIn(BackupFolder(), ".gbk").size(), 1u);
  // The window's own timer drives the clock: a tick due at once comes with the next turns of the loop.
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(6, 59, 30)); };
  form->tmrRelogio.setInterval(0);
  for (int turn = 0; turn < 100 && form->txtHora->text() != QStringLiteral("06:59:30"); ++turn)
    QCoreApplication::processEvents();
  EXPECT_EQ(form->txtHora->text(), QStringLiteral("06:59:30"));
  EXPECT_EQ(form->tmrRelogio.interval(), 1500) << "the next tick in the middle of the next second";
}

TEST_F(BackupJobTest, TheWindowsJobAndTheCoreJobWithoutAWindowLogTheSameBytes) {
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(21, 5, 59)); };
  auto form = Start(false);
  Click(*form);
  const std::string windowBlock = Log();
  ASSERT_NE(windowBlock.find(kDone), std::string::npos) << windowBlock;
  fs::remove(BackupFolder() / "backup.txt");

  core::Transcript transcript;
  core::JobObserver quiet;
  core::BackupJob job(form->Settings(), core::JobPorts{server, server}, core::JobSystem::Of(platform),
                      transcript, quiet);
  ASSERT_TRUE(job.Run(false).BackupMade());
  EXPECT_EQ(Log(), windowBlock);
}

TEST_F(BackupJobTest, ABackupThatDoesNotVerifyIsAFailureOfTheTrayAndTheOutputAreaSaysWhy) {
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(8, 0, 0)); };
  folder.Write("sistema.ini", std::string("[Dados]\r\nDir=") + kLocation +
                                  "\r\n[Backup]\r\nSistema=Linux\r\nVerificar=1\r\nMostrarEstado=1\r\n");
  app::TfrmBackup form(QStringList{QStringLiteral("backup")}, QString::fromStdString(folder.WithSeparator()),
                       server.Ports());
  form.tmrConexao.stop();
  ASSERT_TRUE(form.Settings().verifyBackup);
  Click(form);
  EXPECT_EQ(form.RxTrayIcon->Hint(),
            QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 concluído"));
  EXPECT_TRUE(Shows(form, "Backup verificado."));
  EXPECT_EQ(Picture(form.RxTrayIcon->Icon()), Picture(app::ProgramIcon(app::BackupState::Succeeded)));
  EXPECT_TRUE(platform.notifications.empty());

  // The restore fails and the copy fails too, which must not turn the failure into a mere missing copy.
  server.restoreFailure = "gbak: ERROR: the file exists\ngbak: exiting";
  form.Settings().copyFolder = "/nonexistent/copies/";
  Click(form);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_TRUE(
      Shows(form,
            "Backup n\xE3o verificado: a restaura\xE7\xE3o falhou: gbak: ERROR: the file exists; gbak: "
            "exiting"))
      << form.memSaida->Text();
  EXPECT_EQ(form.RxTrayIcon->Hint(),
            QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 falhou"));
  EXPECT_EQ(Picture(form.RxTrayIcon->Icon()), Picture(app::ProgramIcon(app::BackupState::Failed)));
  ASSERT_EQ(platform.notifications.size(), 1u);
  EXPECT_EQ(platform.notifications[0].text,
            QStringLiteral(
                "Kelmora Backup|O backup de 07/03/2026 08:00 não foi concluído.\n"
                "Backup não verificado: a restauração falhou: gbak: ERROR: the file exists; gbak: exiting"));
  EXPECT_TRUE(form.tmrRelogio.isActive()) << "the schedule carries on";
}

TEST_F(BackupJobTest, StoppedServerEndsTheJobButTheLogAndTheScheduleCarryOn) {
  QDateTime now(QDate(2026, 3, 7), QTime(2, 58, 0));
  platform.now = [&] { return now; };
  server.backupFailure = {
      "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection."};
  auto form = Start(false);
  form->Settings().scheduleTimes = {"03:00", "", "", ""};
  form->tmrRelogio.stop();
  Click(*form);
  EXPECT_TRUE(platform.boxes.empty()) << "the job ends silently";
  const auto& lines = form->memSaida->Lines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4],
            "Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
            "do.");
  EXPECT_EQ(lines[5],
            "Informa\xE7\xF5"
            "es da exce\xE7\xE3o:");
  EXPECT_EQ(lines[6], "  Unable to complete network request to host \"dbhost\".");
  EXPECT_EQ(lines[7], "Failed to establish a connection.");
  EXPECT_EQ(lines.back(), kDashes);
  EXPECT_EQ(Log(), form->memSaida->Text() + "\r\n");
  EXPECT_TRUE(FilesIn(BackupFolder(), ".gbk").empty());
  // Waiting again, pointer restored.
  EXPECT_TRUE(form->tmrRelogio.isActive());
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários 03:00"));
  EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);

  // The next schedule time finds the server up again and backs up.
  server.backupFailure.reset();
  now = QDateTime(QDate(2026, 3, 7), QTime(3, 0, 0));
  ClockTick(*form);
  EXPECT_EQ(FilesIn(BackupFolder(), ".gbk").size(), 1u);
  EXPECT_NE(Log().find(kDone), std::string::npos);
}

TEST_F(BackupJobTest, AClockJumpOverAScheduleTimeRunsNoJobUnlessCatchUpIsAskedForThenOneThatTheLogNames) {
  QDateTime now;
  platform.now = [&] { return now; };
  const auto sleepThrough0800 = [&](const std::string& keys) {
    now = QDateTime(QDate(2026, 3, 7), QTime(7, 59, 58));
    auto form = Start(false, keys);
    form->Settings().scheduleTimes = {"08:00", "", "", ""};
    ClockTick(*form);
    now = QDateTime(QDate(2026, 3, 7), QTime(9, 12, 0));  // the machine slept through 08:00
    ClockTick(*form);
    now = now.addSecs(1);
    ClockTick(*form);
  };
  sleepThrough0800({});
  EXPECT_TRUE(server.calls.empty()) << "the time is missed for that day; nothing catches up";
  sleepThrough0800("RecuperarHorarios=1\r\n");
  EXPECT_EQ(server.calls.size(), 1u) << "exactly one job";
  EXPECT_TRUE(
      Log().starts_with("Backup iniciado em 07/03/2026 09:12:00\r\n\r\n"
                        "Backup fora de hora: o hor\xE1rio 08:00 passou sem backup.\r\n\r\n"
                        "Realizando o backup para "))
      << Log();
}

// A monitor that keeps its connection alive a byte every 4 s, under any wait for the next byte, and would
// send a whole "200 OK" minutes later: the one deadline of the call ends it, and meanwhile the window
// answers its user.
TEST_F(BackupJobTest, ATricklingMonitorEndsByTheDeadlineWhileTheWindowAnswers) {
  using namespace std::chrono_literals;
  LoopbackMonitor trickling("HTTP/1.1 200 OK", 4s);
  auto form = Start(false, "UrlMonitor=" + trickling.Url("/ping/0c1d") + "\r\n");
  form->hide();
  // The user's click on the tray icon, once the call has reached the monitor: the window must come up
  // while the job still waits for the monitor, not after it.
  bool clickedDuringCall = false;
  bool shownDuringCall = false;
  QTimer poll;
  QObject::connect(&poll, &QTimer::timeout, [&] {
    if (clickedDuringCall || trickling.Requests().empty()) return;
    clickedDuringCall = !Shows(*form, "Monitor n\xE3o avisado: Timeout was reached");
    form->RxTrayIconClick();
    shownDuringCall = form->isVisible() && clickedDuringCall;
  });
  poll.start(50);
  const auto start = std::chrono::steady_clock::now();
  Click(*form);
  const auto elapsed = std::chrono::steady_clock::now() - start;
  poll.stop();
  EXPECT_TRUE(Shows(*form, "Monitor n\xE3o avisado: Timeout was reached")) << form->memSaida->Text();
  EXPECT_TRUE(clickedDuringCall) << "the click waited for the call";
  EXPECT_TRUE(shownDuringCall);
  EXPECT_LT(elapsed, core::kMonitorDeadline + 10s) << "one deadline for the whole call";
  EXPECT_EQ(trickling.Requests().size(), 1u);
  EXPECT_TRUE(form->tmrRelogio.isActive()) << "the schedule carries on";
}

TEST_F(BackupJobTest, GaugeStopsAtItsMaximumAndEveryLineIsShown) {
  auto form = Start(true);
  server.backupLines.assign(15050, "gbak: writing data");
  Click(*form);
  const auto& lines = form->memSaida->Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "gbak: writing data"), 15050);
  EXPECT_EQ(form->Gauge->Progress(), 100);

  int progressWhenFull = -1;
  server.backupLines.assign(15100, "line");
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (form->Gauge->MaxValue() == 15000)
      progressWhenFull = std::max(progressWhenFull, form->Gauge->Progress());
  });
  probe.start(0);
  Click(*form);
  EXPECT_EQ(progressWhenFull, 15000);
}

TEST_F(BackupJobTest, ASecondStartDuringTheOutputLoopDoesNothing) {
  auto form = Start(true);
  server.backupLines.assign(2000, "line");
  int attempts = 0;
  QTimer again;
  QObject::connect(&again, &QTimer::timeout, [&] {
    ++attempts;
    Click(*form);
  });
  again.start(0);
  Click(*form);
  again.stop();
  EXPECT_GT(attempts, 0);
  EXPECT_EQ(server.calls.size(), 1u);
  const std::string log = Log();
  EXPECT_EQ(log.find("Backup iniciado em "), 0u);
  EXPECT_EQ(log.find("Backup iniciado em ", 1), std::string::npos);
}

TEST_F(BackupJobTest, ScheduleMatchesOnlyTheFullMinuteAndRunsATimeTwiceOnlyWithinTheSameSecond) {
  const QDate today(2026, 3, 7);
  // The clock starts watching at the first tick's moment, so that 10:00 has not passed unseen.
  platform.now = [today] { return QDateTime(today, QTime(10, 0, 1)); };
  auto form = Start(false);
  form->Settings().scheduleTimes = {"9:30", "10:00", "", "10:00"};
  const auto tick = [&](QTime time, bool secondPasses) {
    server.calls.clear();
    platform.now = [&, time, secondPasses] {
      const bool late = secondPasses && form->memSaida->Lines().size() > 0 && !form->JobRunning();
      return QDateTime(today, late ? time.addSecs(1) : time);
    };
    form->memSaida->Clear();
    ClockTick(*form);
    return server.calls.size();
  };
  EXPECT_EQ(tick(QTime(10, 0, 1), false), 0u);
  EXPECT_EQ(tick(QTime(9, 30, 0), false), 0u) << "a one-digit hour never matches";
  EXPECT_EQ(tick(QTime(10, 0, 0), true), 1u) << "the second slot reads the clock after the job";
  EXPECT_EQ(tick(QTime(10, 0, 0), false), 2u) << "a job ending within the second runs again";
  EXPECT_EQ(form->txtHora->text(), QStringLiteral("10:00:00"));
}

TEST_F(BackupJobTest, TheTrayIconTellsTheLastBackupAndAFailureReachesAPerson) {
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(8, 0, 0)); };
  auto form = Start(false, "MostrarEstado=1\r\n");
  app::TRxTrayIcon& tray = *form->RxTrayIcon;
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup"));

  // While the job runs, its message pump shows the running state.
  QString hintDuringJob;
  QImage iconDuringJob;
  QTimer::singleShot(0, [&] {
    hintDuringJob = tray.Hint();
    iconDuringJob = Picture(tray.Icon());
  });
  Click(*form);
  EXPECT_EQ(hintDuringJob, QStringLiteral("Kelmora Backup - Realizando o backup"));
  EXPECT_EQ(iconDuringJob, Picture(app::ProgramIcon(app::BackupState::Running)));
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 concluído"));
  EXPECT_EQ(Picture(tray.Icon()), Picture(app::ProgramIcon(app::BackupState::Succeeded)));
  EXPECT_TRUE(platform.notifications.empty());

  // A copy that fails: the backup stands, but someone must look.
  form->Settings().copyFolder = "/nonexistent/copies/";
  Click(*form);
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 sem cópia"));
  EXPECT_EQ(Picture(tray.Icon()), Picture(app::ProgramIcon(app::BackupState::Failed)));
  ASSERT_EQ(platform.notifications.size(), 1u);
  EXPECT_EQ(platform.notifications[0].text,
            QStringLiteral("Kelmora Backup|O backup de 07/03/2026 08:00 foi concluído.\n"
                           "O backup não foi copiado para /nonexistent/copies/."));

  // A failed backup: the first line of the server's error reaches the notification.
  form->Settings().copyFolder.clear();
  server.backupFailure = {
      "Unable to complete network request to host \"dbhost\".\nFailed to establish a connection."};
  Click(*form);
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 falhou"));
  EXPECT_EQ(Picture(tray.Icon()), Picture(app::ProgramIcon(app::BackupState::Failed)));
  ASSERT_EQ(platform.notifications.size(), 2u);
  EXPECT_EQ(platform.urgencies[1], app::NotificationUrgency::Critical);
  EXPECT_EQ(platform.notifications[1].text,
            QStringLiteral("Kelmora Backup|O backup de 07/03/2026 08:00 não foi concluído.\n"
                           "Unable to complete network request to host \"dbhost\"."));

  // A log that cannot be written: its I/O error, in the box and the notification.
  server.backupFailure.reset();
  fs::remove_all(BackupFolder());
  folder.Write("backup", "a file where the backup folder should be");
  Click(*form);
  ASSERT_EQ(platform.notifications.size(), 3u);
  EXPECT_EQ(platform.notifications[2].text,
            QStringLiteral("Kelmora Backup|O backup de 07/03/2026 08:00 não foi concluído.\nI/O error %1")
                .arg(ENOTDIR));
}

TEST_F(BackupJobTest, ManualModeAndAnIniWithOnlyDirAndSistemaKeepTheTrayIconAsItIs) {
  struct Case {
    bool manual;
    const char* keys;
  };
  for (const Case& c : {Case{true, "MostrarEstado=1\r\n"}, Case{false, ""}}) {
    auto form = Start(c.manual, c.keys);
    server.backupFailure = {"Unable to complete network request to host \"dbhost\"."};
    Click(*form);
    EXPECT_TRUE(Shows(*form, "  Unable to complete network request to host \"dbhost\"."))
        << form->memSaida->Text();
    EXPECT_EQ(form->RxTrayIcon->Hint(), QStringLiteral("Kelmora Backup")) << c.manual;
    EXPECT_EQ(Picture(form->RxTrayIcon->Icon()), Picture(app::ProgramIcon()));
    EXPECT_TRUE(platform.notifications.empty());
  }
}

}  // namespace
}  // namespace testsupport
