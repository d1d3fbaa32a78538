#include "core/SettingsFile.h"

#include "core/ProfileReader.h"
#include "core/TextEncoding.h"

namespace core {

void ReadSettingsFile(BackupSettings& settings) {
  const ProfileReader profile(settings.programFolder + "sistema.ini");
  settings.databaseLocation = DecodeFileText(profile.ReadString("Dados", "Dir", ""));
  settings.serverSystem = DecodeFileText(profile.ReadString("Backup", "Sistema", "Windows"));
  settings.serverAccount = DecodeFileText(profile.ReadString("Backup", "ContaServidor", "firebird"));
  // Keys that older versions ignore: what they switch on stays off until an administrator adds them.
  settings.monitorUrl = DecodeFileText(profile.ReadString("Backup", "UrlMonitor", ""));
}

}  // namespace core
