#pragma once

// The connection, transaction and query that read the backup settings row, built with the settings
// the main window has always given them. ApplicationDatabase only sets the database location, the
// login, its AfterConnect and OnError handlers, and calls Connect:
//
//   db::BackupSettingsSource source(system);   // the environment, clock and loader it may ask
//   source.IBODatabase.SetDatabaseName(location);
//   source.IBODatabase.AfterConnect = [&](db::TIB_Connection*) {
//     source.tblBackup.Open();
//     time1 = source.tblBackup.FieldByName("HR_BACKUP_1").AsString();
//     ...
//     days = source.tblBackup.FieldByName("NR_DIAS").AsInteger();
//     source.tblBackup.Close();
//     source.IBODatabase.Disconnect();
//   };
//   source.IBODatabase.OnError = ...;   // TIB_ErrorEvent
//   source.IBODatabase.Connect();

#include <memory>

#include "TIBODatabase.h"
#include "TIBOQuery.h"
#include "TIBOTransaction.h"

namespace db {

class BackupSettingsSource {
 public:
  explicit BackupSettingsSource(const ConnectionSystem& system);
  ~BackupSettingsSource();
  BackupSettingsSource(const BackupSettingsSource&) = delete;
  BackupSettingsSource& operator=(const BackupSettingsSource&) = delete;

  // The connection's login as built: user SYSDBA and the database password the program is built with
  // (unscrambled for the call only). The connection holds the password, scrambled, until it is set again.
  void UseBuiltInLogin();

  // Declared in this order so that the query goes first and the connection last.
  TIBODatabase IBODatabase;

 private:
  std::unique_ptr<TIBOTransaction> transaction_;

 public:
  TIBOTransaction& IBOTransaction;
  TIBOQuery tblBackup;
};

}  // namespace db
