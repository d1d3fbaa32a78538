#include "core/BackupJob.h"

#include <stdexcept>
#include <system_error>
#include <utility>

#include "core/BackupNames.h"
#include "core/BackupVerification.h"
#include "core/Credentials.h"
#include "core/DateTimeFormat.h"
#include "core/Heartbeat.h"
#include "core/Retention.h"
#include "core/TextEncoding.h"
#include "core/TransferProgress.h"
#include "platform/Cp1252.h"
#include "platform/LocalPath.h"

namespace core {
namespace {

// The gauge's estimate of the number of output lines of a backup; there is no count in advance.
constexpr int kExpectedOutputLines = 15000;

const std::string kDashes(68, '-');

// What a backup sent to the program is called until it is whole: never a name a backup is looked for by.
constexpr std::string_view kPartSuffix = ".part";

// The name the folder lock takes in the backup folder (platform::FolderLocks).
constexpr std::string_view kLockFileName = ".lock";

// UTF-8, for the report; the block has them in code page 1252.
constexpr std::string_view kAnotherJobRunning =
    "Outro backup já está em andamento nesta pasta; este backup não foi iniciado.";
constexpr std::string_view kStopped =
    "Backup interrompido: o programa recebeu um pedido para terminar. O backup não foi concluído.";

// Thrown from the server's line callback to end the backup where it stands; no std::exception, so that
// nothing on its way takes it for a failure. The services manager gives the attachment up on its way out.
struct StopRequested {};

std::string FileNameOf(const std::string& path) {
  return path.substr(path.find_last_of('/') + 1);
}

// A server on this machine: the location names none, or names it by a loopback name or address, with or
// without a port ("localhost/3051").
bool ServerOnThisMachine(const std::string& serverName) {
  const std::string host = serverName.substr(0, serverName.find('/'));
  return host.empty() || host == "localhost" || host.starts_with("127.") || host == "::1" || host == "[::1]";
}

// A job that made its backup, verified it when asked and copied it when a copy folder is set.
bool Succeeded(const JobReport& report) {
  return report.stop == StopReason::None && report.BackupMade() && report.copy != StepResult::Failed;
}

void LogNotWritable(JobReport& report, const std::system_error& error) {
  report.stop = StopReason::LogNotWritable;
  report.error = "I/O error " + std::to_string(error.code().value());
}

}  // namespace

BackupJob::BackupJob(const BackupSettings& settings, const JobPorts& ports, const JobSystem& system,
                     Transcript& transcript, JobObserver& observer, FailureSignal failureSignal)
    : settings_(settings),
      ports_(ports),
      system_(system),
      transcript_(transcript),
      observer_(observer),
      failureSignal_(std::move(failureSignal)) {}

std::string BackupJob::NowText() {
  return FormatDateTime("dd/mm/yyyy hh:nn:ss", system_.clock.Now(), system_.clock);
}

void BackupJob::Add(std::string_view cp1252Line) {
  transcript_.Add(cp1252Line);
  observer_.TranscriptChanged();
}

JobReport BackupJob::Run(bool showServerLines, std::string_view note) {
  JobReport report;
  transcript_.Clear();
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

  const BackupNames names = BackupNames::For(settings_, system_.clock.ToLocal(system_.clock.Now()));
  // A folder someone set up before (an installed program's, shared with a group) keeps its rights.
  if (system_.files.CreateFolder(names.backupFolder)) ShareBackupFolder(names.backupFolder);
  std::unique_ptr<platform::AppendFile> log;
  try {
    log = system_.files.OpenForAppend(names.logFile);
  } catch (const std::system_error& error) {
    // No backup is made that no log would tell of.
    LogNotWritable(report, error);
    report.monitor = TellMonitor(report);
    return report;
  }
  // Held until the job returns: every step below writes or deletes files another job of this folder
  // would write or delete too (the same minute's backup, its removal after a failure, the clean-up).
  std::unique_ptr<platform::FolderLock> folderLock;
  // The monitor hears nothing of a job that did not start: the one that holds the folder tells it.
  if (!LockBackupFolder(names, folderLock, report)) {
    WriteLogBlock(*log, report);
    return report;
  }

  // Sent to the program, the backup goes straight into this machine's folder.
  Add("Realizando o backup para " +
      LogText(settings_.transferBackup ? names.localBackupName : names.serverTarget));
  Add("");
  SignalStart();

  // The logins live as long as the job; the next job reads the file again.
  const CredentialsRead credentials =
      ReadCredentials(settings_.programFolder, system_.files, system_.environment);
  if (!credentials.problem.empty()) {
    // Nothing goes to the server; the block says why, where an unattended run's failures are looked for.
    const std::string problem = LogText(credentials.problem);
    BackupFailed(names, problem, ServerStage::NotStarted, false, std::nullopt);
    report.stop = StopReason::CredentialsRefused;
    report.error = credentials.problem;
    report.monitor = TellMonitor(report);
    WriteLogBlock(*log, report);
    return report;
  }

  // Where others may write in the backup folder, any name the job uses there may be a link planted to
  // another of the server's files, which the server would then overwrite or the check drop: the server
  // works in a folder of the job's own instead, and the finished backup is moved to its name.
  std::unique_ptr<platform::PrivateFolder> workFolder;
  try {
    // Sent to the program, the backup is written by this machine's user and never under a name the
    // server resolves: it needs no folder of the job's own.
    if (!settings_.transferBackup) workFolder = OwnWorkFolder(names);
  } catch (const std::system_error& error) {
    BackupFailed(names, LogText("a pasta de trabalho do backup não foi criada: " + std::string(error.what())),
                 ServerStage::NotStarted, false, std::nullopt);
    report.stop = StopReason::BackupFailed;
    report.error = error.what();
    report.monitor = TellMonitor(report);
    WriteLogBlock(*log, report);
    return report;
  }
  const BackupNames made =
      workFolder ? names.InFolder(workFolder->Name(), settings_.serverSystem == "Linux") : names;

  // A backup of the same minute may already stand under this job's name.
  const std::optional<platform::FileStamp> earlierFile = system_.files.Stamp(made.localBackupName);
  // Read from the server's verbose lines; a backup sent to the program has none.
  BackupTally tally;
  try {
    if (settings_.transferBackup) {
      RunTransferBackup(names, credentials.credentials);
    } else if (settings_.omitServerLines && !showServerLines && !settings_.verifyBackup) {
      // The verification reads what the backup wrote from its lines: with it, the server sends them.
      RunBackupWithoutLines(made, credentials.credentials);
    } else {
      RunServiceBackup(made, credentials.credentials.service, showServerLines, tally);
    }
  } catch (const ServerFailure& failure) {
    report.advice =
        BackupFailed(made, failure.what(), failure.Stage(), failure.BackupFileNotWritable(), earlierFile);
    report.stop = StopReason::BackupFailed;
    report.error = cp1252::ToUtf8(failure.what());
  } catch (const std::exception& error) {
    // Whatever else broke off the backup did so while the server was at it.
    BackupFailed(made, error.what(), ServerStage::Started, false, earlierFile);
    report.stop = StopReason::BackupFailed;
    report.error = cp1252::ToUtf8(error.what());
  } catch (const StopRequested&) {
    Add(LogText(kStopped));
    Add("");
    // The server wrote in the job's own folder when it had one: what it left goes there, and the folder
    // with it.
    RemoveUnfinishedBackup(made, earlierFile);
    report.stop = StopReason::Stopped;
    report.error = kStopped;
  }
  if (report.stop != StopReason::None) {
    // An unattended failure must reach the log, where it will be looked for.
    report.monitor = TellMonitor(report);
    WriteLogBlock(*log, report);
    return report;
  }
  report.written = true;

  observer_.BackupWritten(made.localBackupName);
  bool stoppedWhileVerifying = false;
  try {
    if (settings_.verifyBackup)
      report.verification = VerifyBackup(made, credentials.credentials, tally, showServerLines, report);
  } catch (const StopRequested&) {
    // The backup is whole and stays, but no one vouches for it: the block and the report say so.
    Add(LogText(kStopped));
    Add("");
    report.stop = StopReason::Stopped;
    report.error = kStopped;
    stoppedWhileVerifying = true;
  }
  // A stopped job's whole backup goes to its name too, rather than with the job's folder.
  if (workFolder && !MoveToItsName(*workFolder, made, names, report)) {
    WriteLogBlock(*log, report);
    return report;
  }
  if (stoppedWhileVerifying) {
    report.monitor = TellMonitor(report);
    WriteLogBlock(*log, report);
    return report;
  }
  report.copy = CopyBackup(names, tally);
  // Older backups are what is left when the newest one is bad: none of them goes.
  if (report.BackupMade()) DeleteExpiredFiles(names);
  report.cleanedUp = report.BackupMade() && settings_.retentionDays > 0;
  report.monitor = TellMonitor(report);

  Add("Backup encerrado em " + NowText());
  Add("");
  observer_.ProgressMaximumChanged(100);
  observer_.ProgressFilled();
  WriteLogBlock(*log, report);
  return report;
}

bool BackupJob::WriteLogBlock(platform::AppendFile& log, JobReport& report) {
  Add(kDashes);
  try {
    log.Write(transcript_.Text() + "\r\n");
    log.Close();
    return true;
  } catch (const std::system_error& error) {
    LogNotWritable(report, error);
    return false;
  }
}

bool BackupJob::LockBackupFolder(const BackupNames& names, std::unique_ptr<platform::FolderLock>& lock,
                                 JobReport& report) {
  platform::FolderLockAttempt attempt = system_.folderLocks.TryLockFolder(names.backupFolder);
  switch (attempt.outcome) {
    case platform::FolderLockAttempt::Outcome::Taken:
      lock = std::move(attempt.lock);
      return true;
    case platform::FolderLockAttempt::Outcome::HeldByAnother:
      report.stop = StopReason::AnotherJobRunning;
      report.error = kAnotherJobRunning;
      break;
    case platform::FolderLockAttempt::Outcome::Failed:
      // Without the lock no job may run here: one that does could meet another. What stops the lock (a
      // folder closed to writing, something else at its name) is a folder problem, as a log would be.
      report.stop = StopReason::LogNotWritable;
      report.error =
          "A pasta de backup não pôde ser travada (" + std::string(kLockFileName) + "): " + attempt.error;
      break;
  }
  Add(LogText(report.error));
  Add("");
  return false;
}

void BackupJob::ShareBackupFolder(const std::string& folder) {
  // Where the server runs elsewhere, or the account is unknown here, there is nothing to share; a folder
  // that cannot be shared is reported when the server cannot write into it.
  if (const std::optional<std::uint32_t> account = system_.files.AccountId(settings_.serverAccount))
    system_.files.ShareFolder(folder, *account);
}

std::unique_ptr<platform::PrivateFolder> BackupJob::OwnWorkFolder(const BackupNames& names) {
  // A server elsewhere resolves the names on its own machine, where no link planted here reaches; an
  // account unknown here could not enter a folder of the job's own either.
  const std::optional<std::uint32_t> account = system_.files.AccountId(settings_.serverAccount);
  if (!account) return nullptr;
  if (!system_.files.OthersMayWriteIn(names.backupFolder, {system_.files.OwnId(), *account})) return nullptr;
  return system_.files.CreatePrivateFolder(names.backupFolder, account);
}

bool BackupJob::MoveToItsName(platform::PrivateFolder& workFolder, const BackupNames& made,
                              const BackupNames& names, JobReport& report) {
  const platform::MoveOutcome moved =
      workFolder.MoveOut(FileNameOf(made.localBackupName), names.localBackupName);
  if (moved == platform::MoveOutcome::Moved) return true;
  // What stands under the name is not this job's: it stays untouched, and so does the backup, where it
  // was made, for whoever looks into it.
  workFolder.Keep();
  report.stop = StopReason::BackupFailed;
  report.written = false;
  report.error = moved == platform::MoveOutcome::NameTaken
                     ? "o nome " + names.localBackupName + " já existe e não é deste backup"
                     : "o backup não foi movido para " + names.localBackupName;
  Add(LogText("O backup não foi concluído: " + report.error + "; ele ficou em " + made.localBackupName));
  Add("");
  return false;
}

void BackupJob::RunServiceBackup(const BackupNames& names, const LoginChoice& login, bool showServerLines,
                                 BackupTally& tally) {
  if (observer_.StopWanted()) throw StopRequested{};
  bool firstLine = true;
  ports_.server.Backup(login, ServerText(names.serverName, settings_.serverSystem),
                       ServerText(names.databasePath, settings_.serverSystem),
                       ServerText(names.serverTarget, settings_.serverSystem), [&](std::string_view line) {
                         // The server accepted the request once it answers with its output.
                         if (firstLine) observer_.ProgressMaximumChanged(kExpectedOutputLines);
                         firstLine = false;
                         observer_.ProgressAdvanced();
                         if (showServerLines) Add(line);
                         tally.Read(line);
                         observer_.OutputLineRead(line);
                         // The empty line ends the output: the backup is whole by then and stays.
                         if (!line.empty() && observer_.StopWanted()) throw StopRequested{};
                       });
  observer_.ProgressFilled();
  Add("Backup concluído."_cp1252);
  Add("");
}

std::int64_t BackupJob::DatabaseBytes(const std::string& serverName, const std::string& databasePath,
                                      const Credentials& credentials) {
  // Read with the settings row where the connection told it: one attachment less before the backup.
  if (settings_.databaseBytes > 0) return settings_.databaseBytes;
  try {
    // Opened as the settings row is.
    return ports_.probe.DatabaseBytes(serverName + ":" + databasePath, credentials.database);
  } catch (const std::exception&) {
    // Without the size the gauge waits for the end (and a transfer's lines come by the time alone).
    return 0;
  }
}

void BackupJob::RunBackupWithoutLines(const BackupNames& names, const Credentials& credentials) {
  if (observer_.StopWanted()) throw StopRequested{};
  const std::string serverName = ServerText(names.serverName, settings_.serverSystem);
  const std::string databasePath = ServerText(names.databasePath, settings_.serverSystem);
  // Measured as a backup sent to the program is; its lines are not wanted, the block stays as it is.
  TransferProgress progress(DatabaseBytes(serverName, databasePath, credentials), system_.clock.Now());
  std::int64_t measured = 0;
  int percentShown = 0;
  bool firstLook = true;
  ports_.server.BackupWithoutLines(
      credentials.service, serverName, databasePath, ServerText(names.serverTarget, settings_.serverSystem),
      [&] {
        // The server accepted the request once it is at work.
        if (firstLook) observer_.ProgressMaximumChanged(100);
        firstLook = false;
        // The server writes the file; the program only looks at how long it has grown. A file of the same
        // minute from before counts until the server has replaced it.
        const std::optional<platform::FileStamp> file = system_.files.Stamp(names.localBackupName);
        if (file && file->size > measured) {
          progress.Received(static_cast<std::size_t>(file->size - measured), system_.clock.Now());
          measured = file->size;
        }
        for (; percentShown < progress.Percent(); ++percentShown)
          observer_.ProgressAdvanced();
        observer_.BackupDataRead();
        if (observer_.StopWanted()) throw StopRequested{};
      });
  observer_.ProgressFilled();
  Add("Backup concluído."_cp1252);
  Add("");
}

void BackupJob::RunTransferBackup(const BackupNames& names, const Credentials& credentials) {
  if (observer_.StopWanted()) throw StopRequested{};
  RemoveAbandonedParts(names);
  const std::string serverName = ServerText(names.serverName, settings_.serverSystem);
  const std::string databasePath = ServerText(names.databasePath, settings_.serverSystem);
  const std::int64_t databaseBytes = DatabaseBytes(serverName, databasePath, credentials);
  // Gone with the object unless completed: a failed job leaves nothing that looks like a backup.
  const std::unique_ptr<platform::FileBeingWritten> file =
      system_.files.CreateFileBeingWritten(names.localBackupName + std::string(kPartSuffix));
  TransferProgress progress(databaseBytes, system_.clock.Now());
  int percentShown = 0;
  bool firstPiece = true;
  ports_.server.BackupToProgram(credentials.service, serverName, databasePath, [&](std::string_view piece) {
    if (firstPiece) observer_.ProgressMaximumChanged(100);
    firstPiece = false;
    file->Write(piece);
    if (progress.Received(piece.size(), system_.clock.Now())) {
      const std::string line = progress.Line();
      Add(line);
      observer_.OutputLineRead(line);
    }
    for (; percentShown < progress.Percent(); ++percentShown)
      observer_.ProgressAdvanced();
    observer_.BackupDataRead();
    // The unfinished file goes with its object.
    if (observer_.StopWanted()) throw StopRequested{};
  });
  file->Complete(names.localBackupName);
  const std::string total = progress.TotalLine();
  Add(total);
  observer_.OutputLineRead(total);
  Add("");
  observer_.ProgressFilled();
  Add("Backup concluído."_cp1252);
  Add("");
}

void BackupJob::RemoveAbandonedParts(const BackupNames& names) {
  for (const std::string& entry : system_.files.ListFolder(names.backupFolder)) {
    // Another job's, of a window and a runner started together, is still being written and stays.
    if (entry.ends_with(".gbk" + std::string(kPartSuffix))) system_.files.RemoveUnlessBeingWritten(entry);
  }
}

bool BackupJob::ServerCannotSeeFolder(const std::string& folder) {
  const std::optional<std::uint32_t> account = system_.files.AccountId(settings_.serverAccount);
  return !account || system_.files.AccountMayWrite(folder, *account);
}

std::string BackupJob::BackupFailed(const BackupNames& names, const std::string& cp1252Error,
                                    ServerStage stage, bool backupFileNotWritable,
                                    const std::optional<platform::FileStamp>& earlierFile) {
  Add("Ocorreu um erro inesperado. O backup não foi concluído."_cp1252);
  Add("Informações da exceção:"_cp1252);
  Add("  " + cp1252Error);
  std::string advice;
  if (backupFileNotWritable) {
    if (ServerOnThisMachine(names.serverName) && !ServerCannotSeeFolder(names.backupFolder)) {
      advice = "O servidor de banco de dados (conta " + settings_.serverAccount +
               ") precisa de acesso de gravação à pasta " + names.backupFolder;
    } else {
      // A server on another machine, or one that sees another folder under this path: the account named
      // in sistema.ini is not the one that would write, and sharing the folder is not the way out.
      advice = "O servidor de banco de dados não vê a pasta " + names.backupFolder +
               ": num servidor em outra máquina, Transferir=1 em [Backup] faz o servidor enviar o backup ao "
               "programa.";
    }
  }
  // Advice only where asked for: the block of a failed job otherwise ends with the error's three lines.
  if (!advice.empty() && settings_.explainServerAccess) Add(LogText(advice));
  // Only a started request can have written a file; a backup whose output had ended when only the
  // detach failed is whole. A backup sent to the program never had that name.
  if (stage == ServerStage::Started && !settings_.transferBackup) RemoveUnfinishedBackup(names, earlierFile);
  return advice;
}

void BackupJob::RemoveUnfinishedBackup(const BackupNames& names,
                                       const std::optional<platform::FileStamp>& earlierFile) {
  // What the server wrote before the backup broke off is not a backup, though its name says so. Only a
  // file the server wrote during this job goes: an earlier good backup of the same minute stays.
  if (system_.files.Stamp(names.localBackupName) != earlierFile)
    system_.files.RemoveFile(names.localBackupName);
}

StepResult BackupJob::VerifyBackup(const BackupNames& names, const Credentials& credentials,
                                   const BackupTally& tally, bool showServerLines, JobReport& report) {
  observer_.StatusChanged("Verificando o backup");
  BackupVerification verification(settings_, names, credentials, tally, ports_.server, ports_.probe,
                                  system_.files);
  // The restore's lines are shown and pace the window like the backup's.
  // The scratch database goes however the restore ends, a stop included.
  const std::string problem = verification.Run([&](std::string_view line) {
    if (showServerLines) Add(line);
    observer_.OutputLineRead(line);
    if (!line.empty() && observer_.StopWanted()) throw StopRequested{};
  });
  if (problem.empty()) {
    Add("Backup verificado.");
    Add("");
    return StepResult::Done;
  }
  Add(LogText("Backup não verificado: " + problem));
  Add("");
  report.verificationProblem = problem;
  return StepResult::Failed;
}

StepResult BackupJob::CopyBackup(const BackupNames& names, const BackupTally& tally) {
  if (settings_.copyFolder.empty()) return StepResult::NotAsked;
  Add("Copiando o backup para " + LogText(names.copyTarget));
  Add("");
  try {
    // The settings row is shared between Linux and Windows machines: a folder of the other system's
    // form names nothing here, and glued to the file name it would land in whatever folder the program
    // was started from.
    if (!platform::IsAbsoluteLocalPath(settings_.copyFolder))
      throw std::invalid_argument("not a local folder");
    system_.files.CopyFile(names.localBackupName, names.copyTarget);
    // A copy shorter than what the server wrote is no backup, whatever its name says.
    const std::optional<platform::FileStamp> copy = system_.files.Stamp(names.copyTarget);
    if (tally.BytesWritten() && (!copy || copy->size != *tally.BytesWritten()))
      throw std::length_error("the copy is not as long as the backup");
    return StepResult::Done;
  } catch (const std::exception&) {
    Add("Erro copiando " + LogText(names.copyTarget));
    Add("");
    return StepResult::Failed;
  }
}

void BackupJob::SignalStart() {
  if (settings_.monitorUrl.empty() || !settings_.monitorSignals) return;
  MonitorNotTold(SignalMonitor(settings_.monitorUrl, "start", {}, system_.http));
}

StepResult BackupJob::TellMonitor(JobReport& report) {
  if (settings_.monitorUrl.empty()) return StepResult::NotAsked;
  const bool succeeded = Succeeded(report);
  std::string problem;
  if (!settings_.monitorSignals) {
    // The plain heartbeat: a monitor hears only of successes and raises its alarm when they stop.
    if (!succeeded) return StepResult::NotAsked;
    problem = core::CallMonitor(settings_.monitorUrl, system_.http);
  } else {
    const std::string signal = succeeded ? std::string() : failureSignal_ ? failureSignal_(report) : "fail";
    problem = SignalMonitor(settings_.monitorUrl, signal, MonitorBody(transcript_.Text()), system_.http);
  }
  if (!MonitorNotTold(problem)) return StepResult::Done;
  report.monitorProblem = problem;
  return StepResult::Failed;
}

bool BackupJob::MonitorNotTold(const std::string& problem) {
  if (problem.empty()) return false;
  // A monitor that cannot be told is the monitor's alarm to raise; the backup stands.
  Add(LogText("Monitor não avisado: " + problem));
  Add("");
  return true;
}

void BackupJob::DeleteExpiredFiles(const BackupNames& names) {
  if (settings_.retentionDays <= 0) return;
  platform::Clock& clock = system_.clock;
  const platform::LocalDateTime now = clock.ToLocal(clock.Now());
  for (const std::string& entry : system_.files.ListFolder(names.backupFolder)) {
    // The log is open and being written by this job; on this platform an open file can be deleted. The
    // lock's file, removed, would let the next job lock a new file while another still holds the old one.
    if (FileNameOf(entry) == "backup.txt" || FileNameOf(entry) == kLockFileName) continue;
    const std::optional<platform::TimePoint> lastWrite = system_.files.LastWriteTime(entry);
    if (!lastWrite) continue;  // removed meanwhile or unreadable: nothing to judge it by
    if (IsExpired(PackedLocalTime(clock.ToLocal(*lastWrite)), now, settings_.retentionDays))
      system_.files.RemoveFile(entry);
  }
}

}  // namespace core
