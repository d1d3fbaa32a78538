// Things going wrong for real: each case checks what the user sees, what the log holds and which files
// exist afterwards.

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/mount.h>
#include <sys/stat.h>

#include <QLabel>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <climits>
#include <filesystem>
#include <fstream>

#include "app/ErrorRoute.h"
#include "app/desktop/TRxTrayIcon.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "tests/app/support/FakePlatform.h"
#include "tests/app/support/StartWindow.h"
#include "tests/support/AppDatabase.h"
#include "tests/support/FileBytes.h"
#include "tests/support/TempFolder.h"

namespace testsupport {
namespace {
namespace fs = std::filesystem;

const std::string kDashes(68, '-');
const std::string kErrorLine =
    "Ocorreu um erro inesperado. O backup n\xE3o foi conclu\xED"
    "do.";
const std::string kDone =
    "Backup conclu\xED"
    "do.";

size_t CountGbk(const fs::path& folder) {
  if (!fs::is_directory(folder)) return 0;
  size_t count = 0;
  for (const auto& entry : fs::directory_iterator(folder))
    count += entry.path().extension() == ".gbk";
  return count;
}

// A small file system of its own for the copy folder; needs the right to mount.
class SmallFileSystem {
 public:
  SmallFileSystem(const fs::path& where, const std::string& options) : where_(where) {
    fs::create_directories(where);
    mounted_ = ::mount("tmpfs", where.c_str(), "tmpfs", 0, options.c_str()) == 0;
  }
  ~SmallFileSystem() {
    if (mounted_) ::umount2(where_.c_str(), MNT_DETACH);
  }
  bool Mounted() const { return mounted_; }

 private:
  fs::path where_;
  bool mounted_ = false;
};

class FaultMatrix : public ::testing::Test {
 protected:
  std::unique_ptr<app::TfrmBackup> Start(const std::string& location, bool manual) {
    auto form = StartWindow(folder, location, manual);
    form->tmrConexao.stop();
    return form;
  }
  static void Click(app::TfrmBackup& form) {
    app::Guarded([&] { form.btnIniciarClick(); });
  }
  static void Tick(app::TfrmBackup& form) {
    app::Guarded([&] { form.tmrConexaoTimer(); });
  }
  fs::path BackupFolder() const { return folder.Path() / "backup"; }
  std::string Log() const { return ReadAll(BackupFolder() / "backup.txt"); }
  // The failed block: the three error lines, then the dashes and the empty line, also in the log.
  void ExpectFailedBlock(const app::TfrmBackup& form, const std::string& messageStart) {
    const auto& lines = form.memSaida->Lines();
    const auto error = std::find(lines.begin(), lines.end(), kErrorLine);
    ASSERT_LT(std::distance(error, lines.end()), 10) << form.memSaida->Text();
    EXPECT_EQ(error[1],
              "Informa\xE7\xF5"
              "es da exce\xE7\xE3o:");
    EXPECT_TRUE(error[2].starts_with("  " + messageStart)) << error[2];
    EXPECT_EQ(lines.back(), kDashes);
    EXPECT_TRUE(Log().ends_with(form.memSaida->Text() + "\r\n"));
    EXPECT_TRUE(platform.boxes.empty());
  }

