#include "services/ServicesManager.h"

#include <ibase.h>

#include "fbclient/Exceptions.h"
#include "services/BackupInstance.h"
#include "services/RestoreService.h"
#include "services/TIBBackupService.h"

namespace services {
namespace {

// How long a query waits for a backup without lines to end before the job looks at it again: the pace of
// its gauge and how soon it sees a stop. The server counts whole seconds; 1 is the shortest wait.
constexpr std::uint32_t kSecondsBetweenLooks = 1;

// The attachment of a backup broken off: gone, so that the next backup starts afresh.
void GiveUp(TIBCustomService& service) {
  if (!service.Active()) return;
  try {
    service.SetActive(false);
  } catch (const std::exception&) {
    // The first error is the one worth reporting.
  }
}

// The Params of the login; the component keeps them until its WipeParams.
void UseLogin(TIBBackupService& backup, const core::LoginChoice& login) {
  if (login) {
    SetServiceLogin(backup, login->user, login->password.View());
  } else {
    SetBuiltInServiceLogin(backup);
  }
}

// Wipes a component's login when it goes out of scope, however the call that attached ends.
class LoginWiped {
 public:
  explicit LoginWiped(TIBCustomService& service) : service_(service) {}
  ~LoginWiped() { service_.WipeParams(); }
  LoginWiped(const LoginWiped&) = delete;
  LoginWiped& operator=(const LoginWiped&) = delete;

 private:
  TIBCustomService& service_;
};

// Runs the action on the attachment that the service's settings describe, reading its output with
// `readOnce` until it ends, and tells how far it got when it fails.
template <class Service, class ReadOnce>
void RunAction(Service& service, const ReadOnce& readOnce) {
  core::ServerStage stage = core::ServerStage::NotStarted;
  try {
    service.SetActive(true);
    service.ServiceStart();
    stage = core::ServerStage::Started;
    while (!service.EndOfOutput())
      readOnce();
    stage = core::ServerStage::OutputEnded;
    service.SetActive(false);
  } catch (const fbclient::EIBError& error) {
    GiveUp(service);
    // The server's own account may not create the file where it was told to write it.
    throw core::ServerFailure(error.what(), stage, error.GdsCode() == isc_gbak_open_bkup_error);
  } catch (const fbclient::Exception& error) {
    GiveUp(service);
    throw core::ServerFailure(error.what(), stage);
  } catch (...) {
    GiveUp(service);
    throw;
  }
}

}  // namespace

// Every output line to lineRead.
template <class Service>
void RunAction(Service& service, const core::BackupServer::LineRead& lineRead) {
  RunAction(service, [&] { lineRead(service.ReadOutputLine()); });
}

ServicesManager::ServicesManager()
    : backup_(std::make_unique<TIBBackupService>()),
      withoutLines_(std::make_unique<TIBBackupService>()),
      transfer_(std::make_unique<TIBBackupService>()) {
  ApplyBackupInstanceSettings(*backup_);
  ApplyWithoutLinesSettings(*withoutLines_);
  ApplyTransferSettings(*transfer_);
  // The job names one whole file: a program folder or a database named with an "=" must not be read as
  // a file and its length.
  backup_->SetFileLengths(false);
  withoutLines_->SetFileLengths(false);
  // Each call gives the component its login and wipes it again.
  backup_->WipeParams();
  withoutLines_->WipeParams();
  transfer_->WipeParams();
}

ServicesManager::~ServicesManager() = default;

void ServicesManager::PrepareBackup(TIBBackupService& backup, const core::LoginChoice& login,
                                    const std::string& serverName, const std::string& databasePath,
                                    const std::string& backupFile) {
  try {
    UseLogin(backup, login);
    backup.SetDatabaseName(databasePath);
    backup.SetServerName(serverName);
    backup.BackupFile().Clear();
    backup.BackupFile().Add(backupFile);
    backup.SetProtocol(TProtocol::TCP);
  } catch (const fbclient::Exception& error) {
    throw core::ServerFailure(error.what(), core::ServerStage::NotStarted);
  }
}

void ServicesManager::Backup(const core::LoginChoice& login, const std::string& serverName,
                             const std::string& databasePath, const std::string& backupFile,
                             const LineRead& lineRead) {
  const LoginWiped wiped(*backup_);
  PrepareBackup(*backup_, login, serverName, databasePath, backupFile);
  RunAction(*backup_, lineRead);
}

void ServicesManager::BackupWithoutLines(const core::LoginChoice& login, const std::string& serverName,
                                         const std::string& databasePath, const std::string& backupFile,
                                         const StillWriting& stillWriting) {
  const LoginWiped wiped(*withoutLines_);
  PrepareBackup(*withoutLines_, login, serverName, databasePath, backupFile);
  RunAction(*withoutLines_, [&] {
    // What the server may still say (a warning) has nowhere to go: the job that asks shows no lines.
    withoutLines_->WaitForOutput(kSecondsBetweenLooks);
    if (!withoutLines_->EndOfOutput()) stillWriting();
  });
}

std::unique_ptr<RestoreService> ServicesManager::PrepareRestore(const core::LoginChoice& login,
                                                                const std::string& serverName,
                                                                const std::string& backupFile,
                                                                const std::string& database) {
  try {
    auto restore = std::make_unique<RestoreService>();
    {
      // The restore attaches as the backup does.
      const LoginWiped wiped(*backup_);
      UseLogin(*backup_, login);
      ApplyRestoreInstanceSettings(*restore, *backup_);
    }
    restore->SetServerName(serverName);
    restore->SetProtocol(TProtocol::TCP);
    restore->SetDatabaseName(database);
    restore->BackupFile().Clear();
    restore->BackupFile().Add(backupFile);
    return restore;
  } catch (const fbclient::Exception& error) {
    throw core::ServerFailure(error.what(), core::ServerStage::NotStarted);
  }
}

void ServicesManager::Restore(const core::LoginChoice& login, const std::string& serverName,
                              const std::string& backupFile, const std::string& database,
                              const LineRead& lineRead) {
  const std::unique_ptr<RestoreService> restore = PrepareRestore(login, serverName, backupFile, database);
  RunAction(*restore, lineRead);
}

void ServicesManager::BackupToProgram(const core::LoginChoice& login, const std::string& serverName,
                                      const std::string& databasePath, const DataRead& dataRead) {
  const LoginWiped wiped(*transfer_);
  try {
    UseLogin(*transfer_, login);
    transfer_->SetDatabaseName(databasePath);
    transfer_->SetServerName(serverName);
    transfer_->SetProtocol(TProtocol::TCP);
  } catch (const fbclient::Exception& error) {
    throw core::ServerFailure(error.what(), core::ServerStage::NotStarted);
  }
  RunAction(*transfer_, [&] {
    const std::string_view piece = transfer_->ReadOutputData();
    if (!piece.empty()) dataRead(piece);
  });
}

void ServicesManager::RestoreFromProgram(const core::LoginChoice& login, const std::string& serverName,
                                         const DataWanted& dataWanted, const std::string& database,
                                         const LineRead& lineRead) {
  const std::unique_ptr<RestoreService> restore = PrepareRestore(login, serverName, kFromProgram, database);
  RunAction(*restore, [&] { lineRead(restore->ReadOutputLine(dataWanted)); });
}

}  // namespace services
