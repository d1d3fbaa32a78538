#include "Runner.h"

#include <exception>
#include <sstream>

#include "SignalledTerminalView.h"
#include "core/BackupRun.h"
#include "core/Heartbeat.h"
#include "core/TextEncoding.h"
#include "db/ApplicationDatabase.h"
#include "platform/Machine.h"
#include "services/ServicesManager.h"

namespace runner {
namespace {

// With its separator: "/" on Linux, "\\" in the path Windows gives the program.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of("/\\") + 1);
}

// What standard error says of a run that stopped early; the job's own lines went to standard output.
void PrintStop(const core::JobReport& report, const core::BackupSettings& settings, std::ostream& err) {
  switch (report.stop) {
    case core::StopReason::None:
      return;
    case core::StopReason::BackupFailed:
      // The block ends with the server's error; what would mend it goes where an administrator looks.
      if (!report.advice.empty()) err << report.advice << std::endl;
      return;
    case core::StopReason::NoDatabaseLocation:
      err << "Não foi encontrado o arquivo de configuração SISTEMA.INI, ou ele não tem [Dados] Dir: "
          << settings.programFolder << "sistema.ini" << std::endl;
      return;
    case core::StopReason::ServerUnreachable:
      err << "O servidor de banco de dados não respondeu.\n" << report.error << std::endl;
      return;
    case core::StopReason::LoginRefused:
      err << "O servidor de banco de dados recusou o usuário e a senha.\n" << report.error << std::endl;
      return;
    case core::StopReason::SettingsNotRead:
      err << "As configurações de backup não foram lidas do banco de dados.\n" << report.error << std::endl;
      return;
    case core::StopReason::CredentialsRefused:
    case core::StopReason::LogNotWritable:
    case core::StopReason::AnotherJobRunning:
    case core::StopReason::Stopped:
      err << report.error << std::endl;
      return;
  }
}

// The monitor's signal of a settings row that was not read: the job, which signals everything else, never
// started. It carries the exit code and what standard error says.
void SignalStop(const core::JobReport& report, const core::BackupSettings& settings,
                const std::string& stopText, platform::HttpClient& http, std::ostream& err) {
  const bool rowNotRead = report.stop == core::StopReason::ServerUnreachable ||
                          report.stop == core::StopReason::LoginRefused ||
                          report.stop == core::StopReason::SettingsNotRead;
  if (!rowNotRead || settings.monitorUrl.empty() || !settings.monitorSignals) return;
  const std::string problem = core::SignalMonitor(
      settings.monitorUrl, std::to_string(static_cast<int>(ExitCodeOf(report))), stopText, http);
  if (!problem.empty()) err << "Monitor não avisado: " << problem << std::endl;
}

}  // namespace

ExitCode ExitCodeOf(const core::JobReport& report) {
  switch (report.stop) {
    case core::StopReason::None:
      break;
    case core::StopReason::NoDatabaseLocation:
      return ExitCode::NoSettingsFile;
    case core::StopReason::ServerUnreachable:
      return ExitCode::ServerUnreachable;
    case core::StopReason::LoginRefused:
      return ExitCode::LoginRefused;
    case core::StopReason::SettingsNotRead:
      return ExitCode::SettingsNotRead;
    case core::StopReason::CredentialsRefused:
      return ExitCode::CredentialsRefused;
    case core::StopReason::BackupFailed:
      return ExitCode::BackupFailed;
    case core::StopReason::LogNotWritable:
      return ExitCode::FolderNotWritable;
    case core::StopReason::AnotherJobRunning:
      return ExitCode::AnotherBackupRunning;
    case core::StopReason::Stopped:
      return ExitCode::Stopped;
  }
  if (report.verification == core::StepResult::Failed) return ExitCode::VerificationFailed;
  if (report.copy == core::StepResult::Failed) return ExitCode::CopyFailed;
  return ExitCode::Success;
}

std::string HelpText() {
  std::string text =
      "Uso: kelmora-backup-run [--help]\n"
      "\n"
      "Faz um backup agora, sem janela, como o modo automático do kelmora-backup: lê o\n"
      "sistema.ini da pasta deste programa ([Dados] Dir, [Backup] Sistema, ContaServidor,\n"
      "Verificar, UrlMonitor, MonitorDetalhado e ExplicarAcesso), o usuário e a senha do\n"
      "arquivo credenciais (o do systemd em\n"
      "$CREDENTIALS_DIRECTORY, senão o da pasta deste programa) e a linha de SIS_BACKUP do\n"
      "banco, grava o backup em backup/,\n"
      "verifica-o (Verificar=1), copia-o para a pasta de cópia, apaga os arquivos vencidos,\n"
      "avisa o monitor (UrlMonitor) e registra o bloco em backup/backup.txt.\n"
      "As linhas do backup e as do servidor saem na saída padrão.\n"
      "Enquanto faz o backup, a pasta backup/ fica travada (backup/.lock): outro backup\n"
      "dela não começa. TERM, INT ou HUP interrompem o backup ou a verificação, apagam\n"
      "o arquivo incompleto e registram o bloco.\n"
      "\n"
      "Códigos de saída:\n";
  for (const ExitCodeText& entry : kExitCodes) {
    const std::string number = std::to_string(static_cast<int>(entry.code));
    text += std::string(4 - number.size(), ' ') + number + "  " + std::string(entry.meaning) + "\n";
  }
  return text;
}

ExitCode Run(const std::vector<std::string>& arguments, platform::TerminationSignals* signals,
             std::ostream& out, std::ostream& err) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    out << HelpText();
    return ExitCode::Success;
  }
  if (!arguments.empty()) {
    err << "Argumento desconhecido: " << arguments[0] << "\n\n" << HelpText();
    return ExitCode::Usage;
  }
  try {
    // The machine's own answers, each handed to what needs it.
    const std::unique_ptr<platform::Clock> clock = platform::MachineClock();
    const std::unique_ptr<platform::Files> files = platform::MachineFiles();
    const std::unique_ptr<platform::Environment> environment = platform::MachineEnvironment();
    const std::unique_ptr<platform::HttpClient> http = platform::MachineHttpClient();
    const std::unique_ptr<platform::FolderLocks> folderLocks = platform::MachineFolderLocks();
    core::BackupSettings settings;
    settings.programFolder = FolderOf(platform::MachineProcess()->ExecutablePath());
    const std::unique_ptr<platform::Libraries> libraries = platform::MachineLibraries();
    db::ApplicationDatabase database({*environment, *clock, *libraries});
    services::ServicesManager server;
    core::Transcript transcript;
    SignalledTerminalView view(transcript, out, signals);
    // A monitor that hears of failures is told this run's exit code.
    const core::FailureSignal exitCodeSignal = [](const core::JobReport& report) {
      return std::to_string(static_cast<int>(ExitCodeOf(report)));
    };
    const core::JobReport report = core::RunOnce(
        settings, core::RunPorts{database, server, database},
        core::JobSystem{*clock, *files, *environment, *http, *folderLocks}, transcript, view, exitCodeSignal);
    std::ostringstream stopText;
    PrintStop(report, settings, stopText);
    err << stopText.str() << std::flush;
    SignalStop(report, settings, stopText.str(), *http, err);
    return ExitCodeOf(report);
  } catch (const std::exception& error) {
    // The database side's and the server's texts are code page 1252, the program's own UTF-8.
    err << core::DecodeFileText(error.what()) << std::endl;
    return ExitCode::Unexpected;
  }
}

}  // namespace runner
