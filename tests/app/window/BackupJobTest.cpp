#include <fcntl.h>
#include <gtest/gtest.h>
#include <ibase.h>
#include <sys/stat.h>

#include <QCoreApplication>
#include <QLabel>
#include <QTimer>
#include <filesystem>
#include <fstream>

#include "app/ErrorRoute.h"
#include "app/desktop/ProgramIcon.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/widgets/OutputView.h"
#include "app/widgets/TGauge.h"
#include "app/window/TfrmBackup.h"
#include "core/BackupJob.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/app/support/StartWindow.h"
#include "tests/app/support/StartsWith.h"
#include "tests/double/ScopedClientDouble.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::string kDashes(68, '-');

std::vector<fs::path> FilesIn(const fs::path& folder, const std::string& extension) {
  std::vector<fs::path> files;
  if (!fs::exists(folder)) return files;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().extension() == extension) files.push_back(entry.path());
  }
  std::sort(files.begin(), files.end());
  return files;
}

QImage Picture(const QIcon& icon) {
  return icon.pixmap(32, 32).toImage().convertToFormat(QImage::Format_ARGB32);
}

void SetLastWrite(const fs::path& file, const QDateTime& when) {
  const auto seconds = static_cast<time_t>(when.toSecsSinceEpoch());
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
}

class BackupJobTest : public ::testing::Test {
 protected:
  std::unique_ptr<app::TfrmBackup> Start(const std::string& location, bool manual,
                                         const std::string& system = "Linux") {
    auto form = StartWindow(folder, location, manual, system);
    form->tmrConexao.stop();  // the settings are given by each test
    return form;
  }
  // A click or a tick as the event loop delivers it.
  static void Run(app::TfrmBackup& form) {
    app::Guarded([&] { form.btnIniciarClick(); });
  }
  fs::path BackupFolder() const { return folder.Path() / "backup"; }
  std::string Log() const { return ReadAll(BackupFolder() / "backup.txt"); }

  FakePlatform platform;
  TempFolder folder;
};

TEST_F(BackupJobTest, ManualJobShowsEveryServerLineAndLogsTheSameBlock) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_MANUAL");
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(14, 30, 0)); };
  auto form = Start(server.Location(database), true);
  Run(*form);
  ASSERT_TRUE(platform.boxes.empty()) << platform.boxes[0].text.toStdString();

  const auto& lines = form->memSaida->Lines();
  ASSERT_GT(lines.size(), 20u);
  EXPECT_TRUE(lines[0].starts_with("Backup iniciado em ")) << lines[0];
  EXPECT_EQ(lines[1], "");
  const auto gbk = FilesIn(BackupFolder(), ".gbk");
  ASSERT_EQ(gbk.size(), 1u);
  EXPECT_EQ(lines[2], "Realizando o backup para " + gbk[0].string());
  EXPECT_EQ(lines[3], "");
  EXPECT_EQ(gbk[0].filename().string(), "JOB_MANUAL_20260307_1430.gbk");
  // The server's verbose lines follow in order, then the empty line that ends them.
  EXPECT_TRUE(lines[4].starts_with("gbak:")) << lines[4];
  const size_t done = std::find(lines.begin(), lines.end(),
                                "Backup conclu\xED"
                                "do.") -
                      lines.begin();
  ASSERT_LT(done, lines.size());
  EXPECT_EQ(lines[done - 1], "");
  EXPECT_NE(std::find_if(
                lines.begin(), lines.end(),
                [](const std::string& line) { return line.find("writing table SIS_BACKUP") != line.npos; }),
            lines.end())
      << form->memSaida->Text();
  EXPECT_EQ(lines[done + 1], "");
  EXPECT_TRUE(lines[done + 2].starts_with("Backup encerrado em "));
  EXPECT_EQ(lines.back(), kDashes);
  EXPECT_EQ(lines.size(), done + 5);

  EXPECT_EQ(Log(), form->memSaida->Text() + "\r\n");
  EXPECT_NE(Log().find("Backup conclu\xED"
                       "do.\r\n\r\nBackup encerrado em "),
            std::string::npos);
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Backup concluído."));
  EXPECT_EQ(form->Gauge->MaxValue(), 100);
  EXPECT_EQ(form->Gauge->Progress(), 100);
  EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);
  EXPECT_FALSE(form->Backup->Active());

  // The backup restores, and the restored settings row is the one backed up.
  std::string output;
  const auto restored = server.DataDir() / "JOB_MANUAL_RESTORED.fdb";
  fs::remove(restored);
  ASSERT_EQ(server.RunGbak({"-c", gbk[0].string(), restored.string()}, &output), 0) << output;
  ASSERT_EQ(server.RunIsql(
                "CONNECT '" + server.Location(restored) +
                    "' USER 'SYSDBA' PASSWORD 'tidewater';\nSELECT HR_BACKUP_1, NR_DIAS FROM SIS_BACKUP;\n",
                &output),
            0);
  EXPECT_NE(output.find("08:00"), std::string::npos) << output;

  // A second job appends its block; the first stays.
  const std::string first = Log();
  Run(*form);
  EXPECT_TRUE(Log().starts_with(first));
  EXPECT_GT(Log().size(), first.size());
}

