#include "core/BackupJob.h"

#include <stdexcept>
#include <system_error>

#include "core/BackupNames.h"
#include "core/BackupVerification.h"
#include "core/Credentials.h"
#include "core/DateTimeFormat.h"
#include "core/Exceptions.h"
#include "core/Heartbeat.h"
#include "core/Retention.h"
#include "core/ServerLogin.h"
#include "core/TextEncoding.h"
#include "fbclient/Exceptions.h"
#include "platform/Cp1252.h"
#include "services/TIBBackupService.h"

namespace core {
namespace {

// The gauge's estimate of the number of output lines of a backup; there is no count in advance.
constexpr int kExpectedOutputLines = 15000;

const std::string kDashes(68, '-');

std::string FileNameOf(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

// The server's own refusal to create the backup file: its account cannot write into the folder.
bool ServerCouldNotWrite(const std::exception& error) {
  constexpr long kCannotOpenBackupFile = 336330817;  // isc_gbak_open_bkup_error
  const auto* serverError = dynamic_cast<const fbclient::EIBError*>(&error);
  return serverError != nullptr && serverError->GdsCode() == kCannotOpenBackupFile;
}

}  // namespace

BackupJob::BackupJob(const BackupSettings& settings, services::TIBBackupService& service,
                     Transcript& transcript, JobObserver& observer, platform::System& system)
    : settings_(settings), service_(service), transcript_(transcript), observer_(observer), system_(system) {}

std::string BackupJob::NowText() {
  return FormatDateTime("dd/mm/yyyy hh:nn:ss", system_.Now(), system_);
}

void BackupJob::Add(std::string_view cp1252Line) {
  transcript_.Add(cp1252Line);
  observer_.TranscriptChanged();
}

JobOutcome BackupJob::Run(bool showServerLines, std::string_view note) {
  transcript_.Clear();
  // The login goes with the job, whichever way it ends; the next job reads the credentials again.
  const ServiceLoginWiped loginWiped(service_);
  Add("Backup iniciado em " + NowText());
  Add("");
  if (!note.empty()) {
    Add(LogText(note));
    Add("");
  }
  if (!settings_.monitorUrl.empty() && settings_.monitorUrlExposed) {
    Add(LogText("O UrlMonitor está em um sistema.ini que outros usuários podem ler."));
    Add("");
  }
  observer_.StatusChanged("Realizando o Backup");

  const BackupNames names = BackupNames::For(settings_, system_.ToLocal(system_.Now()));
  // A folder someone set up before (an installed program's, shared with a group) keeps its rights.
  if (system_.CreateFolder(names.backupFolder)) ShareBackupFolder(names.backupFolder);
  std::unique_ptr<platform::AppendFile> log;
  try {
    log = system_.OpenForAppend(names.logFile);
  } catch (const std::system_error& error) {
    throw EInOutError(error.code().value());
  }
  auto writeLogBlock = [&] {
    Add(kDashes);
    try {
      log->Write(transcript_.Text() + "\r\n");
      log->Close();
    } catch (const std::system_error& error) {
      throw EInOutError(error.code().value());
    }
  };

  Add("Realizando o backup para " + LogText(names.serverTarget));
  Add("");

  // A backup of the same minute may already stand under this job's name.
  const std::optional<platform::FileStamp> earlierFile = system_.Stamp(names.localBackupName);
  ServiceProgress progress;
  try {
    RunServiceBackup(names, showServerLines, progress);
  } catch (const std::exception& error) {
    Add("Ocorreu um erro inesperado. O backup não foi concluído."_cp1252);
    Add("Informações da exceção:"_cp1252);
    Add("  " + std::string(error.what()));
    if (ServerCouldNotWrite(error)) {
      Add("O servidor de banco de dados (conta "_cp1252 + LogText(settings_.serverAccount) +
          ") precisa de acesso de gravação à pasta "_cp1252 + LogText(names.backupFolder));
    }
    // What the server wrote before the failure is not a backup, though its name says so. Only a
    // started request can have written it, and only a file the server wrote during this job: an
    // earlier good backup of the same minute stays, and so does a backup whose output had ended
    // when only the detach failed.
    if (progress.started && !progress.outputEnded && system_.Stamp(names.localBackupName) != earlierFile)
      system_.RemoveFile(names.localBackupName);
    // An unattended failure must reach the log, where it will be looked for.
    writeLogBlock();
    return JobOutcome::Failed;
  }

  observer_.BackupWritten(names.localBackupName);
  const bool verified = !settings_.verifyBackup || VerifyBackup(names, showServerLines);
  const bool copied = CopyBackup(names);
  // Older backups are what is left when the newest one is bad: none of them goes.
  if (verified) DeleteExpiredFiles(names);
  if (verified && copied) CallMonitor();

  Add("Backup encerrado em " + NowText());
  Add("");
  observer_.ProgressMaximumChanged(100);
  observer_.ProgressFilled();
  writeLogBlock();
  return verified ? JobOutcome::Completed : JobOutcome::Failed;
}

void BackupJob::ShareBackupFolder(const std::string& folder) {
  // Where the server runs elsewhere, or the account is unknown here, there is nothing to share; a folder
  // that cannot be shared is reported when the server cannot write into it.
  if (const std::optional<std::uint32_t> account = system_.AccountId(settings_.serverAccount))
    system_.ShareFolder(folder, *account);
}

void BackupJob::RunServiceBackup(const BackupNames& names, bool showServerLines, ServiceProgress& progress) {
  {
    const CredentialsRead credentials = ReadCredentials(settings_.programFolder, system_);
    if (!credentials.problem.empty()) throw ECredentialsRefused(LogText(credentials.problem));
    UseServiceLogin(credentials.credentials, service_);
  }
  service_.SetDatabaseName(ServerText(names.databasePath, settings_.serverSystem));
  service_.SetServerName(ServerText(names.serverName, settings_.serverSystem));
  service_.BackupFile().Clear();
  service_.BackupFile().Add(ServerText(names.serverTarget, settings_.serverSystem));
  service_.SetProtocol(services::TProtocol::TCP);
  service_.SetActive(true);
  service_.ServiceStart();
  progress.started = true;

  observer_.ProgressMaximumChanged(kExpectedOutputLines);
  while (!service_.EndOfOutput()) {
    observer_.ProgressAdvanced();
    std::string line = service_.ReadOutputLine();
    if (showServerLines) Add(line);
    observer_.OutputLineRead(line);
  }
  progress.outputEnded = true;
  observer_.ProgressFilled();
  service_.SetActive(false);
  Add("Backup concluído."_cp1252);
  Add("");
}

bool BackupJob::VerifyBackup(const BackupNames& names, bool showServerLines) {
  observer_.StatusChanged("Verificando o backup");
  BackupVerification verification(settings_, names, service_, system_);
  // The restore's lines are shown and pace the window like the backup's.
  const std::string problem = verification.Run([&](const std::string& line) {
    if (showServerLines) Add(line);
    observer_.OutputLineRead(line);
  });
  if (problem.empty()) {
    Add("Backup verificado.");
  } else {
    Add(LogText("Backup não verificado: " + problem));
    observer_.VerificationFailed(problem);
  }
  Add("");
  return problem.empty();
}

bool BackupJob::CopyBackup(const BackupNames& names) {
  if (settings_.copyFolder.empty()) return true;
  Add("Copiando o backup para " + LogText(names.copyTarget));
  Add("");
  try {
    // The settings row is shared with Windows machines: a folder such as "D:\Backup\" names nothing
    // here, and glued to the file name it would land in whatever folder the program was started from.
    if (!settings_.copyFolder.starts_with('/')) throw std::invalid_argument("not a local folder");
    system_.CopyFile(names.localBackupName, names.copyTarget);
    return true;
  } catch (const std::exception&) {
    Add("Erro copiando " + LogText(names.copyTarget));
    Add("");
    observer_.CopyFailed();
    return false;
  }
}

void BackupJob::CallMonitor() {
  if (settings_.monitorUrl.empty()) return;
  // A monitor that cannot be told is the monitor's alarm to raise; the backup stands.
  const std::string problem = core::CallMonitor(settings_.monitorUrl, system_);
  if (problem.empty()) return;
  Add(LogText("Monitor não avisado: " + problem));
  Add("");
}

void BackupJob::DeleteExpiredFiles(const BackupNames& names) {
  if (settings_.retentionDays <= 0) return;
  const platform::LocalDateTime now = system_.ToLocal(system_.Now());
  for (const std::string& entry : system_.ListFolder(names.backupFolder)) {
    // The log is open and being written by this job; on this platform an open file can be deleted.
    if (FileNameOf(entry) == "backup.txt") continue;
    const std::optional<platform::TimePoint> lastWrite = system_.LastWriteTime(entry);
    if (!lastWrite) continue;  // removed meanwhile or unreadable: nothing to judge it by
    if (IsExpired(PackedLocalTime(system_.ToLocal(*lastWrite)), now, settings_.retentionDays))
      system_.RemoveFile(entry);
  }
}

}  // namespace core
