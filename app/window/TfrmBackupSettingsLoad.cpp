#include <QCoreApplication>
#include <QLabel>
#include <QStatusBar>
#include <algorithm>

#include "app/Text.h"
#include "app/desktop/DesktopSystem.h"
#include "app/widgets/OutputView.h"
#include "app/window/TfrmBackup.h"
#include "core/Credentials.h"
#include "core/ServerLogin.h"
#include "core/SettingsLoad.h"
#include "core/TextEncoding.h"

namespace app {
namespace {

constexpr long kNetLookupError = 335544704;  // isc_net_lookup_err
constexpr int kLastAttempt = 50;
constexpr int kPauses = 50;
constexpr int kPauseMilliseconds = 50;

// The server's own words from the error route's lines, each on a line.
QString ServerMessage(const db::TextLines& errorMessage) {
  QString text;
  for (const std::string& line : core::ServerMessageLines(errorMessage))
    text += QLatin1Char('\n') + FromCp1252(line);
  return text;
}

}  // namespace

void TfrmBackup::CreateDataComponents() {
  settingsSource_ = std::make_unique<db::BackupSettingsSource>(Desktop());
  IBODatabase().AfterConnect = [this](db::TIB_Connection*) { IBODatabaseAfterConnect(); };
  IBODatabase().OnError = [this](db::TIB_Component* sender, long errCode, const db::TextLines& errorMessage,
                                 const db::TextLines& errorCodes, long sqlCode,
                                 const db::TextLines& sqlMessage, const db::TextLines& sql,
                                 bool& raiseException) {
    IBODatabaseError(sender, errCode, errorMessage, errorCodes, sqlCode, sqlMessage, sql, raiseException);
  };
}

bool TfrmBackup::NoScheduleTimes() const {
  return std::all_of(settings_.scheduleTimes.begin(), settings_.scheduleTimes.end(),
                     [](const std::string& time) { return time.empty(); });
}

void TfrmBackup::tmrConexaoTimer() {
  tmrConexao.stop();
  const core::CredentialsRead credentials = core::ReadCredentials(settings_.programFolder, Desktop());
  if (!credentials.problem.empty()) {
    // Nothing goes to the server; the output area and the tray say why, and a job started by hand says it
    // again in its log block.
    transcript_.Add(core::LogText(credentials.problem));
    memSaida->TranscriptChanged();
    ShowSettingsProblem(QString::fromStdString(credentials.problem));
    return;
  }
  // The connection works in the server's spelling of its file names.
  IBODatabase().SetDatabaseName(core::ServerText(settings_.databaseLocation, settings_.serverSystem));
  core::UseDatabaseLogin(credentials.credentials, *settingsSource_);
  IBODatabase().Connect();
  core::ForgetDatabaseLogin(*settingsSource_);
}

void TfrmBackup::IBODatabaseAfterConnect() {
  stbStatusPanel->setText(
      QStringLiteral("Dados: ") +
      QString::fromStdString(core::FromServerText(IBODatabase().DatabaseName(), settings_.serverSystem)));
  db::TIBOQuery& query = tblBackup();
  query.Open();
  core::CopySettingsRow(query, settings_);
  query.Close();
  IBODatabase().Disconnect();
  if (!ManualMode()) ShowWaitingText();
  if (NoScheduleTimes()) {
    ShowSettingsProblem(QStringLiteral(
        "Nenhum horário de backup foi lido do banco de dados: nenhum backup automático será feito."));
  }
}

void TfrmBackup::IBODatabaseError(db::TIB_Component*, long ERRCODE, const db::TextLines& ErrorMessage,
                                  const db::TextLines&, long, const db::TextLines&, const db::TextLines&,
                                  bool& RaiseException) {
  RaiseException = false;
  if (!core::IsServerUnreachable(ERRCODE)) {
    // A wrong password or a missing database leaves the schedule empty: without a word, no backup
    // would ever run.
    if (NoScheduleTimes()) {
      ShowSettingsProblem(QStringLiteral("As configurações de backup não foram lidas do banco de dados.") +
                          ServerMessage(ErrorMessage));
    }
    return;
  }

  SetTextNow(txtStatus, QStringLiteral("Tentativa de reconexão %1/50").arg(reconnectionAttempt_));
  if (reconnectionAttempt_ >= kLastAttempt) {
    const QString text =
        ERRCODE == kNetLookupError
            ? QStringLiteral(
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
    if (closeRequested_) return;
  }
  ++reconnectionAttempt_;
  IBODatabase().Open();
}

}  // namespace app
