#include "db/ApplicationDatabase.h"

#include <ibase.h>

#include <algorithm>
#include <exception>
#include <vector>

#include "BackupSettingsSource.h"
#include "ConnectionCore.h"
#include "TIB_ConnectCharacteristics.h"
#include "platform/Wipe.h"

namespace db {
namespace {

// Tables and views of the database's own; RDB$SYSTEM_FLAG is NULL rather than 0 in databases made by
// old server versions.
constexpr const char* kCountUserTables =
    "SELECT COUNT(*) FROM RDB$RELATIONS WHERE COALESCE(RDB$SYSTEM_FLAG, 0) = 0";

// A table's name as SQL names it: plain where the name is a regular identifier (so that a database of
// dialect 1, which knows no quoted names, takes it too), else between double quotes, its own doubled.
std::string TableInSql(const std::string& name) {
  const auto regular = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '_' || c == '$';
  };
  if (!name.empty() && name.front() >= 'A' && name.front() <= 'Z' &&
      std::all_of(name.begin(), name.end(), regular))
    return name;
  std::string quoted = "\"";
  for (const char c : name)
    quoted += c == '"' ? std::string("\"\"") : std::string(1, c);
  return quoted + "\"";
}
// The size a backup's progress is measured against; MON$DATABASE tells what the database information
// does, pages allocated and the page size, through the query the count already uses. The connection
// speaks dialect 1, which names no BIGINT: the pages come as an INTEGER (2^31 pages of the largest size
// are far beyond any disk), and the product is taken here.
constexpr const char* kPagesAndPageSize =
    "SELECT CAST(MON$PAGES AS INTEGER), MON$PAGE_SIZE FROM MON$DATABASE";

core::AttachFailure FailureOf(long errorCode) {
  switch (errorCode) {
    case isc_net_lookup_err:
      return core::AttachFailure::AddressNotFound;
    case isc_unavailable:
    case isc_network_error:
      return core::AttachFailure::ServerUnreachable;
    case isc_login:
      return core::AttachFailure::LoginRefused;
    default:
      return core::AttachFailure::Other;
  }
}

// The server's own words among the lines of the error event: those after "ISC ERROR MESSAGE:", empty
// ones left out.
std::vector<std::string> ServerMessageLines(const TextLines& errorMessage) {
  std::vector<std::string> lines;
  const auto heading = std::find(errorMessage.begin(), errorMessage.end(), "ISC ERROR MESSAGE:");
  if (heading == errorMessage.end()) return lines;
  std::copy_if(heading + 1, errorMessage.end(), std::back_inserter(lines),
               [](const std::string& line) { return !line.empty(); });
  return lines;
}

core::SettingsRow RowOf(const TDataSet& query) {
  core::SettingsRow row;
  for (std::size_t i = 0; i < row.scheduleTimes.size(); ++i)
    row.scheduleTimes[i] = query.FieldByName("HR_BACKUP_" + std::to_string(i + 1)).AsString();
  row.copyFolder = query.FieldByName("TX_DIR_HDD").AsString();
  row.retentionDays = static_cast<std::int32_t>(query.FieldByName("NR_DIAS").AsInteger());
  return row;
}

// The database's size from what the connection learnt of it on its way to the row (its dialect comes
// with the same reply); 0 when it cannot tell, which costs the reading nothing.
std::int64_t DatabaseBytesOf(TIBODatabase& connection) {
  try {
    const TIB_ConnectCharacteristics& characteristics = connection.Core().Characteristics();
    return static_cast<std::int64_t>(characteristics.allocation) * characteristics.pageSize;
  } catch (const std::exception&) {
    return 0;
  }
}

// The connection's handlers belong to one reading: none are left behind for the next.
class HandlersCleared {
 public:
  explicit HandlersCleared(TIBODatabase& connection) : connection_(connection) {}
  ~HandlersCleared() {
    connection_.AfterConnect = nullptr;
    connection_.OnError = nullptr;
  }
  HandlersCleared(const HandlersCleared&) = delete;
  HandlersCleared& operator=(const HandlersCleared&) = delete;

 private:
  TIBODatabase& connection_;
};

// The connection's user name and password: the login's, or the ones the program is built with.
void UseLogin(BackupSettingsSource& source, const core::LoginChoice& login) {
  if (!login) {
    source.UseBuiltInLogin();
    return;
  }
  source.IBODatabase.SetUsername(login->user);
  std::string password(login->password.View());
  source.IBODatabase.SetPassword(password);
  platform::WipeString(password);
}

// Empties the password once the row has been read (a connection left attached keeps it until it is set
// again).
class PasswordForgotten {
 public:
  explicit PasswordForgotten(TIBODatabase& connection) : connection_(connection) {}
  ~PasswordForgotten() {
    if (!connection_.Connected()) connection_.SetPassword({});
  }
  PasswordForgotten(const PasswordForgotten&) = delete;
  PasswordForgotten& operator=(const PasswordForgotten&) = delete;

