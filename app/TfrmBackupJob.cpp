#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QLabel>

#include "app/BackupFiles.h"
#include "app/BackupNames.h"
#include "app/DateTimeFormat.h"
#include "app/Exceptions.h"
#include "app/OutputView.h"
#include "app/Platform.h"
#include "app/TGauge.h"
#include "app/Text.h"
#include "app/TfrmBackup.h"
#include "platform/Cp1252.h"

namespace app {
namespace {

// The gauge's estimate of the number of output lines of a backup; there is no count in advance.
constexpr int kExpectedOutputLines = 15000;

std::string NowText() {
  return ToCp1252(FormatDateTime(QStringLiteral("dd/mm/yyyy hh:nn:ss"), CurrentPlatform().Now()));
}

// Marks a job as running for its whole life, however it ends.
class RunningFlag {
 public:
  explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
  ~RunningFlag() { flag_ = false; }
  RunningFlag(const RunningFlag&) = delete;
  RunningFlag& operator=(const RunningFlag&) = delete;

 private:
  bool& flag_;
};

}  // namespace

void TfrmBackup::btnIniciarClick() {
  // The job drives the one output area, log file and service component; a second start while the
  // per-line message pump runs (the button, a tray command) must not begin another job inside it.
  if (jobRunning_) return;
  RunningFlag running(jobRunning_);
  try {
    RunBackupJob();
  } catch (...) {
    EndJobEarly();
    throw;
  }
}

void TfrmBackup::EndJobEarly() {
  // One failed night must not stop every later backup: the window returns to waiting as after a
  // completed job, and a stale service attachment is dropped so the next job starts afresh.
  if (Backup->Active()) {
    try {
      Backup->SetActive(false);
    } catch (...) {
    }
  }
  unsetCursor();
  if (!ManualMode()) {
    tmrRelogio.start();
    ShowWaitingText();
  }
}

void TfrmBackup::RunBackupJob() {
  setCursor(Qt::WaitCursor);
  tmrRelogio.stop();

  memSaida->Clear();
  memSaida->Add("Backup iniciado em " + NowText());
  memSaida->Add("");
  SetTextNow(txtStatus, QStringLiteral("Realizando o Backup"));

  BackupNames names = BackupNames::For(settings_, CurrentPlatform().Now());
  ::mkdir(names.backupFolder.c_str(), 0755);
  LogFile log(names.logFile);

  memSaida->Add("Realizando o backup para " + names.serverTarget);
  memSaida->Add("");

  bool backupStarted = false;
  try {
    RunServiceBackup(names, backupStarted);
  } catch (const std::exception& error) {
    memSaida->Add("Ocorreu um erro inesperado. O backup não foi concluído."_cp1252);
    memSaida->Add("Informações da exceção:"_cp1252);
    memSaida->Add("  " + std::string(error.what()));
    // What the server wrote before the failure is not a backup, though its name says so. Only a
    // started request can have written it: before that the name may still be an earlier good backup
    // of the same minute.
    if (backupStarted) ::unlink(names.localBackupName.c_str());
    // An unattended failure must reach the log, where it will be looked for.
    memSaida->Add(std::string(68, '-'));
    log.Append(memSaida->Text() + "\r\n");
    log.Close();
    throw EAbort();
  }

  CopyBackup(names);
  DeleteExpiredFiles(names);

  memSaida->Add("Backup encerrado em " + NowText());
  memSaida->Add("");
  Gauge->SetMaxValue(100);
  Gauge->SetProgress(100);
  memSaida->Add(std::string(68, '-'));
  log.Append(memSaida->Text() + "\r\n");
  log.Close();

  unsetCursor();
  if (ManualMode()) {
    SetTextNow(txtStatus, QStringLiteral("Backup concluído."));
  } else {
    tmrRelogio.start();
    ShowWaitingText();
  }
}

void TfrmBackup::RunServiceBackup(const BackupNames& names, bool& started) {
  Backup->SetDatabaseName(names.databasePath);
  Backup->SetServerName(names.serverName);
  Backup->BackupFile().Clear();
  Backup->BackupFile().Add(names.serverTarget);
  Backup->SetProtocol(services::TProtocol::TCP);
  Backup->SetActive(true);
  Backup->ServiceStart();
  started = true;

  Gauge->SetMaxValue(kExpectedOutputLines);
  const bool showLines = ManualMode();
  while (!Backup->EndOfOutput()) {
    Gauge->AddProgress(1);
    std::string line = Backup->ReadOutputLine();
    if (showLines) memSaida->Add(line);
    QCoreApplication::processEvents();
  }
  Gauge->SetProgress(Gauge->MaxValue());
  Backup->SetActive(false);
  memSaida->Add("Backup concluído."_cp1252);
  memSaida->Add("");
}

void TfrmBackup::CopyBackup(const BackupNames& names) {
  if (settings_.copyFolder.empty()) return;
  memSaida->Add("Copiando o backup para " + names.copyTarget);
  memSaida->Add("");
  try {
    CopyFileBytes(names.localBackupName, names.copyTarget);
  } catch (const std::exception&) {
    memSaida->Add("Erro copiando " + names.copyTarget);
    memSaida->Add("");
  }
}

void TfrmBackup::DeleteExpiredFiles(const BackupNames& names) {
  if (settings_.retentionDays <= 0) return;
  const QDateTime now = CurrentPlatform().Now();
  const std::unique_ptr<std::vector<std::string>> entries = ListFolder(names.backupFolder);
  for (const std::string& entry : *entries) {
    // The log is open and being written by this job; on this platform an open file can be deleted.
    if (entry.substr(entry.find_last_of('/') + 1) == "backup.txt") continue;
    const std::optional<QDateTime> lastWrite = LastWriteTime(entry);
    if (!lastWrite) continue;  // removed meanwhile or unreadable: nothing to judge it by
    if (IsExpired(*lastWrite, now, settings_.retentionDays)) ::unlink(entry.c_str());
  }
}

}  // namespace app
