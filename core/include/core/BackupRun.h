#pragma once

#include "core/BackupJob.h"
#include "core/BackupSettings.h"
#include "core/JobObserver.h"
#include "core/JobReport.h"
#include "core/SettingsSource.h"
#include "core/Transcript.h"

namespace core {

// The ports of a whole run: the settings row's source, then the job's.
struct RunPorts {
  SettingsSource& settingsSource;
  BackupServer& server;
  DatabaseProbe& probe;
};

// One run from start to report, as a program without a window makes it: sistema.ini in
// settings.programFolder, the credentials file, the settings row in one attempt, then the job as the
// automatic mode makes it (its own lines in the block; the server's reach the observer all the same). The
// window makes the same steps apart: the settings load at its connection tick with its reconnection
// chain, the job at its schedule or its button.
// A settings row that could not be read is the caller's to signal: the job, and so its monitor's calls,
// never started.
JobReport RunOnce(BackupSettings& settings, const RunPorts& ports, const JobSystem& system,
                  Transcript& transcript, JobObserver& observer, const FailureSignal& failureSignal = {});

}  // namespace core
