#include "core/BackupRun.h"

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
                  Transcript& transcript, JobObserver& observer) {
  JobReport report;
  ReadSettingsFile(settings, system.files);
  if (settings.databaseLocation.empty()) {
    report.stop = StopReason::NoDatabaseLocation;
    return report;
  }
  const SettingsLoadOutcome load = LoadSettingsRow(ports.settingsSource, settings);
  report.stop = StopOf(load.result);
  if (report.stop != StopReason::None) {
    report.error = load.message;
    return report;
  }
  BackupJob job(settings, JobPorts{ports.server, ports.probe}, system, transcript, observer);
  return job.Run(/*showServerLines=*/false);
}

}  // namespace core
