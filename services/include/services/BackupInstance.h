#pragma once

#include <string_view>

#include "services/RestoreService.h"
#include "services/TIBBackupService.h"

namespace services {

// Gives a backup component the fixed settings of the main window's Backup instance: Params
// "user_name=SYSDBA" and "password=<the services password the program is built with>", no login
// prompt, verbose output and the NoGarbageCollection option. The job sets DatabaseName, ServerName,
// BackupFile and Protocol per run.
void ApplyBackupInstanceSettings(TIBBackupService& backup);

// A backup that the server writes as the Backup instance's, without the verbose output: the server sends
// no lines, only the end of the output.
void ApplyWithoutLinesSettings(TIBBackupService& backup);

// The backup file names that have the server send a backup to the program and read a restore's file
// from the program, over the queries of the services manager.
inline constexpr const char* kToProgram = "stdout";
inline constexpr const char* kFromProgram = "stdin";

// A backup sent to the program: the Backup instance's settings without verbose output, which the server
// refuses together with "stdout" (its lines would share the channel with the file), and that file.
void ApplyTransferSettings(TIBBackupService& backup);

// The Params of a login: "user_name=<user>" and "password=<password>". The built-in one is SYSDBA with the
// services password the program is built with, which is unscrambled for the call and wiped again. Params
// keep the password until the component's WipeParams.
void SetBuiltInServiceLogin(TIBBackupService& backup);
void SetServiceLogin(TIBBackupService& backup, std::string_view user, std::string_view password);

// The restore that checks a backup attaches as the backup did (the backup component's Params), with
// verbose output, so that its lines keep a window responsive as the backup's do, and into a new
// database only: an existing file is never replaced.
void ApplyRestoreInstanceSettings(RestoreService& restore, const TIBBackupService& backup);

}  // namespace services
