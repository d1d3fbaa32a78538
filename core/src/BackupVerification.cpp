#include "core/BackupVerification.h"

#include <exception>

#include "core/Credentials.h"
#include "core/ServerLogin.h"
#include "core/TextEncoding.h"
#include "db/BackupSettingsSource.h"
#include "db/TIBOQuery.h"
#include "platform/Cp1252.h"
#include "services/BackupInstance.h"
#include "services/TIBRestoreService.h"

namespace core {
namespace {

// Tables and views of the database's own; RDB$SYSTEM_FLAG is NULL rather than 0 in databases made by
// old server versions.
constexpr const char* kCountUserTables =
    "SELECT COUNT(*) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0";

// An error's text (code page 1252 from the server and the database side) as one UTF-8 line.
std::string OneLine(const char* cp1252Text) {
  std::string line;
  for (const char* c = cp1252Text; *c != '\0'; ++c) {
    if (*c == '\r') continue;
    line += *c == '\n' ? std::string("; ") : std::string(1, *c);
  }
  return cp1252::ToUtf8(line);
}

// Which of the credentials file's logins opens a database: the scratch database belongs to the services
// manager's user, who restored it; the source is opened as the settings row is.
enum class Opened { Scratch, Source };

void UseLogin(db::BackupSettingsSource& source, Opened opened, const std::string& programFolder,
              platform::System& system) {
  // The job read the file moments ago and found it good; one refused now gets the built-in login.
  const CredentialsRead read = ReadCredentials(programFolder, system);
  UseDatabaseLogin(opened == Opened::Scratch ? read.credentials.service : read.credentials.database, source);
}

// Through the program's own database connection settings, as the settings row is read. The query goes
// before the connection it uses.
int CountUserTables(const std::string& location, Opened opened, const std::string& programFolder,
                    platform::System& system) {
  db::BackupSettingsSource source(system);
  UseLogin(source, opened, programFolder, system);
  source.IBODatabase.SetDatabaseName(location);
  db::TIBOQuery count("qryTabelas");
  count.SetIB_Connection(&source.IBODatabase);
  count.SetIB_Transaction(&source.IBOTransaction);
  count.SetSQL({kCountUserTables});
  source.IBODatabase.Connect();
  count.Open();
  const int tables = static_cast<int>(count.ColumnAsInteger(0));
  count.Close();
  source.IBODatabase.Disconnect();
  return tables;
}

// Drops the scratch database when it goes, whatever ended the check.
class ScratchDatabaseDropped {
 public:
  explicit ScratchDatabaseDropped(std::function<void()> drop) : drop_(std::move(drop)) {}
  ~ScratchDatabaseDropped() { drop_(); }
  ScratchDatabaseDropped(const ScratchDatabaseDropped&) = delete;
  ScratchDatabaseDropped& operator=(const ScratchDatabaseDropped&) = delete;

 private:
  std::function<void()> drop_;
};

}  // namespace

BackupVerification::BackupVerification(const BackupSettings& settings, const BackupNames& names,
                                       const services::TIBBackupService& backup, platform::System& system)
    : settings_(settings), names_(names), backup_(backup), system_(system) {}

std::string BackupVerification::Location(const std::string& path) const {
  return ServerText(names_.serverName + ":" + path, settings_.serverSystem);
}

std::string BackupVerification::Run(const LineRead& lineRead) {
  // One left by a check that was cut off would make the restore refuse to create it.
  DropScratchDatabase();
  const ScratchDatabaseDropped dropped([this] { DropScratchDatabase(); });
  try {
    Restore(lineRead);
  } catch (const std::exception& error) {
    return "a restauração falhou: " + OneLine(error.what());
  }
  int restoredTables = 0;
  try {
    restoredTables =
        CountUserTables(Location(names_.scratchDatabase), Opened::Scratch, settings_.programFolder, system_);
  } catch (const std::exception& error) {
    return "a base restaurada não abre: " + OneLine(error.what());
  }
  int sourceTables = 0;
  try {
    sourceTables =
        CountUserTables(Location(names_.databasePath), Opened::Source, settings_.programFolder, system_);
  } catch (const std::exception& error) {
    return "a base de origem não abre para a comparação: " + OneLine(error.what());
  }
  if (restoredTables != sourceTables) {
    return "a base restaurada tem " + std::to_string(restoredTables) +
           (restoredTables == 1 ? " tabela" : " tabelas") + " e a de origem " + std::to_string(sourceTables);
  }
  return {};
}

void BackupVerification::Restore(const LineRead& lineRead) {
  services::TIBRestoreService restore;
  services::ApplyRestoreInstanceSettings(restore, backup_);
  restore.SetServerName(ServerText(names_.serverName, settings_.serverSystem));
  restore.SetProtocol(services::TProtocol::TCP);
  restore.SetDatabaseName(ServerText(names_.scratchDatabase, settings_.serverSystem));
  restore.BackupFile().Clear();
  restore.BackupFile().Add(ServerText(names_.serverTarget, settings_.serverSystem));
  restore.SetActive(true);
  restore.ServiceStart();
  while (!restore.EndOfOutput())
    lineRead(restore.ReadOutputLine());
  restore.SetActive(false);
}

void BackupVerification::DropScratchDatabase() {
  try {
    db::BackupSettingsSource scratch(system_);
    UseLogin(scratch, Opened::Scratch, settings_.programFolder, system_);
    scratch.IBODatabase.SetDatabaseName(Location(names_.scratchDatabase));
    scratch.IBODatabase.Connect();
    scratch.IBODatabase.DropDatabase();
  } catch (const std::exception&) {
    // None there, or one the server cannot open: the file itself goes below.
  }
  if (system_.Stamp(names_.localScratchDatabase)) system_.RemoveFile(names_.localScratchDatabase);
}

}  // namespace core
