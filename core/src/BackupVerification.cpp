#include "core/BackupVerification.h"

#include <exception>
#include <functional>

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

}  // namespace

BackupVerification::BackupVerification(const BackupSettings& settings, const BackupNames& names,
                                       const Credentials& credentials, BackupServer& server,
                                       DatabaseProbe& probe, platform::Files& files)
    : settings_(settings),
      names_(names),
      credentials_(credentials),
      server_(server),
      probe_(probe),
      files_(files) {}

std::string BackupVerification::Location(const std::string& path) const {
  return ServerText(names_.serverName + ":" + path, settings_.serverSystem);
}

std::string BackupVerification::Run(const BackupServer::LineRead& lineRead) {
  // One left by a check that was cut off would make the restore refuse to create it.
  DropScratchDatabase();
  const ScratchDatabaseDropped dropped([this] { DropScratchDatabase(); });
  try {
    server_.Restore(credentials_.service, ServerText(names_.serverName, settings_.serverSystem),
                    ServerText(names_.serverTarget, settings_.serverSystem),
                    ServerText(names_.scratchDatabase, settings_.serverSystem), lineRead);
  } catch (const std::exception& error) {
    return "a restauração falhou: " + OneLine(error.what());
  }
  int restoredTables = 0;
  try {
    // The scratch database belongs to the services manager's user, who restored it.
    restoredTables = probe_.CountUserTables(Location(names_.scratchDatabase), credentials_.service);
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
    probe_.DropDatabase(Location(names_.scratchDatabase), credentials_.service);
  } catch (const std::exception&) {
    // None there, or one the server cannot open: the file itself goes below.
  }
  if (files_.Stamp(names_.localScratchDatabase)) files_.RemoveFile(names_.localScratchDatabase);
}

}  // namespace core
