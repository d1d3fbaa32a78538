#include "Runner.h"

#include <exception>

#include "TerminalView.h"
#include "core/BackupJob.h"
#include "core/Credentials.h"
#include "core/Exceptions.h"
#include "core/ServerLogin.h"
#include "core/SettingsFile.h"
#include "core/SettingsLoad.h"
#include "core/TextEncoding.h"
#include "db/BackupSettingsSource.h"
#include "platform/System.h"
#include "services/BackupInstance.h"
#include "services/TIBBackupService.h"

namespace runner {
namespace {

// With its separator: "/" on Linux, "\\" in the path Windows gives the program.
std::string FolderOf(const std::string& path) {
  return path.substr(0, path.find_last_of("/\\") + 1);
}

ExitCode ReadSettingsRow(core::BackupSettings& settings, const core::Credentials& credentials,
                         std::ostream& err) {
  db::BackupSettingsSource source(platform::Current());
  core::UseDatabaseLogin(credentials, source);
  const core::SettingsLoadOutcome outcome = core::LoadSettingsRow(source, settings);
  core::ForgetDatabaseLogin(source);
  switch (outcome.result) {
    case core::SettingsLoadResult::Read:
      return ExitCode::Success;
    case core::SettingsLoadResult::ServerUnreachable:
      err << "O servidor de banco de dados não respondeu.\n" << outcome.message << std::endl;
      return ExitCode::ServerUnreachable;
    case core::SettingsLoadResult::LoginRefused:
      err << "O servidor de banco de dados recusou o usuário e a senha.\n" << outcome.message << std::endl;
      return ExitCode::LoginRefused;
    case core::SettingsLoadResult::NotRead:
      break;
  }
  err << "As configurações de backup não foram lidas do banco de dados.\n" << outcome.message << std::endl;
  return ExitCode::SettingsNotRead;
}

ExitCode RunJob(const core::BackupSettings& settings, std::ostream& out, std::ostream& err) {
  services::TIBBackupService backup;
  services::ApplyBackupInstanceSettings(backup);
  core::Transcript transcript;
  TerminalView view(transcript, out);
  core::JobOutcome outcome;
  try {
    core::BackupJob job(settings, backup, transcript, view);
    // The block of the automatic mode: the job's own lines; the server's are printed all the same.
    outcome = job.Run(/*showServerLines=*/false);
  } catch (const core::EInOutError& error) {
    err << error.what() << std::endl;
    return ExitCode::FolderNotWritable;
  }
  if (outcome == core::JobOutcome::Failed)
    return view.VerificationWentWrong() ? ExitCode::VerificationFailed : ExitCode::BackupFailed;
  if (view.CopyWentWrong()) return ExitCode::CopyFailed;
  return ExitCode::Success;
}

}  // namespace

std::string HelpText() {
  std::string text =
      "Uso: kelmora-backup-run [--help]\n"
      "\n"
      "Faz um backup agora, sem janela, como o modo automático do kelmora-backup: lê o\n"
      "sistema.ini da pasta deste programa ([Dados] Dir, [Backup] Sistema, ContaServidor,\n"
      "Verificar e UrlMonitor), o usuário e a senha do arquivo credenciais (o do systemd em\n"
      "$CREDENTIALS_DIRECTORY, senão o da pasta deste programa) e a linha de SIS_BACKUP do\n"
      "banco, grava o backup em backup/,\n"
      "verifica-o (Verificar=1), copia-o para a pasta de cópia, apaga os arquivos vencidos,\n"
      "avisa o monitor (UrlMonitor) e registra o bloco em backup/backup.txt.\n"
      "As linhas do backup e as do servidor saem na saída padrão.\n"
      "\n"
      "Códigos de saída:\n";
  for (const ExitCodeText& entry : kExitCodes) {
    const std::string number = std::to_string(static_cast<int>(entry.code));
    text += std::string(4 - number.size(), ' ') + number + "  " + std::string(entry.meaning) + "\n";
  }
  return text;
}

ExitCode Run(const std::vector<std::string>& arguments, std::ostream& out, std::ostream& err) {
  if (arguments.size() == 1 && (arguments[0] == "--help" || arguments[0] == "-h")) {
    out << HelpText();
    return ExitCode::Success;
  }
  if (!arguments.empty()) {
    err << "Argumento desconhecido: " << arguments[0] << "\n\n" << HelpText();
    return ExitCode::Usage;
  }
  try {
    core::BackupSettings settings;
    settings.programFolder = FolderOf(platform::Current().ExecutablePath());
    core::ReadSettingsFile(settings);
    if (settings.databaseLocation.empty()) {
      err << "Não foi encontrado o arquivo de configuração SISTEMA.INI, ou ele não tem [Dados] Dir: "
          << settings.programFolder << "sistema.ini" << std::endl;
      return ExitCode::NoSettingsFile;
    }
    const core::CredentialsRead credentials = core::ReadCredentials(settings.programFolder);
    if (!credentials.problem.empty()) {
      err << credentials.problem << std::endl;
      // The job refuses too, before it sends anything, and writes why into the log where an unattended
      // run's failures are looked for.
      RunJob(settings, out, err);
      return ExitCode::CredentialsRefused;
    }
    if (const ExitCode read = ReadSettingsRow(settings, credentials.credentials, err);
        read != ExitCode::Success)
      return read;
    return RunJob(settings, out, err);
  } catch (const std::exception& error) {
    // The database side's and the server's texts are code page 1252, the program's own UTF-8.
    err << core::DecodeFileText(error.what()) << std::endl;
    return ExitCode::Unexpected;
  }
}

}  // namespace runner