TEST_F(BackupJobTest, AutomaticJobLogsOnlyItsOwnLinesAndWaitsAgain) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_AUTO");
  auto form = Start(server.Location(database), false);
  form->Settings().scheduleTimes = {"07:00", "", "", ""};
  Run(*form);
  ASSERT_TRUE(platform.boxes.empty());
  const auto& lines = form->memSaida->Lines();
  ASSERT_EQ(lines.size(), 9u);
  EXPECT_EQ(lines[4],
            "Backup conclu\xED"
            "do.");
  EXPECT_EQ(lines[8], kDashes);
  EXPECT_EQ(Log(), form->memSaida->Text() + "\r\n");
  EXPECT_TRUE(form->tmrRelogio.isActive());
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários 07:00"));
  EXPECT_EQ(FilesIn(BackupFolder(), ".gbk").size(), 1u);
}

TEST_F(BackupJobTest, TheWindowsJobAndTheCoreJobWithoutAWindowLogTheSameBytes) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_SAME");
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(21, 5, 59)); };
  auto form = Start(server.Location(database), false);
  Run(*form);
  const std::string windowBlock = Log();
  ASSERT_NE(windowBlock.find("Backup conclu\xED"
                             "do."),
            std::string::npos)
      << windowBlock;
  fs::remove(BackupFolder() / "backup.txt");

  core::Transcript transcript;
  core::JobObserver quiet;
  core::BackupJob job(form->Settings(), *form->Backup, transcript, quiet);
  ASSERT_EQ(job.Run(false), core::JobOutcome::Completed);
  EXPECT_EQ(Log(), windowBlock);
}

