// Things going wrong: each case checks what the user sees, what the log holds and which files exist
// afterwards. The server is in memory and fails where a test says; the file systems are real.

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

#include "app/desktop/TRxTrayIcon.h"
#include "tests/app/support/WindowTest.h"

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

class FaultMatrix : public WindowTest {
 protected:
  // The failed block: the three error lines, then the dashes and the empty line, also in the log.
  void ExpectFailedBlock(const app::TfrmBackup& form, const std::string& message) {
    const auto& lines = form.memSaida->Lines();
    const auto error = std::find(lines.begin(), lines.end(), kErrorLine);
    ASSERT_LT(std::distance(error, lines.end()), 10) << form.memSaida->Text();
    EXPECT_EQ(error[1],
              "Informa\xE7\xF5"
              "es da exce\xE7\xE3o:");
    EXPECT_EQ(error[2], "  " + message);
    EXPECT_EQ(lines.back(), kDashes);
    EXPECT_TRUE(Log().ends_with(form.memSaida->Text() + "\r\n"));
    EXPECT_TRUE(platform.boxes.empty());
  }
};

TEST_F(FaultMatrix, DatabaseFileMissing) {
  const std::string missing = "I/O error during \"open\" operation for file \"/dados/APP.FDB\"";
  server.attachFailures = {{core::AttachFailure::Other, {missing}}};
  server.backupFailure = {missing};
  auto form = Start(true);
  Tick(*form);  // settings load: swallowed, no retry, no box
  EXPECT_TRUE(platform.boxes.empty());
  EXPECT_EQ(platform.sleptMilliseconds, 0);
  EXPECT_TRUE(form->stbStatusPanel->text().isEmpty());
  Click(*form);  // the job: the server's own text
  ExpectFailedBlock(*form, missing);
  EXPECT_EQ(CountGbk(BackupFolder()), 0u);
}

TEST_F(FaultMatrix, ServerKilledWhileOutputLinesArrive) {
  server.backupLines.assign(100, "gbak: writing data for table DADOS");
  server.backupFailure = {"Error reading data from the connection.", 60};
  auto form = Start(true);
  Click(*form);
  ExpectFailedBlock(*form, "Error reading data from the connection.");
  EXPECT_EQ(std::count(form->memSaida->Lines().begin(), form->memSaida->Lines().end(),
                       "gbak: writing data for table DADOS"),
            60)
      << "the lines read before the failure stay";
  EXPECT_EQ(CountGbk(BackupFolder()), 0u) << "no partial backup may pass for a backup";

  // The program keeps working: with the server back, the next job succeeds.
  server.backupFailure.reset();
  Click(*form);
  EXPECT_EQ(CountGbk(BackupFolder()), 1u);
  EXPECT_NE(Log().find(kDone), std::string::npos);
  EXPECT_NE(Log().find(kErrorLine), std::string::npos) << "the failed block stays in the log";
}

TEST_F(FaultMatrix, TargetFileNotCreatableOnTheServer) {
  platform.now = [] { return QDateTime(QDate(2026, 2, 3), QTime(4, 5, 6)); };
  const std::string refused =
      "gbak: ERROR:cannot open backup file " + BackupFolder().string() + "/APP_20260203_0405.gbk";
  server.backupFailure = {refused, -1, true};
  struct Case {
    const char* keys;
    std::string lastLine;  // before the dashes
  };
  const Case cases[] = {
      {"", "  " + refused},
      {"ExplicarAcesso=1\r\n",
       "O servidor de banco de dados n\xE3o v\xEA a pasta " + BackupFolder().string() +
           "/: num servidor em outra m\xE1quina, Transferir=1 em [Backup] faz o servidor enviar o backup "
           "ao programa."},
  };
  for (const Case& c : cases) {
    auto form = Start(false, c.keys);
    fs::create_directories(BackupFolder() / "APP_20260203_0405.gbk");  // a folder where the file goes
    Click(*form);
    ExpectFailedBlock(*form, refused);
    EXPECT_EQ(form->memSaida->Lines()[form->memSaida->Lines().size() - 2], c.lastLine)
        << "which account needs access to which folder, when asked for";
    EXPECT_TRUE(fs::is_directory(BackupFolder() / "APP_20260203_0405.gbk"));
    EXPECT_TRUE(form->tmrRelogio.isActive());
  }
}

TEST_F(FaultMatrix, LogFileNotWritable) {
  // A job that cannot open its log makes no backup, says why in the standard error box, and an
  // automatic one waits for its next time.
  for (const bool manual : {false, true}) {
    fs::remove_all(BackupFolder());
    if (manual)
      fs::create_directories(BackupFolder() / "backup.txt");  // a folder in the log's place
    else
      folder.Write("backup", "a file where the backup folder should be");
    platform.boxes.clear();
    auto form = Start(manual);
    Click(*form);
    ASSERT_EQ(platform.boxes.size(), 1u) << manual;
    EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::StandardError);
    EXPECT_EQ(platform.boxes[0].text, QStringLiteral("I/O error %1.").arg(manual ? EISDIR : ENOTDIR));
    EXPECT_EQ(form->memSaida->Lines().size(), 2u);
    EXPECT_TRUE(server.calls.empty()) << "no backup is made without its log";
    EXPECT_NE(form->cursor().shape(), Qt::WaitCursor);
    EXPECT_EQ(form->tmrRelogio.isActive(), !manual) << "an early end must not stop later backups";
  }
}

