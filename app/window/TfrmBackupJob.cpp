#include <QCoreApplication>
#include <QLabel>
#include <stdexcept>

#include "app/Exceptions.h"
#include "app/Text.h"
#include "app/desktop/DesktopSystem.h"
#include "app/widgets/OutputView.h"
#include "app/widgets/ProgressGauge.h"
#include "app/window/TfrmBackup.h"
#include "core/BackupJob.h"
#include "core/DateTimeFormat.h"
#include "core/OutputReadAhead.h"
#include "platform/FlagGuard.h"

namespace app {
namespace {

// How many of the server's lines the window shows between two message pumps.
constexpr int kLinesPerPump = 64;

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

// The first line of an error's text: what a notification has room for.
QString FirstLine(const std::string& text) {
  return FromUtf8(text.substr(0, text.find_first_of("\r\n")));
}

}  // namespace

void TfrmBackup::btnIniciarClick() {
  RunJob({});
}

void TfrmBackup::RunJob(const std::string& note) {
  // The job drives the one output area, log file and backup service; a second start while the per-line
  // message pump runs (the button, a tray command) must not begin another job inside it.
  if (jobRunning_) return;
  platform::FlagGuard running(jobRunning_);
  setCursor(Qt::WaitCursor);
  tmrRelogio.stop();
  DesktopSystem& desktop = Desktop();
  const QString started =
      QString::fromStdString(core::FormatDateTime("dd/mm/yyyy hh:nn", desktop.Now(), desktop));
  ShowJobRunning();
  try {
    // The server's lines are read on a thread of their own, so that the server never waits for the window;
    // this thread shows them at its own pace and keeps the messages going while the server is slow.
    core::OutputReadAhead server(ports_.server, [] { QCoreApplication::processEvents(); });
    core::BackupJob job(settings_, core::JobPorts{server, ports_.probe}, core::JobSystem::Of(desktop),
                        transcript_, jobView_);
    lastReport_ = job.Run(ManualMode(), note);
  } catch (const std::exception& error) {
    EndJobEarly();
    ShowJobEnded(started, JobEnd::Failed, FromCp1252(error.what()));
    throw;
  }
  ShowJobEnded(started, lastReport_);
  if (lastReport_.stop == core::StopReason::LogNotWritable) {
    EndJobEarly();
    // "I/O error N": the standard error box tells it, as a job that could not log always did.
    throw std::runtime_error(lastReport_.error);
  }
  if (!lastReport_.BackupMade()) {
    EndJobEarly();
    // Ends the handler silently: the clock tick that ran the job compares no further times.
    throw SilentAbort();
  }
  unsetCursor();
  if (ManualMode()) {
    SetTextNow(txtStatus, QStringLiteral("Backup concluído."));
  } else {
    tmrRelogio.start();
    ShowWaitingText();
  }
}

void TfrmBackup::ShowJobEnded(const QString& started, const core::JobReport& report) {
  if (report.stop == core::StopReason::LogNotWritable) {
    ShowJobEnded(started, JobEnd::Failed, FromUtf8(report.error));
  } else if (report.verification == core::StepResult::Failed) {
    // A backup that did not verify is a failure even when its copy failed too: the copy is of a bad file.
    ShowJobEnded(started, JobEnd::Failed,
                 QStringLiteral("Backup não verificado: ") + FromUtf8(report.verificationProblem));
  } else if (!report.BackupMade()) {
    ShowJobEnded(started, JobEnd::Failed, FirstLine(report.error));
  } else if (report.copy == core::StepResult::Failed) {
    ShowJobEnded(started, JobEnd::NotCopied,
                 QStringLiteral("O backup não foi copiado para %1.").arg(FromUtf8(settings_.copyFolder)));
  } else {
    ShowJobEnded(started, JobEnd::Succeeded, QString());
  }
}

void TfrmBackup::EndJobEarly() {
  // One failed night must not stop every later backup: the window returns to waiting as after a
  // completed job.
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
  // A pump costs more than showing a line; a fast server's lines come microseconds apart, so one pump
  // every few of them answers the user as soon, and a slow server's wait is pumped by the read-ahead.
  // The first line pumps at once: a short job shows its running state too.
  const bool due = linesSincePump_ == 0;
  linesSincePump_ = (linesSincePump_ + 1) % kLinesPerPump;
  if (due) QCoreApplication::processEvents();
}

void TfrmBackup::JobView::BackupDataRead() {
  // A backup sent to the program brings a line only every few seconds; the window answers in between.
  QCoreApplication::processEvents();
}

}  // namespace app