TEST_F(BackupJobTest, ABackupThatDoesNotVerifyIsAFailureOfTheTrayAndTheOutputAreaSaysWhy) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_VERIFY");
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(8, 0, 0)); };
  folder.Write("sistema.ini", "[Dados]\r\nDir=" + server.Location(database) +
                                  "\r\n[Backup]\r\nSistema=Linux\r\nVerificar=1\r\n");
  auto form = std::make_unique<app::TfrmBackup>(QStringList{QStringLiteral("backup")},
                                                QString::fromStdString(folder.WithSeparator()));
  form->tmrConexao.stop();
  ASSERT_TRUE(form->Settings().verifyBackup);
  Run(*form);
  EXPECT_EQ(form->RxTrayIcon->Hint(),
            QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 concluído"));
  const auto& good = form->memSaida->Lines();
  EXPECT_NE(std::find(good.begin(), good.end(), "Backup verificado."), good.end());
  EXPECT_EQ(Picture(form->RxTrayIcon->Icon()), Picture(app::ProgramIcon(app::BackupState::Succeeded)));
  EXPECT_TRUE(platform.notifications.empty());

  // Something the restore cannot replace stands where the scratch database goes; the copy fails too,
  // which must not turn the failure into a mere missing copy.
  fs::create_directories(BackupFolder() / "JOB_VERIFY_20260307_0800_verificacao.fdb" / "inside");
  form->Settings().copyFolder = "/nonexistent/copies/";
  Run(*form);
  EXPECT_TRUE(platform.boxes.empty());
  const auto& lines = form->memSaida->Lines();
  const auto line = std::find_if(lines.begin(), lines.end(), [](const std::string& text) {
    return text.starts_with("Backup n\xE3o verificado: a restaura\xE7\xE3o falhou: ");
  });
  ASSERT_NE(line, lines.end()) << form->memSaida->Text();
  EXPECT_EQ(form->RxTrayIcon->Hint(),
            QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 falhou"));
  EXPECT_EQ(Picture(form->RxTrayIcon->Icon()), Picture(app::ProgramIcon(app::BackupState::Failed)));
  ASSERT_EQ(platform.notifications.size(), 1u);
  EXPECT_TRUE(StartsWith(platform.notifications[0].text,
                         QStringLiteral("Kelmora Backup|O backup de 07/03/2026 08:00 não foi concluído.\n"
                                        "Backup não verificado: a restauração falhou: ")));
  EXPECT_TRUE(form->tmrRelogio.isActive()) << "the schedule carries on";
}

TEST_F(BackupJobTest, CopiesTheBackupAndDeletesOnlyExpiredFilesNeverTheLog) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_COPY");
  const QDateTime now(QDate(2026, 3, 7), QTime(12, 0));
  platform.now = [now] { return now; };
  auto form = Start(server.Location(database), true);
  TempFolder copies;
  form->Settings().copyFolder = copies.WithSeparator();
  form->Settings().retentionDays = 7;

  const QDateTime limit(now.date().addDays(-7), QTime(0, 0));
  fs::create_directories(BackupFolder());
  const auto write = [&](const std::string& name, const QDateTime& when) {
    std::ofstream(BackupFolder() / name) << "x";
    SetLastWrite(BackupFolder() / name, when);
  };
  write("old.gbk", limit);
  write("older.txt", limit.addDays(-30));
  write("recent.gbk", limit.addSecs(2));
  write("backup.txt", limit.addDays(-100));  // the log itself is never deleted
  fs::create_directory(BackupFolder() / "folder");
  SetLastWrite(BackupFolder() / "folder", limit.addDays(-1));
  std::ofstream(copies.Path() / "ancient.gbk") << "the copy folder is never cleaned";
  SetLastWrite(copies.Path() / "ancient.gbk", limit.addDays(-50));

  Run(*form);
  ASSERT_TRUE(platform.boxes.empty());
  EXPECT_FALSE(fs::exists(BackupFolder() / "old.gbk"));
  EXPECT_FALSE(fs::exists(BackupFolder() / "older.txt"));
  EXPECT_TRUE(fs::exists(BackupFolder() / "recent.gbk"));
  EXPECT_TRUE(fs::exists(BackupFolder() / "folder"));
  EXPECT_TRUE(fs::exists(copies.Path() / "ancient.gbk"));
  EXPECT_TRUE(Log().starts_with("x"));
  EXPECT_NE(Log().find(kDashes), std::string::npos);

  const auto made = FilesIn(BackupFolder(), ".gbk");
  ASSERT_EQ(made.size(), 2u);  // recent.gbk and the new backup
  const fs::path backup = made[0].filename() == "recent.gbk" ? made[1] : made[0];
  const fs::path copy = copies.Path() / backup.filename();
  EXPECT_EQ(ReadAll(copy), ReadAll(backup));
  EXPECT_NE(Log().find("Copiando o backup para " + copy.string() + "\r\n\r\n"), std::string::npos);
  EXPECT_EQ(FilesIn(copies.Path(), ".gbk").size(), 2u) << "no temporary file may remain";
}

