#include "core/SettingsLoad.h"

#include <algorithm>
#include <exception>

#include "core/TextEncoding.h"
#include "db/BackupSettingsSource.h"
#include "platform/Cp1252.h"

namespace core {
namespace {

constexpr long kUnavailable = 335544375;     // isc_unavailable
constexpr long kNetLookupError = 335544704;  // isc_net_lookup_err
constexpr long kNetworkError = 335544721;    // isc_network_error
constexpr long kLoginRefused = 335544472;    // isc_login

std::string JoinedUtf8(const std::vector<std::string>& cp1252Lines) {
  std::string text;
  for (const std::string& line : cp1252Lines)
    text += (text.empty() ? "" : "\n") + cp1252::ToUtf8(line);
  return text;
}

// Puts the source's handlers back however the call ends.
class HandlersRestored {
 public:
  explicit HandlersRestored(db::TIBODatabase& connection)
      : connection_(connection), afterConnect_(connection.AfterConnect), onError_(connection.OnError) {}
  ~HandlersRestored() {
    connection_.AfterConnect = afterConnect_;
    connection_.OnError = onError_;
  }
  HandlersRestored(const HandlersRestored&) = delete;
  HandlersRestored& operator=(const HandlersRestored&) = delete;

 private:
  db::TIBODatabase& connection_;
  db::TIB_ConnectionEvent afterConnect_;
  db::TIB_ErrorEvent onError_;
};

}  // namespace

bool IsServerUnreachable(long errorCode) {
  return errorCode == kUnavailable || errorCode == kNetLookupError || errorCode == kNetworkError;
}

std::vector<std::string> ServerMessageLines(const db::TextLines& errorMessage) {
  std::vector<std::string> lines;
  const auto heading = std::find(errorMessage.begin(), errorMessage.end(), "ISC ERROR MESSAGE:");
  if (heading == errorMessage.end()) return lines;
  std::copy_if(heading + 1, errorMessage.end(), std::back_inserter(lines),
               [](const std::string& line) { return !line.empty(); });
  return lines;
}

void CopySettingsRow(const db::TDataSet& query, BackupSettings& settings) {
  for (std::size_t i = 0; i < settings.scheduleTimes.size(); ++i)
    settings.scheduleTimes[i] =
        cp1252::ToUtf8(query.FieldByName("HR_BACKUP_" + std::to_string(i + 1)).AsString());
  // The row's texts are code page 1252 (the connection's character set).
  settings.copyFolder = cp1252::ToUtf8(query.FieldByName("TX_DIR_HDD").AsString());
  settings.retentionDays = static_cast<std::int32_t>(query.FieldByName("NR_DIAS").AsInteger());
}

SettingsLoadOutcome LoadSettingsRow(db::BackupSettingsSource& source, BackupSettings& settings) {
  db::TIBODatabase& connection = source.IBODatabase;
  const HandlersRestored restored(connection);
  long attachError = 0;
  std::vector<std::string> serverWords;
  // Only a refused attach is taken here; an error of the attached connection ends the call as itself.
  connection.OnError = [&](db::TIB_Component*, long errCode, const db::TextLines& errorMessage,
                           const db::TextLines&, long, const db::TextLines&, const db::TextLines&,
                           bool& raiseException) {
    if (connection.Connected()) return;
    attachError = errCode;
    serverWords = ServerMessageLines(errorMessage);
    raiseException = false;
  };
  connection.AfterConnect = [&](db::TIB_Connection*) {
    source.tblBackup.Open();
    CopySettingsRow(source.tblBackup, settings);
    source.tblBackup.Close();
    connection.Disconnect();
  };

  SettingsLoadOutcome outcome;
  try {
    connection.SetDatabaseName(ServerText(settings.databaseLocation, settings.serverSystem));
    connection.Connect();
  } catch (const std::exception& error) {
    if (connection.Connected()) {
      try {
        connection.Disconnect();
      } catch (const std::exception&) {
        // The first error is the one worth reporting.
      }
    }
    outcome.message = cp1252::ToUtf8(error.what());
    return outcome;
  }
  if (attachError == 0) {
    outcome.result = SettingsLoadResult::Read;
  } else {
    outcome.result = IsServerUnreachable(attachError) ? SettingsLoadResult::ServerUnreachable
                     : attachError == kLoginRefused   ? SettingsLoadResult::LoginRefused
                                                      : SettingsLoadResult::NotRead;
    outcome.message = JoinedUtf8(serverWords);
  }
  return outcome;
}

}  // namespace core