 private:
  TIBODatabase& connection_;
};

void DisconnectQuietly(TIBODatabase& connection) {
  if (!connection.Connected()) return;
  try {
    connection.Disconnect();
  } catch (const std::exception&) {
    // The first error is the one worth reporting.
  }
}

}  // namespace

ApplicationDatabase::ApplicationDatabase(const ConnectionSystem& system)
    : system_(system), source_(std::make_unique<BackupSettingsSource>(system)) {}

ApplicationDatabase::~ApplicationDatabase() = default;

std::optional<core::SettingsRow> ApplicationDatabase::ReadRow(const std::string& location,
                                                              const core::LoginChoice& login,
                                                              Attempts& attempts) {
  TIBODatabase& connection = source_->IBODatabase;
  const HandlersCleared cleared(connection);
  const PasswordForgotten forgotten(connection);
  std::optional<core::SettingsRow> row;
  // Only a refused attach is the attempts' to judge; an error of the attached connection ends the
  // reading as itself.
  connection.OnError = [&](TIB_Component*, long errCode, const TextLines& errorMessage, const TextLines&,
                           long, const TextLines&, const TextLines&, bool& raiseException) {
    if (connection.Connected()) return;
    raiseException = false;
    // The next attempt runs inside this one, as the connection's error event always made it.
    if (attempts.AttemptFailed({FailureOf(errCode), ServerMessageLines(errorMessage)})) connection.Open();
  };
  connection.AfterConnect = [&](TIB_Connection*) {
    attempts.Attached(connection.DatabaseName());
    source_->tblBackup.Open();
    row = RowOf(source_->tblBackup);
    row->databaseBytes = DatabaseBytesOf(connection);
    source_->tblBackup.Close();
    connection.Disconnect();
  };
  try {
    connection.SetDatabaseName(location);
    UseLogin(*source_, login);
    connection.Connect();
  } catch (...) {
    DisconnectQuietly(connection);
    throw;
  }
  return row;
}

namespace {

// The integers of the first row a query gives, through the program's own connection settings, as the
// settings row is read. The query goes before the connection it uses.
std::vector<long long> QueryIntegers(const ConnectionSystem& system, const std::string& location,
                                     const core::LoginChoice& login, const char* sql, int columns) {
  BackupSettingsSource source(system);
  UseLogin(source, login);
  source.IBODatabase.SetDatabaseName(location);
  TIBOQuery query("qryTabelas");
  query.SetIB_Connection(&source.IBODatabase);
  query.SetIB_Transaction(&source.IBOTransaction);
  query.SetSQL({sql});
  source.IBODatabase.Connect();
  query.Open();
  std::vector<long long> values;
  for (int column = 0; column < columns; ++column)
    values.push_back(query.ColumnAsInteger(column));
  query.Close();
  source.IBODatabase.Disconnect();
  return values;
}

}  // namespace

int ApplicationDatabase::CountUserTables(const std::string& location, const core::LoginChoice& login) {
  return static_cast<int>(QueryIntegers(system_, location, login, kCountUserTables, 1).front());
}

std::int64_t ApplicationDatabase::DatabaseBytes(const std::string& location, const core::LoginChoice& login) {
  const std::vector<long long> pagesAndSize = QueryIntegers(system_, location, login, kPagesAndPageSize, 2);
  return static_cast<std::int64_t>(pagesAndSize[0]) * pagesAndSize[1];
}

std::map<std::string, std::int64_t> ApplicationDatabase::CountRows(const std::string& location,
                                                                   const core::LoginChoice& login,
                                                                   const std::vector<std::string>& tables) {
  BackupSettingsSource source(system_);
  UseLogin(source, login);
  source.IBODatabase.SetDatabaseName(location);
  source.IBODatabase.Connect();
  std::map<std::string, std::int64_t> rows;
  try {
    for (const std::string& table : tables) {
      TIBOQuery count("qryLinhas");
      count.SetIB_Connection(&source.IBODatabase);
      count.SetIB_Transaction(&source.IBOTransaction);
      count.SetSQL({"SELECT COUNT(*) FROM " + TableInSql(table)});
      count.Open();
      rows[table] = count.ColumnAsInteger(0);
      count.Close();
    }
  } catch (...) {
    DisconnectQuietly(source.IBODatabase);
    throw;
  }
  source.IBODatabase.Disconnect();
  return rows;
}

void ApplicationDatabase::DropDatabase(const std::string& location, const core::LoginChoice& login) {
  BackupSettingsSource scratch(system_);
  UseLogin(scratch, login);
  scratch.IBODatabase.SetDatabaseName(location);
  scratch.IBODatabase.Connect();
  scratch.IBODatabase.DropDatabase();
}

}  // namespace db