TEST_F(BackupJobTest, NoCleanUpForZeroOrNegativeDaysAndCopyFailuresAreLoggedAndSkipped) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_NOCLEAN");
  auto form = Start(server.Location(database), true);
  fs::create_directories(BackupFolder());
  std::ofstream(BackupFolder() / "ancient.gbk") << "x";
  SetLastWrite(BackupFolder() / "ancient.gbk", QDateTime(QDate(2001, 1, 1), QTime(0, 0)));
  form->Settings().copyFolder = (folder.Path() / "missing" / "").string();
  for (int days : {0, -5}) {
    form->Settings().retentionDays = days;
    Run(*form);
    EXPECT_TRUE(fs::exists(BackupFolder() / "ancient.gbk")) << days;
  }
  const std::string log = Log();
  EXPECT_NE(log.find("Erro copiando " + (folder.Path() / "missing").string() + "/JOB_NOCLEAN_"),
            std::string::npos);
  EXPECT_NE(log.find("Backup encerrado em "), std::string::npos);
  EXPECT_FALSE(fs::exists(folder.Path() / "missing"));
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Backup concluído."));
}

TEST_F(BackupJobTest, StoppedServerEndsTheJobButTheLogAndTheScheduleCarryOn) {
  FirebirdServer server;
  const auto database = CreateAppDatabase(server, "JOB_DOWN");
  server.Stop();
  QDateTime now(QDate(2026, 3, 7), QTime(2, 58, 0));
  platform.now = [&] { return now; };
  auto form = Start(server.Location(database), false);
  form->Settings().scheduleTimes = {"03:00", "", "", ""};
  form->tmrRelogio.stop();
  Run(*form);
  EXPECT_TRUE(platform.boxes.empty()) << "the job ends silently";
  const auto& lines = form->memSaida->Lines();
  ASSERT_GE(lines.size(), 8u);
  EXPECT_EQ(lines[4],
            "Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
            "do.");
  EXPECT_EQ(lines[5],
            "Informa\xE7\xF5"
            "es da exce\xE7\xE3o:");
  EXPECT_TRUE(lines[6].starts_with("  Unable to complete network request to host")) << lines[6];
  EXPECT_EQ(lines.back(), kDashes);
  EXPECT_EQ(Log(), form->memSaida->Text() + "\r\n");
  EXPECT_TRUE(FilesIn(BackupFolder(), ".gbk").empty());
  // Waiting again, pointer restored, no stale attachment.
  EXPECT_TRUE(form->tmrRelogio.isActive());
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários 03:00"));
  EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);
  EXPECT_FALSE(form->Backup->Active());

  // The next schedule time finds the server up again and backs up.
  server.Start();
  now = QDateTime(QDate(2026, 3, 7), QTime(3, 0, 0));
  app::Guarded([&] { form->tmrRelogioTimer(); });
  EXPECT_EQ(FilesIn(BackupFolder(), ".gbk").size(), 1u);
  EXPECT_NE(Log().find("Backup conclu\xED"
                       "do."),
            std::string::npos);
}

TEST_F(BackupJobTest, AClockJumpOverAScheduleTimeGivesOneCatchUpJobThatTheLogNames) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_LATE");
  QDateTime now(QDate(2026, 3, 7), QTime(7, 59, 58));
  platform.now = [&] { return now; };
  auto form = Start(server.Location(database), false);
  form->Settings().scheduleTimes = {"08:00", "", "", ""};
  app::Guarded([&] { form->tmrRelogioTimer(); });
  now = QDateTime(QDate(2026, 3, 7), QTime(9, 12, 0));  // the machine slept through 08:00
  app::Guarded([&] { form->tmrRelogioTimer(); });
  now = now.addSecs(1);
  app::Guarded([&] { form->tmrRelogioTimer(); });
  EXPECT_EQ(FilesIn(BackupFolder(), ".gbk").size(), 1u);
  const std::string log = Log();
  EXPECT_TRUE(
      log.starts_with("Backup iniciado em 07/03/2026 09:12:00\r\n\r\n"
                      "Backup fora de hora: o hor\xE1rio 08:00 passou sem backup.\r\n\r\n"
                      "Realizando o backup para "))
      << log;
  EXPECT_EQ(log.find("Backup iniciado em", 1), std::string::npos) << "exactly one job";
}

