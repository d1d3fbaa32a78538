#include "BackupSettingsSource.h"

#include "BackupPasswords.h"
#include "ConnectionCore.h"
#include "Fields.h"
#include "TIB_Transaction.h"
#include "platform/Wipe.h"

namespace db {

namespace {

// The path the connection was designed with; the location from sistema.ini replaces it.
constexpr const char* kDesignTimePath = "C:\\Kelmora\\Dados\\DADOS.FDB";

}  // namespace

BackupSettingsSource::BackupSettingsSource(const ConnectionSystem& system)
    : IBODatabase(system, "IBODatabase"),
      transaction_(std::make_unique<TIBOTransaction>("IBOTransaction")),
      IBOTransaction(*transaction_),
      tblBackup("tblBackup") {
  ConnectionCore& connection = IBODatabase.Core();
  connection.Params().SetLines({"CHARACTER SET=WIN1252", "USER NAME=SYSDBA",
                                std::string("PATH=") + kDesignTimePath, "SERVER=localhost", "SQL DIALECT=1",
                                "FORCED WRITES=TRUE", "RESERVE PAGE SPACE=TRUE", "PROTOCOL=TCP/IP"});
  connection.SetSQLDialect(1);
  connection.SetPasswordStorage(PasswordStorageMode::psKeyFromEnviron);
  UseBuiltInLogin();
  IBODatabase.OwnDefaultTransaction().SetIsolation(TIB_Isolation::tiCommitted);

  IBOTransaction.SetIB_Connection(&connection);
  IBOTransaction.SetIsolation(TIB_Isolation::tiConcurrency);
  IBOTransaction.SetRecVersion(false);
  IBOTransaction.SetAutoCommit(false);

  tblBackup.SetSQL({"SELECT * FROM SIS_BACKUP"});
  tblBackup.SetIB_Connection(&IBODatabase);
  tblBackup.SetIB_Transaction(&IBOTransaction);
  tblBackup.AddField<TIntegerField>("ID_BACKUP");
  for (const char* name : {"HR_BACKUP_1", "HR_BACKUP_2", "HR_BACKUP_3", "HR_BACKUP_4"}) {
    tblBackup.AddField<TStringField>(name, 5);
  }
  tblBackup.AddField<TStringField>("TX_DIR_HDD", 200);
  tblBackup.AddField<TStringField>("TX_DIR_CDR", 200);
  tblBackup.AddField<TStringField>("TP_COMPACTAR", 1);
  tblBackup.AddField<TStringField>("TX_SENHA", 20);
  tblBackup.AddField<TStringField>("TX_FTP_SERVIDOR", 60);
  tblBackup.AddField<TStringField>("TX_FTP_PORTA", 10);
  tblBackup.AddField<TStringField>("TX_FTP_USUARIO", 40);
  tblBackup.AddField<TStringField>("TX_FTP_SENHA", 40);
  tblBackup.AddField<TStringField>("TX_FTP_DIRETORIO", 200);
  tblBackup.AddField<TIntegerField>("NR_DIAS");
  tblBackup.AddField<TIntegerField>("ID_USUARIO");
  tblBackup.AddField<TDateTimeField>("DT_ATUALIZACAO");
}

BackupSettingsSource::~BackupSettingsSource() = default;

void BackupSettingsSource::UseBuiltInLogin() {
  IBODatabase.SetUsername("SYSDBA");
  std::string password = BackupDatabasePassword();
  IBODatabase.SetPassword(password);
  platform::WipeString(password);
}

}  // namespace db
