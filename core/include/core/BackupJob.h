#pragma once

#include "core/BackupSettings.h"
#include "core/JobObserver.h"
#include "core/Transcript.h"
#include "platform/System.h"

namespace services {
class TIBBackupService;
}

namespace core {

struct BackupNames;

enum class JobOutcome {
  Completed,  // backed up (and verified, when the settings ask for it); the copy and the clean-up ran
  Failed      // the service steps failed: the transcript ends with the error and the log holds it; or
              // the backup did not verify: the copy ran, the clean-up did not
};

// One backup run: the dated names, the backup folder and its log, the backup through the server's
// services manager with its lines, its verification when the settings ask for it, the copy to the copy
// folder, the clean-up of expired files, the call to the monitor after a success, and the log block. What it
// writes goes to the transcript; the observer hears of every step.
class BackupJob {
 public:
  BackupJob(const BackupSettings& settings, services::TIBBackupService& service, Transcript& transcript,
            JobObserver& observer, platform::System& system = platform::Current());

  // showServerLines: whether the server's lines go to the transcript (they always pace the progress).
  // note: a line (UTF-8) the block carries after its first line, such as why the job runs now.
  // A log file that cannot be opened or written throws EInOutError; the job has then ended early.
  JobOutcome Run(bool showServerLines, std::string_view note = {});

 private:
  void Add(std::string_view cp1252Line);
  // How far the service steps got before they failed.
  struct ServiceProgress {
    bool started = false;      // the backup request was accepted
    bool outputEnded = false;  // the server reported the end of its output
  };
  void ShareBackupFolder(const std::string& folder);
  void RunServiceBackup(const BackupNames& names, bool showServerLines, ServiceProgress& progress);
  // False when the backup did not verify.
  bool VerifyBackup(const BackupNames& names, bool showServerLines);
  // False when the copy failed.
  bool CopyBackup(const BackupNames& names);
  void DeleteExpiredFiles(const BackupNames& names);
  // The heartbeat of a successful job, when the settings name a monitor.
  void CallMonitor();
  std::string NowText();

  const BackupSettings& settings_;
  services::TIBBackupService& service_;
  Transcript& transcript_;
  JobObserver& observer_;
  platform::System& system_;
};

}  // namespace core
