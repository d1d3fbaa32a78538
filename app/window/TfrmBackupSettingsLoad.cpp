#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>
#include <stdexcept>

#include "app/Text.h"
#include "app/desktop/DesktopSystem.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "core/Credentials.h"
#include "core/SettingsLoad.h"
#include "core/TextEncoding.h"

namespace app {
namespace {

constexpr int kLastAttempt = 50;
constexpr int kPauses = 50;
constexpr int kPauseMilliseconds = 50;

// The server's own words, each on a line.
QString ServerMessage(const std::vector<std::string>& serverLines) {
  QString text;
  for (const std::string& line : serverLines)
    text += QLatin1Char('\n') + FromCp1252(line);
  return text;
}

}  // namespace

bool TfrmBackup::NoScheduleTimes() const {
  return std::all_of(settings_.scheduleTimes.begin(), settings_.scheduleTimes.end(),
                     [](const std::string& time) { return time.empty(); });
}

void TfrmBackup::tmrConexaoTimer() {
  tmrConexao.stop();
  const core::CredentialsRead credentials =
      core::ReadCredentials(settings_.programFolder, Desktop(), Desktop());
  if (!credentials.problem.empty()) {
    // Nothing goes to the server; the output area and the tray say why, and a job started by hand says it
    // again in its log block.
    transcript_.Add(core::LogText(credentials.problem));
    memSaida->TranscriptChanged();
    ShowSettingsProblem(QString::fromStdString(credentials.problem));
    return;
  }
  ConnectionAttempts attempts(*this);
  const core::SettingsLoadOutcome outcome =
      core::LoadSettingsRow(ports_.settingsSource, settings_, credentials.credentials.database, attempts);
  if (outcome.result == core::SettingsLoadResult::Read) {
    SettingsRowRead();
  } else if (outcome.result == core::SettingsLoadResult::Failed) {
    // The query's error, or no client library: the standard error box shows it, and the program runs on
    // without settings.
    throw std::runtime_error(core::LogText(outcome.message));
  }
  // A refused attach was the error event's to answer.
}

void TfrmBackup::IBODatabaseAfterConnect(const std::string& databaseName) {
  stbStatusPanel->setText(QStringLiteral("Dados: ") +
                          QString::fromStdString(core::FromServerText(databaseName, settings_.serverSystem)));
}

void TfrmBackup::SettingsRowRead() {
  if (!ManualMode()) ShowWaitingText();
  if (NoScheduleTimes()) {
    ShowSettingsProblem(QStringLiteral(
        "Nenhum horário de backup foi lido do banco de dados: nenhum backup automático será feito."));
  }
}

bool TfrmBackup::IBODatabaseError(const core::AttachError& error) {
  const bool addressNotFound = error.failure == core::AttachFailure::AddressNotFound;
  if (!addressNotFound && error.failure != core::AttachFailure::ServerUnreachable) {
    // A wrong password or a missing database leaves the schedule empty: without a word, no backup
    // would ever run.
    if (NoScheduleTimes()) {
      ShowSettingsProblem(QStringLiteral("As configurações de backup não foram lidas do banco de dados.") +
                          ServerMessage(error.serverLines));
    }
    return false;
  }

  SetTextNow(txtStatus, QStringLiteral("Tentativa de reconexão %1/50").arg(reconnectionAttempt_));
  if (reconnectionAttempt_ >= kLastAttempt) {
    const QString text =
        addressNotFound ? QStringLiteral(
                              "O endereço IP do servidor especificado no arquivo INI não foi encontrado.\r\r"
                              "Por favor, contacte o administrador da rede.")
                        : QStringLiteral(
                              "A conexão foi recusada pelo servidor. Possíveis causas:\r"
                              "1 - Servidor não localizado, verifique o endereço IP no arquivo INI.\r"
                              "2 - Firebird INATIVO no servidor, verifique se está instalado.\r"
                              "3 - Porta 3050 bloqueada no servidor, libere a porta no firewall.\r\r"
                              "Por favor, contacte o administrador do sistema.");
    ShowMessage(MessageBoxKind::Error, text);
    Desktop().EndProcess(0);
  }
  // About 2.5 seconds during which the window, its timers and the tray icon keep working. A "Sair" given
  // meanwhile ends the attempts, so the program does not linger for minutes after being told to stop.
  for (int pause = 0; pause < kPauses; ++pause) {
    Desktop().Sleep(std::chrono::milliseconds(kPauseMilliseconds));
    QCoreApplication::processEvents();
    if (closeRequested_) return false;
  }
  ++reconnectionAttempt_;
  return true;
}

}  // namespace app
