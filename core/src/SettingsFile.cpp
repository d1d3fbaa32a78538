#include "core/SettingsFile.h"

#include <algorithm>
#include <array>

#include "core/ProfileReader.h"
#include "core/TextEncoding.h"

namespace core {

void ReadSettingsFile(BackupSettings& settings, platform::Files& files) {
  const std::string path = settings.programFolder + "sistema.ini";
  const ProfileReader profile(path, files);
  settings.databaseLocation = DecodeFileText(profile.ReadString("Dados", "Dir", ""));
  settings.serverSystem = DecodeFileText(profile.ReadString("Backup", "Sistema", "Windows"));
  settings.serverAccount = DecodeFileText(profile.ReadString("Backup", "ContaServidor", "firebird"));
  // Keys that older versions ignore: what they switch on stays off until an administrator adds them.
  settings.verifyBackup = SwitchIsOn(profile.ReadString("Backup", "Verificar", ""));
  settings.monitorUrl = DecodeFileText(profile.ReadString("Backup", "UrlMonitor", ""));
  settings.monitorSignals = SwitchIsOn(profile.ReadString("Backup", "MonitorDetalhado", ""));
  settings.catchUpMissedTimes = SwitchIsOn(profile.ReadString("Backup", "RecuperarHorarios", ""));
  settings.showBackupState = SwitchIsOn(profile.ReadString("Backup", "MostrarEstado", ""));
  settings.explainServerAccess = SwitchIsOn(profile.ReadString("Backup", "ExplicarAcesso", ""));
  settings.transferBackup = SwitchIsOn(profile.ReadString("Backup", "Transferir", ""));
  settings.omitServerLines = SwitchIsOn(profile.ReadString("Backup", "OmitirDetalhes", ""));
  settings.verificationFolder = DecodeFileText(profile.ReadString("Backup", "PastaVerificacao", ""));
  // Copies outside the package keep a 0644 file working; the job's block says what that exposes.
  const std::optional<platform::FileExposure> exposure = files.Exposure(path);
  settings.monitorUrlExposed = exposure && exposure->othersMayRead;
}

bool SwitchIsOn(std::string_view value) {
  while (!value.empty() && (value.front() == ' ' || value.front() == '\t'))
    value.remove_prefix(1);
  while (!value.empty() && (value.back() == ' ' || value.back() == '\t'))
    value.remove_suffix(1);
  std::string lower(value);
  std::transform(lower.begin(), lower.end(), lower.begin(),
                 [](char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; });
  constexpr std::array<std::string_view, 7> kOn = {"1", "s", "sim", "y", "yes", "true", "on"};
  return std::find(kOn.begin(), kOn.end(), lower) != kOn.end();
}

}  // namespace core
