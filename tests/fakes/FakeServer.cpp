#include "tests/fakes/FakeServer.h"

#include <algorithm>
#include <fstream>
#include <stdexcept>

namespace fakes {
namespace {

std::string Shown(const char* what, const core::LoginChoice& login) {
  return std::string(what) + " " +
         (login ? login->user + "/" + std::string(login->password.View()) : std::string("built-in"));
}

}  // namespace

void FakeServer::Backup(const core::LoginChoice& login, const std::string& serverName,
                        const std::string& databasePath, const std::string& backupFile,
                        const LineRead& lineRead) {
  logins.push_back(Shown("backup", login));
  calls.push_back({"backup", serverName, databasePath, backupFile});
  const auto failAt = [&](int lines, core::ServerStage stage) {
    if (backupFailure && backupFailure->afterLines == lines)
      throw core::ServerFailure(backupFailure->cp1252Text, stage, backupFailure->backupFileNotWritable);
  };
  failAt(-1, core::ServerStage::NotStarted);
  std::ofstream(backupFile, std::ios::binary | std::ios::trunc) << backupBytes;
  const auto source = tables.find(serverName + ":" + databasePath);
  backups[backupFile] = source == tables.end() ? 0 : source->second;
  int read = 0;
  for (const std::string& line : backupLines) {
    failAt(read++, core::ServerStage::Started);
    lineRead(line);
  }
  failAt(read++, core::ServerStage::Started);
  lineRead("");
  failAt(read, core::ServerStage::OutputEnded);
}

void FakeServer::BackupWithoutLines(const core::LoginChoice& login, const std::string& serverName,
                                    const std::string& databasePath, const std::string& backupFile,
                                    const StillWriting& stillWriting) {
  logins.push_back(Shown("backup", login));
  calls.push_back({"backup without lines", serverName, databasePath, backupFile});
  std::ofstream file(backupFile, std::ios::binary | std::ios::trunc);
  for (std::size_t at = 0; at < backupBytes.size(); at += pieceBytes) {
    if (at > 0) stillWriting();
    file << std::string_view(backupBytes).substr(at, pieceBytes) << std::flush;
  }
}

void FakeServer::Restore(const core::LoginChoice& login, const std::string& serverName,
                         const std::string& backupFile, const std::string& database,
                         const LineRead& lineRead) {
  logins.push_back(Shown("restore", login));
  calls.push_back({"restore", serverName, backupFile, database});
  if (restoreFailure) throw core::ServerFailure(*restoreFailure, core::ServerStage::NotStarted);
  for (const std::string& line : restoreLines)
    lineRead(line);
  lineRead("");
  tables[serverName + ":" + database] = backups[backupFile];
}

void FakeServer::BackupToProgram(const core::LoginChoice& login, const std::string& serverName,
                                 const std::string& databasePath, const DataRead& dataRead) {
  logins.push_back(Shown("backup", login));
  calls.push_back({"backup to program", serverName, databasePath, {}});
  const auto failAt = [&](int pieces, core::ServerStage stage) {
    if (backupFailure && backupFailure->afterLines == pieces)
      throw core::ServerFailure(backupFailure->cp1252Text, stage, backupFailure->backupFileNotWritable);
  };
  failAt(-1, core::ServerStage::NotStarted);
  const auto source = tables.find(serverName + ":" + databasePath);
  sentBackups[backupBytes] = source == tables.end() ? 0 : source->second;
  int sent = 0;
  for (std::size_t at = 0; at < backupBytes.size(); at += pieceBytes) {
    failAt(sent++, core::ServerStage::Started);
    dataRead(std::string_view(backupBytes).substr(at, pieceBytes));
    if (onPiece) onPiece(static_cast<std::size_t>(sent));
  }
  failAt(sent, core::ServerStage::OutputEnded);
}

void FakeServer::RestoreFromProgram(const core::LoginChoice& login, const std::string& serverName,
                                    const DataWanted& dataWanted, const std::string& database,
                                    const LineRead& lineRead) {
  logins.push_back(Shown("restore", login));
  calls.push_back({"restore from program", serverName, {}, database});
  if (restoreFailure) throw core::ServerFailure(*restoreFailure, core::ServerStage::NotStarted);
  std::string fed;
  char buffer[3];
  while (const std::size_t filled = dataWanted(buffer, sizeof buffer))
    fed.append(buffer, filled);
  for (const std::string& line : restoreLines)
    lineRead(line);
  lineRead("");
  const auto sent = sentBackups.find(fed);
  tables[serverName + ":" + database] = sent == sentBackups.end() ? 0 : sent->second;
}

std::optional<core::SettingsRow> FakeServer::ReadRow(const std::string& location,
                                                     const core::LoginChoice& login, Attempts& attempts) {
  logins.push_back(Shown("row", login));
  locationsRead.push_back(location);
  if (noClientLibrary) throw std::runtime_error(*noClientLibrary);
  return Attempt(location, attempts);
}

std::optional<core::SettingsRow> FakeServer::Attempt(const std::string& location, Attempts& attempts) {
  const auto failed = static_cast<std::size_t>(attemptsMade++);
  if (onAttempt) onAttempt(attemptsMade);
  if (!attachFailures.empty() && (failed < attachFailures.size() || failForever)) {
    const core::AttachError& error = attachFailures[std::min(failed, attachFailures.size() - 1)];
    // The next attempt runs inside this one, as the connection's error event makes it.
    if (attempts.AttemptFailed(error)) return Attempt(location, attempts);
    return std::nullopt;
  }
  attempts.Attached(location);
  if (queryError) throw std::runtime_error(*queryError);
  return row;
}

int FakeServer::CountUserTables(const std::string& location, const core::LoginChoice& login) {
  logins.push_back(Shown("count", login));
  const auto found = tables.find(location);
  if (found == tables.end() || unopenable.contains(location))
    throw std::runtime_error("I/O error during \"open\" operation for file");
  return found->second;
}

std::map<std::string, std::int64_t> FakeServer::CountRows(const std::string& location,
                                                          const core::LoginChoice& login,
                                                          const std::vector<std::string>& tables) {
  logins.push_back(Shown("rows", login));
  if (!this->tables.contains(location) || unopenable.contains(location))
    throw std::runtime_error("I/O error during \"open\" operation for file");
  std::map<std::string, std::int64_t> rows;
  for (const std::string& table : tables) {
    const auto found = rowsRestored.find(table);
    if (found == rowsRestored.end()) throw std::runtime_error("Table unknown; " + table);
    rows[table] = found->second;
  }
  return rows;
}

std::int64_t FakeServer::DatabaseBytes(const std::string& location, const core::LoginChoice& login) {
  logins.push_back(Shown("size", login));
  if (databaseBytes < 0 || !tables.contains(location)) throw std::runtime_error("cannot read the size");
  return databaseBytes;
}

void FakeServer::DropDatabase(const std::string& location, const core::LoginChoice& login) {
  logins.push_back(Shown("drop", login));
  drops.push_back(location);
  if (tables.erase(location) == 0) throw std::runtime_error("no such database");
}

}  // namespace fakes