  FakePlatform platform;
  TempFolder folder;
};

TEST_F(FaultMatrix, DatabaseFileMissing) {
  FirebirdServer& server = FirebirdServer::Shared();
  const std::string location = server.Location(server.DataDir() / "NO_SUCH_DATABASE.fdb");
  auto form = Start(location, true);
  Tick(*form);  // settings load: swallowed, no retry, no box
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(platform.sleptMilliseconds, 0);
  EXPECT_TRUE(form->stbStatusPanel->text().isEmpty());
  Click(*form);  // the job: the server's own text
  ExpectFailedBlock(*form, "I/O error during \"open\" operation for file");
  EXPECT_EQ(CountGbk(BackupFolder()), 0u);
}

TEST_F(FaultMatrix, ServerKilledWhileOutputLinesArrive) {
  FirebirdServer server;
  AppDatabaseOptions options;
  options.extraTables = 40;
  options.rowsPerExtraTable = 300;
  const auto database = CreateAppDatabase(server, "KILLED", options);
  auto form = Start(server.Location(database), true);
  QTimer killer;
  QObject::connect(&killer, &QTimer::timeout, [&] {
    if (form->memSaida->Lines().size() > 60 && server.Running()) server.Stop();
  });
  killer.start(0);
  Click(*form);
  killer.stop();
  EXPECT_FALSE(server.Running());
  ExpectFailedBlock(*form, "");
  EXPECT_GT(form->memSaida->Lines().size(), 60u) << "the lines read before the failure stay";
  EXPECT_EQ(CountGbk(BackupFolder()), 0u) << "no partial backup may pass for a backup";

  // The program keeps working: with the server back, the next job succeeds.
  server.Start();
  Click(*form);
  EXPECT_EQ(CountGbk(BackupFolder()), 1u);
  EXPECT_NE(Log().find(kDone), std::string::npos);
  EXPECT_NE(Log().find(kErrorLine), std::string::npos) << "the failed block stays in the log";
}

TEST_F(FaultMatrix, TargetFileNotCreatableOnTheServer) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "NOTARGET");
  const QDateTime fixed(QDate(2026, 2, 3), QTime(4, 5, 6));
  platform.now = [&] { return fixed; };
  auto form = Start(server.Location(database), false);
  fs::create_directories(BackupFolder() / "NOTARGET_20260203_0405.gbk");  // a folder where the file goes
  Click(*form);
  ExpectFailedBlock(*form, "");
  EXPECT_TRUE(fs::is_directory(BackupFolder() / "NOTARGET_20260203_0405.gbk"));
  EXPECT_TRUE(form->tmrRelogio.isActive());
}

TEST_F(FaultMatrix, LogFileNotWritable) {
  FirebirdServer& server = FirebirdServer::Shared();
  const auto database = CreateAppDatabase(server, "NOLOG");
  auto form = Start(server.Location(database), true);
  fs::create_directories(BackupFolder() / "backup.txt");  // a folder in the log's place
  Click(*form);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].text, QStringLiteral("I/O error %1.").arg(EISDIR));
  EXPECT_EQ(form->memSaida->Lines().size(), 2u);
  EXPECT_EQ(CountGbk(BackupFolder()), 0u) << "no backup is made without its log";
  EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);
}

TEST_F(FaultMatrix, CopyFolderFullOrReadOnlyLeavesNoPartialCopy) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.extraTables = 5;
  options.rowsPerExtraTable = 500;
  const auto database = CreateAppDatabase(server, "COPYFULL", options);
  TempFolder place;
  for (const std::string mountOptions : {"size=16k", "ro,size=1m"}) {
    const fs::path copies = place.Path() / (mountOptions.starts_with("ro") ? "readonly" : "full");
    SmallFileSystem small(copies, mountOptions);
    if (!small.Mounted()) GTEST_SKIP() << "this machine does not let the tests mount a small file system";
    auto form = Start(server.Location(database), true);
    form->Settings().copyFolder = copies.string() + "/";
    Click(*form);
    const std::string log = Log();
    EXPECT_NE(log.find("Erro copiando " + copies.string() + "/COPYFULL_"), std::string::npos) << mountOptions;
    EXPECT_NE(form->memSaida->Lines().end(),
              std::find(form->memSaida->Lines().begin(), form->memSaida->Lines().end(), kDone));
    EXPECT_TRUE(fs::is_empty(copies))
        << "neither the copy nor its temporary file may remain: " << mountOptions;
    EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Backup concluído."));
  }
}

TEST_F(FaultMatrix, SettingsRowWithBlankTimesLongFolderAndExtremeDays) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.copyFolderType = "VARCHAR(32000)";
  options.row->time1 = "     ";
  options.row->time2 = "";
  options.row->time3 = std::nullopt;
  options.row->time4 = "23:59";
  options.row->copyFolder = "/" + std::string(32000 - 2, 'x') + "/";
  options.row->retentionDays = INT_MAX;
  const auto database = CreateAppDatabase(server, "ODDROW", options);
  auto form = Start(server.Location(database), false);
  Tick(*form);
  ASSERT_TRUE(platform.boxes.empty()) << platform.boxes[0].text.toStdString();
  EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários , , , 23:59"));
  EXPECT_EQ(form->Settings().copyFolder.size(), 32000u) << "the whole text, not the declared 200";
  EXPECT_EQ(form->Settings().retentionDays, INT_MAX);

  fs::create_directories(BackupFolder());
  std::ofstream(BackupFolder() / "ancient.gbk") << "x";
  const auto seconds = static_cast<time_t>(QDateTime(QDate(1990, 1, 1), QTime(0, 0)).toSecsSinceEpoch());
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (BackupFolder() / "ancient.gbk").c_str(), times, 0), 0);
  Click(*form);
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_NE(Log().find("Erro copiando /xxx"), std::string::npos) << "a path too long to copy to";
  EXPECT_TRUE(fs::exists(BackupFolder() / "ancient.gbk")) << "nothing is that old";
  EXPECT_NE(Log().find(kDone), std::string::npos);
}

