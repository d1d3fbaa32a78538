#pragma once

#include <array>
#include <string_view>

namespace runner {

// What the runner's exit code says: each kind of failure its own number, so that a timer, a script or a
// monitor can tell them apart. Once published, a number keeps its meaning.
enum class ExitCode : int {
  Success = 0,                // the backup was made, copied when a copy folder is set, verified when asked
  Unexpected = 1,             // an error of no other kind
  Usage = 2,                  // an argument the runner does not know
  NoSettingsFile = 3,         // sistema.ini missing beside the runner, or without [Dados] Dir
  ServerUnreachable = 4,      // the database server did not answer
  LoginRefused = 5,           // the server refused the user name and password
  SettingsNotRead = 6,        // the settings row could not be read
  BackupFailed = 7,           // the server did not complete the backup
  FolderNotWritable = 8,      // the backup folder or its log could not be written
  CopyFailed = 9,             // the backup was made but not copied to the copy folder
  VerificationFailed = 10,    // the backup was made but did not restore and check out
  CredentialsRefused = 11,    // the credentials file is open to others or unreadable: nothing was sent
  AnotherBackupRunning = 12,  // another backup of the same folder was running: nothing was tried
  Stopped = 13,  // TERM, INT or HUP during the backup or its check: stopped, no unfinished file left
};

struct ExitCodeText {
  ExitCode code;
  std::string_view meaning;  // UTF-8, for --help
};

// Every code with its meaning, in order; --help lists them.
inline constexpr std::array<ExitCodeText, 14> kExitCodes = {{
    {ExitCode::Success, "backup feito (copiado e verificado, quando pedido)"},
    {ExitCode::Unexpected, "erro inesperado"},
    {ExitCode::Usage, "argumento desconhecido"},
    {ExitCode::NoSettingsFile, "sistema.ini ausente na pasta do programa ou sem [Dados] Dir"},
    {ExitCode::ServerUnreachable, "servidor de banco de dados inalcançável"},
    {ExitCode::LoginRefused, "usuário ou senha recusados pelo servidor"},
    {ExitCode::SettingsNotRead, "configurações de backup não lidas do banco de dados"},
    {ExitCode::BackupFailed, "o servidor não concluiu o backup"},
    {ExitCode::FolderNotWritable, "pasta de backup ou log sem permissão de gravação"},
    {ExitCode::CopyFailed, "backup feito, mas não copiado para a pasta de cópia"},
    {ExitCode::VerificationFailed, "backup feito, mas não verificado (Verificar=1)"},
    {ExitCode::CredentialsRefused, "arquivo credenciais recusado (outros podem lê-lo) ou ilegível"},
    {ExitCode::AnotherBackupRunning, "outro backup da mesma pasta em andamento: nada foi feito"},
    {ExitCode::Stopped, "interrompido (TERM, INT ou HUP) durante o backup ou a verificação"},
}};

}  // namespace runner
