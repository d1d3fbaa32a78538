#include "tests/db/ServerTestSupport.h"

namespace db::testing {

void UseTestServerLogin(TIB_Connection& connection) {
  connection.SetUsername(testsupport::FirebirdServer::kUser);
  connection.SetPassword(testsupport::FirebirdServer::kPassword);
}

SettingsFixture::SettingsFixture(const std::string& databaseName,
                                 const testsupport::AppDatabaseOptions& options) {
  testsupport::FirebirdServer& server = testsupport::FirebirdServer::Shared();
  location = server.Location(testsupport::CreateAppDatabase(server, databaseName, options));
  source.IBODatabase.SetPassword(testsupport::FirebirdServer::kPassword);
  source.IBODatabase.SetDatabaseName(location);
}

void SettingsFixture::ReadSettingsOnConnect() {
  source.IBODatabase.AfterConnect = [this](TIB_Connection*) {
    ++afterConnectCalls;
    TIBOQuery& query = source.tblBackup;
    query.Open();
    values.time1 = query.FieldByName("HR_BACKUP_1").AsString();
    values.time2 = query.FieldByName("HR_BACKUP_2").AsString();
    values.time3 = query.FieldByName("HR_BACKUP_3").AsString();
    values.time4 = query.FieldByName("HR_BACKUP_4").AsString();
    values.copyFolder = query.FieldByName("TX_DIR_HDD").AsString();
    values.days = query.FieldByName("NR_DIAS").AsInteger();
    query.Close();
    source.IBODatabase.Disconnect();
  };
}

}  // namespace db::testing