TEST_F(BackupJobTest, LogThatCannotBeOpenedShowsTheIOErrorBox) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "JOB_NOLOG");
  auto form = Start(server.Location(database), false);
  folder.Write("backup", "a file where the backup folder should be");
  Run(*form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("I/O error %1.").arg(ENOTDIR));
  EXPECT_EQ(form->memSaida->Lines().size(), 2u);
  EXPECT_TRUE(form->tmrRelogio.isActive()) << "an early end must not stop later backups";
}

class ReplayedJobTest : public BackupJobTest {
 protected:
  fbdouble::ScopedClientDouble client;
  fbdouble::Control* control = &client.Double();
};

TEST_F(ReplayedJobTest, GaugeStopsAtItsMaximumAndEveryLineIsShown) {
  auto form = Start("localhost:/data/app.fdb", true);
  control->ReplayServiceLines(15050, "gbak: writing data");
  Run(*form);
  const auto& lines = form->memSaida->Lines();
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "gbak: writing data"), 15050);
  EXPECT_EQ(form->Gauge->Progress(), 100);

  int progressWhenFull = -1;
  control->ReplayServiceLines(15010, "line");
  QTimer probe;
  QObject::connect(&probe, &QTimer::timeout, [&] {
    if (form->Gauge->MaxValue() == 15000)
      progressWhenFull = std::max(progressWhenFull, form->Gauge->Progress());
  });
  probe.start(0);
  Run(*form);
  EXPECT_EQ(progressWhenFull, 15000);
}

TEST_F(ReplayedJobTest, ASecondStartDuringTheOutputLoopDoesNothing) {
  auto form = Start("localhost:/data/app.fdb", true);
  control->ReplayServiceLines(2000, "line");
  int attempts = 0;
  QTimer again;
  QObject::connect(&again, &QTimer::timeout, [&] {
    ++attempts;
    app::Guarded([&] { form->btnIniciarClick(); });
  });
  again.start(0);
  Run(*form);
  again.stop();
  EXPECT_GT(attempts, 0);
  const std::string log = Log();
  size_t starts = 0;
  for (size_t at = log.find("Backup iniciado em "); at != std::string::npos;
       at = log.find("Backup iniciado em ", at + 1))
    ++starts;
  EXPECT_EQ(starts, 1u);
  EXPECT_EQ(fbdouble::CallsTo(control->Calls(), "isc_service_start").size(), 1u);
}

TEST_F(ReplayedJobTest, ScheduleMatchesOnlyTheFullMinuteAndRunsATimeTwiceOnlyWithinTheSameSecond) {
  const QDate today(2026, 3, 7);
  // The clock starts watching at the first tick's moment, so that 10:00 has not passed unseen.
  platform.now = [today] { return QDateTime(today, QTime(10, 0, 1)); };
  auto form = Start("localhost:/data/app.fdb", false);
  form->Settings().scheduleTimes = {"9:30", "10:00", "", "10:00"};
  const auto jobs = [&] { return fbdouble::CallsTo(control->Calls(), "isc_service_start").size(); };
  const auto tick = [&](QTime time, bool secondPasses) {
    control->ClearCalls();
    platform.now = [&, time, secondPasses] {
      const bool late = secondPasses && form->memSaida->Lines().size() > 0 && !form->JobRunning();
      return QDateTime(today, late ? time.addSecs(1) : time);
    };
    form->memSaida->Clear();
    control->ReplayServiceLines(3, "line");
    app::Guarded([&] { form->tmrRelogioTimer(); });
    return jobs();
  };
  EXPECT_EQ(tick(QTime(10, 0, 1), false), 0u);
  EXPECT_EQ(tick(QTime(9, 30, 0), false), 0u) << "a one-digit hour never matches";
  EXPECT_EQ(tick(QTime(10, 0, 0), true), 1u) << "the second slot reads the clock after the job";
  EXPECT_EQ(tick(QTime(10, 0, 0), false), 2u) << "a job ending within the second runs again";
  EXPECT_EQ(form->txtHora->text(), QStringLiteral("10:00:00"));
}

}  // namespace
}  // namespace testsupport

