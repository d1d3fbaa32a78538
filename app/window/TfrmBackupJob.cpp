#include <QCoreApplication>
#include <QLabel>
#include <algorithm>

#include "app/Exceptions.h"
#include "app/Text.h"
#include "app/desktop/DesktopSystem.h"
#include "app/widgets/OutputView.h"
#include "app/widgets/TGauge.h"
#include "app/window/TfrmBackup.h"
#include "core/BackupJob.h"
#include "core/DateTimeFormat.h"
#include "platform/Cp1252.h"
#include "platform/FlagGuard.h"

namespace app {

void TfrmBackup::btnIniciarClick() {
  RunJob({});
}

void TfrmBackup::RunJob(const std::string& note) {
  // The job drives the one output area, log file and service component; a second start while the
  // per-line message pump runs (the button, a tray command) must not begin another job inside it.
  if (jobRunning_) return;
  platform::FlagGuard running(jobRunning_);
  setCursor(Qt::WaitCursor);
  tmrRelogio.stop();
  const QString started = QString::fromStdString(core::FormatDateTime("dd/mm/yyyy hh:nn", Desktop().Now()));
  copyFailed_ = false;
  verificationProblem_.clear();
  ShowJobRunning();
  core::JobOutcome outcome;
  try {
    core::BackupJob job(settings_, *Backup, transcript_, jobView_);
    outcome = job.Run(ManualMode(), note);
  } catch (const std::exception& error) {
    EndJobEarly();
    ShowJobEnded(started, JobEnd::Failed, FromCp1252(error.what()));
    throw;
  }
  if (outcome == core::JobOutcome::Failed) {
    EndJobEarly();
    // A backup that did not verify is a failure even when its copy failed too: the copy is of a bad file.
    ShowJobEnded(started, JobEnd::Failed,
                 verificationProblem_.isEmpty() ? FailureText() : verificationProblem_);
    // Ends the handler silently: the clock tick that ran the job compares no further times.
    throw EAbort();
  }
  ShowJobEnded(started, copyFailed_ ? JobEnd::NotCopied : JobEnd::Succeeded,
               copyFailed_ ? QStringLiteral("O backup não foi copiado para %1.")
                                 .arg(QString::fromStdString(settings_.copyFolder))
                           : QString());
  unsetCursor();
  if (ManualMode()) {
    SetTextNow(txtStatus, QStringLiteral("Backup concluído."));
  } else {
    tmrRelogio.start();
    ShowWaitingText();
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

void TfrmBackup::JobView::TranscriptChanged() {
  form_.memSaida->TranscriptChanged();
}

void TfrmBackup::JobView::StatusChanged(std::string_view status) {
  SetTextNow(form_.txtStatus, QString::fromUtf8(status.data(), static_cast<qsizetype>(status.size())));
}

void TfrmBackup::JobView::ProgressMaximumChanged(int maximum) {
  form_.Gauge->SetMaxValue(maximum);
}

void TfrmBackup::JobView::ProgressAdvanced() {
  form_.Gauge->AddProgress(1);
}

void TfrmBackup::JobView::ProgressFilled() {
  form_.Gauge->SetProgress(form_.Gauge->MaxValue());
}

void TfrmBackup::JobView::OutputLineRead(std::string_view) {
  QCoreApplication::processEvents();
}

void TfrmBackup::JobView::VerificationFailed(std::string_view why) {
  form_.verificationProblem_ = QStringLiteral("Backup não verificado: ") +
                               QString::fromUtf8(why.data(), static_cast<qsizetype>(why.size()));
}

void TfrmBackup::JobView::CopyFailed() {
  form_.copyFailed_ = true;
}

QString TfrmBackup::FailureText() const {
  // The error the block ends with: the line after "Informações da exceção:", without its indent.
  const auto& lines = transcript_.Lines();
  const auto heading = std::find(lines.begin(), lines.end(), "Informações da exceção:"_cp1252);
  if (heading == lines.end() || heading + 1 == lines.end()) return {};
  return FromCp1252(std::string_view(heading[1]).substr(std::min<std::size_t>(2, heading[1].size())));
}

}  // namespace app