TEST_F(FaultMatrix, NegativeRetentionDaysDeleteNothing) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.row->retentionDays = INT_MIN;
  const auto database = CreateAppDatabase(server, "NEGDAYS", options);
  auto form = Start(server.Location(database), true);
  Tick(*form);
  EXPECT_EQ(form->Settings().retentionDays, INT_MIN);
  fs::create_directories(BackupFolder());
  std::ofstream(BackupFolder() / "old.gbk") << "x";
  Click(*form);
  EXPECT_TRUE(fs::exists(BackupFolder() / "old.gbk"));
  EXPECT_EQ(CountGbk(BackupFolder()), 2u);
}

TEST_F(FaultMatrix, SettingsFileOddities) {
  // Several ":" in the location: the server part ends at the first.
  folder.Write("sistema.ini", "[Dados]\r\nDir=localhost:C:\\a:b.fdb\r\nDir=second\r\n");
  app::TfrmBackup colons(QStringList{QStringLiteral("backup")},
                         QString::fromStdString(folder.WithSeparator()));
  EXPECT_EQ(colons.Settings().databaseLocation, "localhost:C:\\a:b.fdb");
  // A one-megabyte line is read whole; the program starts and a job fails with the server's text.
  const std::string huge(1024 * 1024, 'h');
  folder.Write("sistema.ini", "[Dados]\r\nDir=" + huge + "\r\n");
  app::TfrmBackup big(QStringList{QStringLiteral("backup"), QStringLiteral("MANUAL")},
                      QString::fromStdString(folder.WithSeparator()));
  EXPECT_EQ(big.Settings().databaseLocation, huge);
  big.tmrConexao.stop();
  Click(big);
  const auto& bigLines = big.memSaida->Lines();
  EXPECT_NE(std::find(bigLines.begin(), bigLines.end(), kErrorLine), bigLines.end());
  EXPECT_TRUE(platform.boxes.empty());
  // Binary bytes: no location, so the start-up box and the end of the program.
  std::string binary(70000, '\0');
  for (size_t i = 0; i < binary.size(); ++i)
    binary[i] = static_cast<char>((i * 37) ^ (i >> 3));
  folder.Write("sistema.ini", binary);
  EXPECT_THROW(
      app::TfrmBackup(QStringList{QStringLiteral("backup")}, QString::fromStdString(folder.WithSeparator())),
      ProcessEnded);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Error);
}

TEST_F(FaultMatrix, SairAndATrayClickDuringAJob) {
  FirebirdServer& server = FirebirdServer::Shared();
  AppDatabaseOptions options;
  options.extraTables = 20;
  const auto database = CreateAppDatabase(server, "SAIR", options);
  auto form = Start(server.Location(database), false);
  bool clicked = false;
  bool closed = false;
  int upAfterSair = 0;
  QTimer user;
  QObject::connect(&user, &QTimer::timeout, [&] {
    const size_t lines = form->memSaida->Lines().size();
    if (!form->JobRunning()) return;
    if (!clicked && lines >= 2) {
      clicked = true;
      form->RxTrayIcon->OnClick(*form->RxTrayIcon, app::TRxTrayIcon::MouseButton::Left, {});
      EXPECT_TRUE(form->isVisible()) << "the click shows the window while the job runs";
    } else if (clicked && !closed) {
      closed = true;
      form->popSair->trigger();
    } else if (closed) {
      upAfterSair += form->isVisible() && form->RxTrayIcon->Active();
    }
  });
  user.start(0);
  // Delivered as the message loop delivers a click (the button is hidden in automatic mode, where the
  // clock starts jobs the same way).
  form->btnIniciar->click();
  user.stop();
  EXPECT_TRUE(clicked);
  EXPECT_TRUE(closed);
  EXPECT_GT(upAfterSair, 0) << "the window and the icon stay while the job runs on";
  EXPECT_FALSE(form->isVisible());
  EXPECT_FALSE(form->RxTrayIcon->Active());
  EXPECT_NE(Log().find(kDone), std::string::npos) << "the job finishes before the program ends";
  EXPECT_EQ(CountGbk(BackupFolder()), 1u);
}

}  // namespace
}  // namespace testsupport
