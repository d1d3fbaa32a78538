#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "core/BackupServer.h"
#include "core/BackupSettings.h"
#include "core/BackupTally.h"
#include "core/DatabaseProbe.h"
#include "core/JobObserver.h"
#include "core/JobReport.h"
#include "core/Transcript.h"
#include "platform/System.h"

namespace core {

struct BackupNames;
struct Credentials;

// What a job asks of the database server: the backup and the restore that checks it, and the count of
// tables and the drop of the check's scratch database.
struct JobPorts {
  BackupServer& server;
  DatabaseProbe& probe;
};

// What a job asks of the system: the clock for its times and names, the files for the folder, the log,
// the copy and the clean-up, the environment where the credentials may be handed in, the web for the
// monitor's call, and the backup folder's lock that keeps a second job (another session's program, the
// timer's runner) out of it.
struct JobSystem {
  platform::Clock& clock;
  platform::Files& files;
  platform::Environment& environment;
  platform::HttpClient& http;
  platform::FolderLocks& folderLocks;

  // The pieces of one system.
  static JobSystem Of(platform::System& system) { return {system, system, system, system, system}; }
};

// What a monitor that hears of failures (MonitorDetalhado) is sent after the address for a failed job: the
// window sends "fail", the runner its exit code, both read from the job's report as it stands when the
// block is about to end.
using FailureSignal = std::function<std::string(const JobReport& report)>;

// One backup run: the dated names, the backup folder and its log, the backup through the server's
// services manager with its lines, its verification when the settings ask for it, the copy to the copy
// folder, the clean-up of expired files, the call to the monitor after a success (and, when the settings
// ask for it, at the start and after a failure), and the log block. What it writes goes to the
// transcript; the observer hears of every step; the report says how it came out.
class BackupJob {
 public:
  // Without a failure signal a failed job is signalled "fail".
  BackupJob(const BackupSettings& settings, const JobPorts& ports, const JobSystem& system,
            Transcript& transcript, JobObserver& observer, FailureSignal failureSignal = {});

  // showServerLines: whether the server's lines go to the transcript (they always pace the progress).
  // Where they are not shown, settings that omit them have the server send none.
  // note: a line (UTF-8) the block carries after its first line, such as why the job runs now.
  JobReport Run(bool showServerLines, std::string_view note = {});

 private:
  void Add(std::string_view cp1252Line);
  // Whether the job may go on holding the backup folder's lock; when not, the block says why.
  bool LockBackupFolder(const BackupNames& names, std::unique_ptr<platform::FolderLock>& lock,
                        JobReport& report);
  void ShareBackupFolder(const std::string& folder);
  // A folder of the job's own for the server to work in, when others may write in the backup folder and
  // the server's account is known here; nullptr otherwise (the server works under the final names).
  // Throws std::system_error when it cannot be made.
  std::unique_ptr<platform::PrivateFolder> OwnWorkFolder(const BackupNames& names);
  // Moves the finished backup out of the work folder to its name; false (the report and the block saying
  // why) when that name is taken or the move failed.
  bool MoveToItsName(platform::PrivateFolder& workFolder, const BackupNames& made, const BackupNames& names,
                     JobReport& report);
  void RunServiceBackup(const BackupNames& names, const LoginChoice& login, bool showServerLines,
                        BackupTally& tally);
  // The server writes the backup without lines; the gauge goes by the file's growth.
  void RunBackupWithoutLines(const BackupNames& names, const Credentials& credentials);
  // The database's size, which a backup's bytes are measured against; 0 when it cannot be read.
  std::int64_t DatabaseBytes(const std::string& serverName, const std::string& databasePath,
                             const Credentials& credentials);
  // The backup sent to the program, written under a name of its own until it is whole.
  void RunTransferBackup(const BackupNames& names, const Credentials& credentials);
  // Removes what backups sent to the program left unfinished when their jobs were cut off.
  void RemoveAbandonedParts(const BackupNames& names);
  // The server's account may write into the folder, or is not this machine's: what keeps the server from
  // the folder is that it does not see it.
  bool ServerCannotSeeFolder(const std::string& folder);
  // The failed block's lines, and the removal of what a backup cut short left under the backup's name.
  std::string BackupFailed(const BackupNames& names, const std::string& cp1252Error, ServerStage stage,
                           bool backupFileNotWritable, const std::optional<platform::FileStamp>& earlierFile);
  void RemoveUnfinishedBackup(const BackupNames& names,
                              const std::optional<platform::FileStamp>& earlierFile);
  StepResult VerifyBackup(const BackupNames& names, const Credentials& credentials, const BackupTally& tally,
                          bool showServerLines, JobReport& report);
  // The copy is checked against the bytes the server's lines say it wrote, when they say it.
  StepResult CopyBackup(const BackupNames& names, const BackupTally& tally);
  void DeleteExpiredFiles(const BackupNames& names);
  // The start signal, when the settings ask for the monitor's signals.
  void SignalStart();
  // The heartbeat at the job's end, when the settings name a monitor: a success's always, a failure's
  // when the settings ask for the monitor's signals.
  StepResult TellMonitor(JobReport& report);
  // The line a monitor that could not be told adds to the block; false for none.
  bool MonitorNotTold(const std::string& problem);
  // Ends the block with the dashes and appends it to the log, which it closes; false when the log could
  // not be written, which the report then tells.
  bool WriteLogBlock(platform::AppendFile& log, JobReport& report);
  std::string NowText();

  const BackupSettings& settings_;
  JobPorts ports_;
  JobSystem system_;
  Transcript& transcript_;
  JobObserver& observer_;
  FailureSignal failureSignal_;
};

}  // namespace core
