#include <QLabel>

#include "app/DateTimeFormat.h"
#include "app/Platform.h"
#include "app/Text.h"
#include "app/TfrmBackup.h"

namespace app {
namespace {

bool IsControlOrBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

void TrimControlsAndBlanks(std::string& text) {
  size_t begin = 0;
  while (begin < text.size() && IsControlOrBlank(text[begin]))
    ++begin;
  size_t end = text.size();
  while (end > begin && IsControlOrBlank(text[end - 1]))
    --end;
  text = text.substr(begin, end - begin);
}

}  // namespace

void TfrmBackup::tmrRelogioTimer() {
  const QString clockFormat = QStringLiteral("hh:nn:ss");
  txtHora->setText(FormatDateTime(clockFormat, CurrentPlatform().Now()));
  for (const std::string& time : settings_.scheduleTimes) {
    const QString candidate = FromCp1252(time) + QStringLiteral(":00");
    // The clock is read again for every time: a job started by an earlier time may have taken a while.
    if (candidate == FormatDateTime(clockFormat, CurrentPlatform().Now())) btnIniciarClick();
  }
}

void TfrmBackup::ShowWaitingText() {
  const auto& times = settings_.scheduleTimes;
  std::string waiting = times[0] + ", " + times[1] + ", " + times[2] + ", " + times[3];
  TrimControlsAndBlanks(waiting);
  // Only trailing separators go: a missing first or middle time keeps its ", ".
  while (!waiting.empty() && waiting.back() == ',') {
    waiting.pop_back();
    TrimControlsAndBlanks(waiting);
  }
  SetTextNow(txtStatus, QStringLiteral("Aguardando os horários ") + FromCp1252(waiting));
}

}  // namespace app