namespace testsupport {
namespace {

TEST_F(ReplayedJobTest, TheTrayIconTellsTheLastBackupAndAFailureReachesAPerson) {
  platform.now = [] { return QDateTime(QDate(2026, 3, 7), QTime(8, 0, 0)); };
  auto form = Start("dbhost:/dados/APP.FDB", false);
  app::TRxTrayIcon& tray = *form->RxTrayIcon;
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup"));

  // While the job runs, its message pump shows the running state.
  QString hintDuringJob;
  QImage iconDuringJob;
  control->ReplayServiceLines(3, "gbak: writing data");
  QTimer::singleShot(0, [&] {
    hintDuringJob = tray.Hint();
    iconDuringJob = Picture(tray.Icon());
  });
  Run(*form);
  EXPECT_EQ(hintDuringJob, QStringLiteral("Kelmora Backup - Realizando o backup"));
  EXPECT_EQ(iconDuringJob, Picture(app::ProgramIcon(app::BackupState::Running)));
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 concluído"));
  EXPECT_EQ(Picture(tray.Icon()), Picture(app::ProgramIcon(app::BackupState::Succeeded)));
  EXPECT_TRUE(platform.notifications.empty());

  // A copy that fails: the backup stands, but someone must look.
  form->Settings().copyFolder = "/nonexistent/copies/";
  control->ReplayServiceLines(3, "gbak: writing data");
  Run(*form);
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 sem cópia"));
  EXPECT_EQ(Picture(tray.Icon()), Picture(app::ProgramIcon(app::BackupState::Failed)));
  ASSERT_EQ(platform.notifications.size(), 1u);
  EXPECT_EQ(platform.notifications[0].text,
            QStringLiteral("Kelmora Backup|O backup de 07/03/2026 08:00 foi concluído.\n"
                           "O backup não foi copiado para /nonexistent/copies/."));

  // A failed backup: the server's error reaches the notification.
  form->Settings().copyFolder.clear();
  control->Fail("isc_service_attach",
                {isc_arg_gds, isc_network_error, isc_arg_string, fbdouble::Arg("dbhost"), isc_arg_end});
  Run(*form);
  EXPECT_EQ(tray.Hint(), QStringLiteral("Kelmora Backup - Último backup: 07/03/2026 08:00 falhou"));
  EXPECT_EQ(Picture(tray.Icon()), Picture(app::ProgramIcon(app::BackupState::Failed)));
  ASSERT_EQ(platform.notifications.size(), 2u);
  EXPECT_TRUE(StartsWith(platform.notifications[1].text,
                         QStringLiteral("Kelmora Backup|O backup de 07/03/2026 08:00 não foi concluído.\n"
                                        "Unable to complete network request to host \"dbhost\"")));
}

TEST_F(ReplayedJobTest, ManualModeKeepsItsTrayIconOutOfIt) {
  auto form = Start("dbhost:/dados/APP.FDB", true);
  control->Fail("isc_service_attach", {isc_arg_gds, isc_network_error, isc_arg_end});
  Run(*form);
  EXPECT_EQ(form->RxTrayIcon->Hint(), QStringLiteral("Kelmora Backup"));
  EXPECT_TRUE(platform.notifications.empty());
}

}  // namespace
}  // namespace testsupport
