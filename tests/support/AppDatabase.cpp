#include "tests/support/AppDatabase.h"

#include <stdexcept>
#include <thread>

namespace testsupport {

AppDatabaseOptions FullRowOptions() {
  AppDatabaseOptions options;
  options.row->time3 = "18:30";
  options.row->copyFolder = "/mnt/c\xF3pia/";
  options.row->retentionDays = 12;
  return options;
}

std::string SqlText(const std::optional<std::string>& value) {
  if (!value) return "NULL";
  // isql drops bytes above 127 from its input, so such texts travel as hexadecimal literals.
  bool ascii = true;
  for (char c : *value)
    ascii = ascii && static_cast<unsigned char>(c) < 0x80;
  if (!ascii) {
    static const char* digits = "0123456789ABCDEF";
    std::string hex = "_WIN1252 X'";
    for (char c : *value) {
      hex += digits[static_cast<unsigned char>(c) >> 4];
      hex += digits[static_cast<unsigned char>(c) & 15];
    }
    return hex + "'";
  }
  std::string quoted = "'";
  for (char c : *value) {
    if (c == '\'') quoted += '\'';
    quoted += c;
  }
  return quoted + "'";
}

namespace {

std::string Column(const AppDatabaseOptions& options, const std::string& name, const std::string& type) {
  if (name == options.omitColumn) return {};
  return "  " + name + " " + type + ",\n";
}

}  // namespace

std::filesystem::path CreateAppDatabase(const FirebirdServer& server, const std::string& name,
                                        const AppDatabaseOptions& options) {
  const auto path = server.DataDir() / (name + ".fdb");
  std::filesystem::remove(path);
  const std::string timeType = options.charTimes ? "CHAR(5)" : "VARCHAR(5)";
  std::string columns;
  columns += Column(options, "ID_BACKUP", "INTEGER NOT NULL");
  for (int i = 1; i <= 4; ++i)
    columns += Column(options, "HR_BACKUP_" + std::to_string(i), timeType);
  columns += Column(options, "TX_DIR_HDD", options.copyFolderType);
  columns += Column(options, "TX_DIR_CDR", "VARCHAR(200)");
  columns += Column(options, "TP_COMPACTAR", "CHAR(1)");
  columns += Column(options, "TX_SENHA", "VARCHAR(20)");
  columns += Column(options, "TX_FTP_SERVIDOR", "VARCHAR(60)");
  columns += Column(options, "TX_FTP_PORTA", "VARCHAR(10)");
  columns += Column(options, "TX_FTP_USUARIO", "VARCHAR(40)");
  columns += Column(options, "TX_FTP_SENHA", "VARCHAR(40)");
  columns += Column(options, "TX_FTP_DIRETORIO", "VARCHAR(200)");
  columns += Column(options, "NR_DIAS", "INTEGER");
  columns += Column(options, "ID_USUARIO", "INTEGER");
  columns += Column(options, "DT_ATUALIZACAO", "DATE");
  if (options.primaryKey && options.omitColumn != "ID_BACKUP") {
    columns += "  CONSTRAINT PK_SIS_BACKUP PRIMARY KEY (ID_BACKUP)\n";
  } else {
    columns.erase(columns.size() - 2, 1);  // the last column's comma
  }

  std::string script = "SET SQL DIALECT 1;\nCREATE DATABASE '" + server.Location(path) + "' USER '" +
                       FirebirdServer::kUser + "' PASSWORD '" + FirebirdServer::kPassword +
                       "' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1252;\n";
  script += "CREATE TABLE SIS_BACKUP (\n" + columns + ");\n";
  script += "CREATE TABLE SIS_BACKUP_HISTORICO (ID INTEGER NOT NULL, DT DATE);\nCOMMIT;\n";
  if (options.row) {
    const SettingsRow& row = *options.row;
    std::string names = "ID_BACKUP";
    std::string values = "1";
    auto add = [&](const std::string& column, const std::string& value) {
      if (column == options.omitColumn) return;
      names += ", " + column;
      values += ", " + value;
    };
    add("HR_BACKUP_1", SqlText(row.time1));
    add("HR_BACKUP_2", SqlText(row.time2));
    add("HR_BACKUP_3", SqlText(row.time3));
    add("HR_BACKUP_4", SqlText(row.time4));
    add("TX_DIR_HDD", SqlText(row.copyFolder));
    add("NR_DIAS", row.retentionDays ? std::to_string(*row.retentionDays) : "NULL");
    add("TP_COMPACTAR", "'N'");
    add("DT_ATUALIZACAO", "'NOW'");
    script += "INSERT INTO SIS_BACKUP (" + names + ") VALUES (" + values + ");\nCOMMIT;\n";
  }
  for (int t = 0; t < options.extraTables; ++t) {
    const std::string table = "DADOS_" + std::to_string(t);
    script +=
        "CREATE TABLE " + table + " (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(100), VALOR INTEGER);\n";
    if (options.rowsPerExtraTable > 0) {
      script += "COMMIT;\nSET TERM ^;\nEXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " +
                std::to_string(options.rowsPerExtraTable) + ") DO BEGIN INSERT INTO " + table +
                " VALUES (:I, 'Registro ' || :I, :I * 7); I = I + 1; END END^\nSET TERM ;^\n";
    }
  }
  if (options.recordDisconnects) {
    script +=
        "COMMIT;\nCREATE TABLE TESTE_DESCONEXOES (PID INTEGER);\nCOMMIT;\nSET TERM ^;\n"
        "CREATE TRIGGER TESTE_DESCONEXAO ON DISCONNECT AS BEGIN INSERT INTO TESTE_DESCONEXOES "
        "SELECT MON$REMOTE_PID FROM MON$ATTACHMENTS WHERE MON$ATTACHMENT_ID = CURRENT_CONNECTION; END^\n"
        "SET TERM ;^\n";
  }
  script += "COMMIT;\n";
  std::string output;
  if (server.RunIsql(script, &output) != 0 || output.find("Statement failed") != std::string::npos) {
    throw std::runtime_error("cannot create the fixture database " + path.string() + ": " + output);
  }
  return path;
}

bool WaitForDisconnect(const FirebirdServer& server, const std::filesystem::path& database, int processId,
                       std::chrono::milliseconds timeout) {
  const std::string query =
      "CONNECT '" + server.Location(database) + "' USER '" + FirebirdServer::kUser + "' PASSWORD '" +
      FirebirdServer::kPassword +
      "';\nSELECT 'detached:' || COUNT(*) FROM TESTE_DESCONEXOES WHERE PID = " + std::to_string(processId) +
      ";\n";
  const auto deadline = std::chrono::steady_clock::now() + timeout;
  for (;;) {
    std::string output;
    server.RunIsql(query, &output);
    if (output.find("detached:") != std::string::npos && output.find("detached:0") == std::string::npos)
      return true;
    if (std::chrono::steady_clock::now() >= deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
  }
}

}  // namespace testsupport