TEST_F(FaultMatrix, CopyFolderFullOrReadOnlyLeavesNoPartialCopy) {
  server.backupBytes.assign(64 * 1024, 'b');
  TempFolder place;
  for (const std::string mountOptions : {"size=16k", "ro,size=1m"}) {
    const fs::path copies = place.Path() / (mountOptions.starts_with("ro") ? "readonly" : "full");
    SmallFileSystem small(copies, mountOptions);
    if (!small.Mounted()) GTEST_SKIP() << "this machine does not let the tests mount a small file system";
    auto form = Start(true);
    form->Settings().copyFolder = copies.string() + "/";
    Click(*form);
    EXPECT_NE(Log().find("Erro copiando " + copies.string() + "/APP_"), std::string::npos) << mountOptions;
    EXPECT_TRUE(Shows(*form, kDone));
    EXPECT_TRUE(fs::is_empty(copies))
        << "neither the copy nor its temporary file may remain: " << mountOptions;
    EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Backup concluído."));
  }
}

TEST_F(FaultMatrix, SettingsRowWithBlankTimesLongFolderAndExtremeDays) {
  fs::create_directories(BackupFolder());
  std::ofstream(BackupFolder() / "ancient.gbk") << "x";
  const auto seconds = static_cast<time_t>(QDateTime(QDate(1990, 1, 1), QTime(0, 0)).toSecsSinceEpoch());
  const struct timespec times[2] = {{seconds, 0}, {seconds, 0}};
  ASSERT_EQ(utimensat(AT_FDCWD, (BackupFolder() / "ancient.gbk").c_str(), times, 0), 0);
  for (const int days : {INT_MAX, INT_MIN}) {
    fs::remove(BackupFolder() / "backup.txt");
    server.row = {{"     ", "", "", "23:59"}, "/" + std::string(32000 - 2, 'x') + "/", days};
    auto form = Start(false);
    Tick(*form);
    ASSERT_TRUE(platform.boxes.empty()) << platform.boxes[0].text.toStdString();
    EXPECT_EQ(form->txtStatus->text(), QStringLiteral("Aguardando os horários , , , 23:59"));
    EXPECT_EQ(form->Settings().copyFolder.size(), 32000u) << "the whole text, not the declared 200";
    EXPECT_EQ(form->Settings().retentionDays, days);
    Click(*form);
    EXPECT_TRUE(platform.boxes.empty());
    EXPECT_NE(Log().find("Erro copiando /xxx"), std::string::npos) << "a path too long to copy to";
    EXPECT_TRUE(fs::exists(BackupFolder() / "ancient.gbk")) << days << " days: nothing is that old or none";
    EXPECT_NE(Log().find(kDone), std::string::npos) << days;
  }
}

TEST_F(FaultMatrix, SettingsFileOddities) {
  const auto start = [&](const QStringList& arguments) {
    return std::make_unique<app::TfrmBackup>(arguments, QString::fromStdString(folder.WithSeparator()),
                                             server.Ports());
  };
  // Several ":" in the location: the server part ends at the first.
  folder.Write("sistema.ini", "[Dados]\r\nDir=localhost:C:\\a:b.fdb\r\nDir=second\r\n");
  EXPECT_EQ(start({QStringLiteral("backup")})->Settings().databaseLocation, "localhost:C:\\a:b.fdb");
  // A one-megabyte line is read whole; the program starts and a job sends it to the server, whose text
  // the block shows.
  const std::string huge(1024 * 1024, 'h');
  folder.Write("sistema.ini", "[Dados]\r\nDir=" + huge + "\r\n");
  auto big = start({QStringLiteral("backup"), QStringLiteral("MANUAL")});
  EXPECT_EQ(big->Settings().databaseLocation, huge);
  big->tmrConexao.stop();
  server.backupFailure = {"Unable to complete network request to host \"hhhh\"."};
  Click(*big);
  ASSERT_EQ(server.calls.size(), 1u);
  EXPECT_EQ(server.calls[0].from, huge) << "no server part: the whole location is the database path";
  EXPECT_TRUE(Shows(*big, kErrorLine));
  EXPECT_TRUE(platform.boxes.empty());
  // Binary bytes: no location, so the start-up box and the end of the program.
  std::string binary(70000, '\0');
  for (size_t i = 0; i < binary.size(); ++i)
    binary[i] = static_cast<char>((i * 37) ^ (i >> 3));
  folder.Write("sistema.ini", binary);
  EXPECT_THROW(start({QStringLiteral("backup")}), ProcessEnded);
  ASSERT_EQ(platform.boxes.size(), 1u);
  EXPECT_EQ(platform.boxes[0].kind, app::MessageBoxKind::Error);
}

TEST_F(FaultMatrix, SairAndATrayClickDuringAJob) {
  server.backupLines.assign(300, "gbak: writing data for table DADOS");
  auto form = Start(false);
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
