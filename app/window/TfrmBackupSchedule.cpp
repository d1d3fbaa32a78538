#include <QLabel>

#include "app/desktop/DesktopSystem.h"
#include "app/window/TfrmBackup.h"
#include "core/Schedule.h"

namespace app {

void TfrmBackup::tmrRelogioTimer() {
  txtHora->setText(QString::fromStdString(core::ClockText(Desktop())));
  scheduler_.Tick(settings_.scheduleTimes, settings_.catchUpMissedTimes,
                  [this](const std::string& note) { RunJob(note); });
  tmrRelogio.setInterval(scheduler_.TimeToNextTick());
}

void TfrmBackup::ShowWaitingText() {
  SetTextNow(txtStatus, QString::fromStdString(core::WaitingText(settings_.scheduleTimes)));
}

}  // namespace app
