#include "bench/BenchDatabases.h"

#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include "bench/BenchSupport.h"

namespace bench {
namespace fs = std::filesystem;
using testsupport::FirebirdServer;

namespace {

constexpr int kDataTables = 60;
constexpr int kRowsPerDataTable = 8600;
constexpr int kMetadataTables = 1500;
constexpr int kRowsPerMetadataTable = 3;
constexpr int kTablesPerCommit = 50;

// The program reads its schedule and options from this table of the database it backs up (in SQL dialect
// 1, where DATE is a timestamp). Only the real program's benchmark needs it; its two tables add a few
// lines to a backup's output.
constexpr const char* kSettingsTables =
    "CREATE TABLE SIS_BACKUP (ID_BACKUP INTEGER NOT NULL PRIMARY KEY, HR_BACKUP_1 VARCHAR(5),"
    " HR_BACKUP_2 VARCHAR(5), HR_BACKUP_3 VARCHAR(5), HR_BACKUP_4 VARCHAR(5), TX_DIR_HDD VARCHAR(200),"
    " TX_DIR_CDR VARCHAR(200), TP_COMPACTAR CHAR(1), TX_SENHA VARCHAR(20), TX_FTP_SERVIDOR VARCHAR(60),"
    " TX_FTP_PORTA VARCHAR(10), TX_FTP_USUARIO VARCHAR(40), TX_FTP_SENHA VARCHAR(40),"
    " TX_FTP_DIRETORIO VARCHAR(200), NR_DIAS INTEGER, ID_USUARIO INTEGER, DT_ATUALIZACAO TIMESTAMP);\n"
    "CREATE TABLE SIS_BACKUP_HISTORICO (ID INTEGER NOT NULL, DT TIMESTAMP);\n"
    "COMMIT;\n"
    "INSERT INTO SIS_BACKUP (ID_BACKUP, HR_BACKUP_1, TP_COMPACTAR, NR_DIAS, DT_ATUALIZACAO)"
    " VALUES (1, '03:00', 'N', 0, CURRENT_TIMESTAMP);\n"
    "COMMIT;\n";

std::string ReadText(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

std::string CreateDatabaseScript(const FirebirdServer& server, const fs::path& path) {
  return "SET SQL DIALECT 3;\nCREATE DATABASE '" + server.Location(path) + "' USER '" +
         FirebirdServer::kUser + "' PASSWORD '" + FirebirdServer::kPassword +
         "' PAGE_SIZE 8192 DEFAULT CHARACTER SET WIN1252;\nCOMMIT;\n";
}

void RunScript(const FirebirdServer& server, const std::string& script, const fs::path& path) {
  std::string output;
  if (server.RunIsql(script, &output) != 0 || output.find("Statement failed") != std::string::npos)
    throw std::runtime_error("cannot build " + path.string() + ": " + output.substr(0, 2000));
}

// A database built by a recipe is reused while the recipe stays the same; a half-built one is not.
fs::path Database(const FirebirdServer& server, const std::string& name, const std::string& recipe,
                  const std::string& body) {
  const fs::path folder = DataFolder() / "databases";
  fs::create_directories(folder);
  const fs::path path = folder / (name + ".fdb");
  const fs::path stamp = folder / (name + ".recipe");
  if (fs::exists(path) && fs::exists(stamp) && ReadText(stamp) == recipe) return path;
  fs::remove(stamp);
  fs::remove(path);
  std::printf("building %s (%s); this takes a while\n", path.c_str(), recipe.c_str());
  std::fflush(stdout);
  const auto start = Clock::now();
  RunScript(server, CreateDatabaseScript(server, path), path);
  // Only the building needs no synchronous writes; the backup reads the database the same either way.
  RunToFile({"gfix", "-write", "async", "-user", FirebirdServer::kUser, "-password",
             FirebirdServer::kPassword, server.Location(path)});
  RunScript(server, "CONNECT '" + server.Location(path) + "';\n" + body, path);
  std::ofstream(stamp, std::ios::binary | std::ios::trunc) << recipe;
  std::printf("built %s: %.0f MB in %.0f s\n", path.c_str(), static_cast<double>(fs::file_size(path)) / 1e6,
              SecondsSince(start));
  return path;
}

}  // namespace

fs::path DataHeavyDatabase(const FirebirdServer& server) {
  std::string body = kSettingsTables;
  for (int t = 0; t < kDataTables; ++t) {
    const std::string table = "DADOS_" + std::to_string(t);
    body += "CREATE TABLE " + table +
            " (ID INTEGER NOT NULL PRIMARY KEY, CODIGO CHAR(36), NOME VARCHAR(120), DESCRICAO VARCHAR(200),"
            " VALOR NUMERIC(15,2), CRIADO TIMESTAMP);\n"
            "CREATE INDEX IX_" +
            table + "_NOME ON " + table + " (NOME);\nCOMMIT;\n";
    // Distinct text in every row: the record compression packs only runs of one byte.
    body += "SET TERM ^;\nEXECUTE BLOCK AS DECLARE I INTEGER = 0; BEGIN WHILE (I < " +
            std::to_string(kRowsPerDataTable) + ") DO BEGIN INSERT INTO " + table +
            " VALUES (:I, UUID_TO_CHAR(GEN_UUID()), 'Cliente ' || :I || ' ' || UUID_TO_CHAR(GEN_UUID()),"
            " UUID_TO_CHAR(GEN_UUID()) || ' ' || UUID_TO_CHAR(GEN_UUID()) || ' ' || UUID_TO_CHAR(GEN_UUID()),"
            " :I * 1.25, DATEADD(:I SECOND TO TIMESTAMP '2020-01-01 00:00:00')); I = I + 1; END END^\n"
            "SET TERM ;^\nCOMMIT;\n";
  }
  const std::string recipe = "data-heavy v2: " + std::to_string(kDataTables) + " tables x " +
                             std::to_string(kRowsPerDataTable) + " rows";
  return Database(server, "BENCH_DATA_HEAVY", recipe, body);
}

fs::path MetadataHeavyDatabase(const FirebirdServer& server) {
  std::string body = kSettingsTables;
  for (int first = 0; first < kMetadataTables; first += kTablesPerCommit) {
    const int last = std::min(kMetadataTables, first + kTablesPerCommit);
    for (int t = first; t < last; ++t) {
      body += "CREATE TABLE CADASTRO_" + std::to_string(t) +
              " (ID INTEGER NOT NULL PRIMARY KEY, NOME VARCHAR(60), VALOR NUMERIC(15,2), CRIADO DATE,"
              " ATIVO SMALLINT);\n";
    }
    body += "COMMIT;\n";
    for (int t = first; t < last; ++t) {
      for (int row = 0; row < kRowsPerMetadataTable; ++row) {
        body += "INSERT INTO CADASTRO_" + std::to_string(t) + " VALUES (" + std::to_string(row) + ", 'Item " +
                std::to_string(row) + "', " + std::to_string(row * 3) + ".50, '2024-01-01', 1);\n";
      }
    }
    body += "COMMIT;\n";
  }
  const std::string recipe = "metadata-heavy v2: " + std::to_string(kMetadataTables) + " tables x " +
                             std::to_string(kRowsPerMetadataTable) + " rows";
  return Database(server, "BENCH_METADATA_HEAVY", recipe, body);
}

void SetSettingsRow(const FirebirdServer& server, const fs::path& database, const std::string& time) {
  RunScript(
      server,
      "CONNECT '" + server.Location(database) + "';\nUPDATE SIS_BACKUP SET HR_BACKUP_1 = '" + time +
          "', HR_BACKUP_2 = NULL, HR_BACKUP_3 = NULL, HR_BACKUP_4 = NULL, TX_DIR_HDD = NULL, NR_DIAS = 0;\n"
          "COMMIT;\n",
      database);
}

}  // namespace bench
