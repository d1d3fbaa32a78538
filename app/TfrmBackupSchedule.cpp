#include <QLabel>

#include "app/TfrmBackup.h"
#include "core/Schedule.h"

namespace app {

void TfrmBackup::tmrRelogioTimer() {
  txtHora->setText(QString::fromStdString(core::ClockText()));
  for (const std::string& time : settings_.scheduleTimes) {
    // The clock is read again for every time: a job started by an earlier time may have taken a while.
    if (core::IsDue(time)) btnIniciarClick();
  }
}

void TfrmBackup::ShowWaitingText() {
  SetTextNow(txtStatus, QString::fromStdString(core::WaitingText(settings_.scheduleTimes)));
}

}  // namespace app
