#include "core/BackupVerification.h"

#include <exception>
#include <functional>
#include <map>
#include <vector>

#include "core/TextEncoding.h"
#include "platform/Cp1252.h"

namespace core {
namespace {

// An error's text (code page 1252 from the server and the database side) as one UTF-8 line.
std::string OneLine(const char* cp1252Text) {
  std::string line;
  for (const char* c = cp1252Text; *c != '\0'; ++c) {
    if (*c == '\r') continue;
    line += *c == '\n' ? std::string("; ") : std::string(1, *c);
  }
  return cp1252::ToUtf8(line);
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

// The scratch database in the server's folder for it: the file name it has beside a backup, in the
// separator the folder is written with.
std::string InVerificationFolder(const std::string& folder, const std::string& scratchDatabase) {
  const std::string name = scratchDatabase.substr(scratchDatabase.find_last_of("/\\") + 1);
  const char separator = folder.find('\\') != std::string::npos ? '\\' : '/';
  return folder.ends_with(separator) ? folder + name : folder + separator + name;
}

}  // namespace

BackupVerification::BackupVerification(const BackupSettings& settings, const BackupNames& names,
                                       const Credentials& credentials, const BackupTally& tally,
                                       BackupServer& server, DatabaseProbe& probe, platform::Files& files)
    : settings_(settings),
      names_(names),
      credentials_(credentials),
      tally_(tally),
      server_(server),
      probe_(probe),
      files_(files) {
  if (settings.transferBackup) {
    if (!settings.verificationFolder.empty())
      scratchDatabase_ = InVerificationFolder(settings.verificationFolder, names.scratchDatabase);
  } else {
    scratchDatabase_ = names.scratchDatabase;
    localScratchDatabase_ = names.localScratchDatabase;
  }
}

std::string BackupVerification::Location(const std::string& path) const {
  return ServerText(names_.serverName + ":" + path, settings_.serverSystem);
}

std::string BackupVerification::FileProblem() const {
  const std::optional<std::int64_t> written = tally_.BytesWritten();
  if (!written) return "a saída do backup não informa quantos bytes ele gravou";
  // A server elsewhere writes where this machine does not look; its restore still reads the file.
  const std::optional<platform::FileStamp> file = files_.Stamp(names_.localBackupName);
  if (!file || file->size == *written) return {};
  return "o arquivo tem " + std::to_string(file->size) + " bytes e o backup gravou " +
         std::to_string(*written);
}

std::string BackupVerification::RowsProblem() {
  std::vector<std::string> tables;
  for (const auto& [table, rows] : tally_.RowsWritten())
    tables.push_back(table);
  if (tables.empty()) return "a saída do backup não informa as linhas que ele gravou";
  std::map<std::string, std::int64_t> restored;
  try {
    restored = probe_.CountRows(Location(scratchDatabase_), credentials_.service, tables);
  } catch (const std::exception& error) {
    return "a base restaurada não abre: " + OneLine(error.what());
  }
  for (const auto& [table, rows] : tally_.RowsWritten()) {
    const auto found = restored.find(table);
    const std::int64_t held = found == restored.end() ? 0 : found->second;
    if (held != rows) {
      return "a tabela " + cp1252::ToUtf8(table) + " tem " + std::to_string(held) +
             " linhas na base restaurada e o backup gravou " + std::to_string(rows);
    }
  }
  return {};
}

void BackupVerification::Restore(const BackupServer::LineRead& lineRead) {
  const std::string serverName = ServerText(names_.serverName, settings_.serverSystem);
  const std::string scratch = ServerText(scratchDatabase_, settings_.serverSystem);
  if (!settings_.transferBackup) {
    server_.Restore(credentials_.service, serverName, ServerText(names_.serverTarget, settings_.serverSystem),
                    scratch, lineRead);
    return;
  }
  const std::unique_ptr<platform::FileBeingRead> backup = files_.OpenForReading(names_.localBackupName);
  server_.RestoreFromProgram(
      credentials_.service, serverName,
      [&](char* buffer, std::size_t size) { return backup->Read(buffer, size); }, scratch, lineRead);
}

std::string BackupVerification::Run(const BackupServer::LineRead& lineRead) {
  if (scratchDatabase_.empty())
    return "falta em [Backup] a PastaVerificacao, a pasta do servidor onde restaurá-lo";
  // A backup sent to the program has no verbose lines of the server's: what it holds is shown by its
  // restore from the program's file and the tables the restored database holds.
  if (!settings_.transferBackup) {
    if (std::string problem = FileProblem(); !problem.empty()) return problem;
  }
  // One left by a check that was cut off would make the restore refuse to create it. Where this machine
  // sees it, it goes by its name alone: attached to, a link in its place would take the database it points
  // at along. In the server's own folder for it, only the server can remove it.
  if (!localScratchDatabase_.empty()) {
    if (files_.Stamp(localScratchDatabase_)) files_.RemoveFile(localScratchDatabase_);
  } else {
    DropScratchDatabase();
  }
  const ScratchDatabaseDropped dropped([this] { DropScratchDatabase(); });
  try {
    Restore(lineRead);
  } catch (const std::exception& error) {
    return "a restauração falhou: " + OneLine(error.what());
  }
  // The rows first: a trigger of the database's own on connecting or disconnecting may write rows into the
  // restored database with every attachment after its restore.
  if (!settings_.transferBackup) {
    if (std::string problem = RowsProblem(); !problem.empty()) return problem;
  }
  int restoredTables = 0;
  try {
    // The scratch database belongs to the services manager's user, who restored it.
    restoredTables = probe_.CountUserTables(Location(scratchDatabase_), credentials_.service);
  } catch (const std::exception& error) {
    return "a base restaurada não abre: " + OneLine(error.what());
  }
  int sourceTables = 0;
  try {
    // The source is opened as the settings row is.
    sourceTables = probe_.CountUserTables(Location(names_.databasePath), credentials_.database);
  } catch (const std::exception& error) {
    return "a base de origem não abre para a comparação: " + OneLine(error.what());
  }
  if (restoredTables != sourceTables) {
    return "a base restaurada tem " + std::to_string(restoredTables) +
           (restoredTables == 1 ? " tabela" : " tabelas") + " e a de origem " + std::to_string(sourceTables);
  }
  return {};
}

void BackupVerification::DropScratchDatabase() {
  try {
    probe_.DropDatabase(Location(scratchDatabase_), credentials_.service);
  } catch (const std::exception&) {
    // None there, or one the server cannot open: the file itself goes below.
  }
  if (!localScratchDatabase_.empty() && files_.Stamp(localScratchDatabase_))
    files_.RemoveFile(localScratchDatabase_);
}

}  // namespace core
