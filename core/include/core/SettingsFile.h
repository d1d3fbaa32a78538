#pragma once

#include <string>

#include "core/BackupSettings.h"

namespace core {

// Reads sistema.ini in settings.programFolder into settings, as both programs do at start:
//   [Dados]  Dir            the database location (empty when the file or the key is missing)
//   [Backup] Sistema        the server's system, "Windows" when missing
//            ContaServidor  the server's account on this machine, "firebird" when missing
//            UrlMonitor     the address called after every successful job, none when missing
// Texts are decoded as DecodeFileText does; a missing or unreadable file reads as empty.
void ReadSettingsFile(BackupSettings& settings);

}  // namespace core
