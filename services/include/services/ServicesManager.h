#pragma once

#include <memory>
#include <string>

#include "core/BackupServer.h"

namespace services {

class RestoreService;
class TIBBackupService;

// The backup server of the program's core, through the server's services manager: the main window's
// Backup instance (see ApplyBackupInstanceSettings) for the backup, and a restore that attaches as it
// does. Between calls the component holds no login. What the client library and the server report comes
// out as core::ServerFailure.
class ServicesManager : public core::BackupServer {
 public:
  // Binds the client library now, as the window's component always did when the window was built
  // (fbclient's errors when it cannot).
  ServicesManager();
  ~ServicesManager() override;
  ServicesManager(const ServicesManager&) = delete;
  ServicesManager& operator=(const ServicesManager&) = delete;

  void Backup(const core::LoginChoice& login, const std::string& serverName, const std::string& databasePath,
              const std::string& backupFile, const LineRead& lineRead) override;
  void BackupWithoutLines(const core::LoginChoice& login, const std::string& serverName,
                          const std::string& databasePath, const std::string& backupFile,
                          const StillWriting& stillWriting) override;
  void Restore(const core::LoginChoice& login, const std::string& serverName, const std::string& backupFile,
               const std::string& database, const LineRead& lineRead) override;
  void BackupToProgram(const core::LoginChoice& login, const std::string& serverName,
                       const std::string& databasePath, const DataRead& dataRead) override;
  void RestoreFromProgram(const core::LoginChoice& login, const std::string& serverName,
                          const DataWanted& dataWanted, const std::string& database,
                          const LineRead& lineRead) override;

 private:
  // Gives a backup component the login and the names of one run (fbclient's errors as ServerFailure).
  static void PrepareBackup(TIBBackupService& backup, const core::LoginChoice& login,
                            const std::string& serverName, const std::string& databasePath,
                            const std::string& backupFile);
  // A restore of backupFile into database that attaches as the backup does.
  std::unique_ptr<RestoreService> PrepareRestore(const core::LoginChoice& login,
                                                 const std::string& serverName, const std::string& backupFile,
                                                 const std::string& database);

  std::unique_ptr<TIBBackupService> backup_;
  // The same instance without verbose output (see ApplyWithoutLinesSettings).
  std::unique_ptr<TIBBackupService> withoutLines_;
  // The same instance set up to send the backup to the program (see ApplyTransferSettings).
  std::unique_ptr<TIBBackupService> transfer_;
};

}  // namespace services
