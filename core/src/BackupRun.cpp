#include "core/BackupRun.h"

#include "core/Credentials.h"
#include "core/SettingsFile.h"
#include "core/SettingsLoad.h"

namespace core {
namespace {

StopReason StopOf(SettingsLoadResult result) {
  switch (result) {
    case SettingsLoadResult::Read:
      return StopReason::None;
    case SettingsLoadResult::ServerUnreachable:
      return StopReason::ServerUnreachable;
    case SettingsLoadResult::LoginRefused:
      return StopReason::LoginRefused;
    case SettingsLoadResult::Refused:
    case SettingsLoadResult::Failed:
      break;
  }
  return StopReason::SettingsNotRead;
}

}  // namespace

JobReport RunOnce(BackupSettings& settings, const RunPorts& ports, const JobSystem& system,
                  Transcript& transcript, JobObserver& observer, const FailureSignal& failureSignal) {
  JobReport report;
  ReadSettingsFile(settings, system.files);
  if (settings.databaseLocation.empty()) {
    report.stop = StopReason::NoDatabaseLocation;
    return report;
  }
  BackupJob job(settings, JobPorts{ports.server, ports.probe}, system, transcript, observer, failureSignal);
  {
    const CredentialsRead credentials =
        ReadCredentials(settings.programFolder, system.files, system.environment);
    // The job refuses them too, before it sends anything, and writes why into the log where an unattended
    // run's failures are looked for.
    if (!credentials.problem.empty()) return job.Run(/*showServerLines=*/false);
    const SettingsLoadOutcome load =
        LoadSettingsRow(ports.settingsSource, settings, credentials.credentials.database);
    report.stop = StopOf(load.result);
    if (report.stop != StopReason::None) {
      report.error = load.message;
      return report;
    }
  }
  return job.Run(/*showServerLines=*/false);
}

}  // namespace core
