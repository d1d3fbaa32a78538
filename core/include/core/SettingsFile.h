#pragma once

#include <string>
#include <string_view>

#include "core/BackupSettings.h"
#include "platform/System.h"

namespace core {

// Reads sistema.ini in settings.programFolder into settings, as both programs do at start:
//   [Dados]  Dir            the database location (empty when the file or the key is missing)
//   [Backup] Sistema        the server's system, "Windows" when missing
//            ContaServidor  the server's account on this machine, "firebird" when missing
//            Verificar      verify every backup (a switch, see SwitchIsOn), off when missing
//            UrlMonitor     the address called after every successful job, none when missing
//            MonitorDetalhado  the monitor hears of the start and of failures too (a switch)
//            RecuperarHorarios  a schedule time that passed unseen runs late (a switch)
//            MostrarEstado  the tray icon shows the last backup, failures are notified (a switch)
//            ExplicarAcesso  a backup the server could not write says which access it needs (a switch)
//            Transferir     the server sends the backup to the program (a switch), off when missing
//            OmitirDetalhes  the server sends no lines where none are shown (a switch), off when missing
//            PastaVerificacao  the server's folder for the scratch database that verifies a backup it
//                           sent, none when missing
// Texts are decoded as DecodeFileText does; a missing or unreadable file reads as empty. Whether others may
// read the file goes into monitorUrlExposed.
void ReadSettingsFile(BackupSettings& settings, platform::Files& files);

// Whether a switch of the settings file is on: "1", "S", "Sim", "Y", "Yes", "True" or "On" in any letter
// case, with blanks around it. Anything else, the empty text included, is off.
bool SwitchIsOn(std::string_view value);

}  // namespace core
