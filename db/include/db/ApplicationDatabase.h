#pragma once

#include <memory>
#include <optional>
#include <string>

#include "core/DatabaseProbe.h"
#include "core/SettingsSource.h"
#include "db/ConnectionSystem.h"

namespace db {

class BackupSettingsSource;

// The application database as the program's core asks it: the settings row through the main window's
// connection, transaction and query, and the probe of a backup's check over connections made with the
// same settings. The client library's and the server's errors come out as the ports tell them. Its
// connections ask the system only through the one it is handed, which must outlive it.
class ApplicationDatabase : public core::SettingsSource, public core::DatabaseProbe {
 public:
  explicit ApplicationDatabase(const ConnectionSystem& system);
  ~ApplicationDatabase() override;
  ApplicationDatabase(const ApplicationDatabase&) = delete;
  ApplicationDatabase& operator=(const ApplicationDatabase&) = delete;

  std::optional<core::SettingsRow> ReadRow(const std::string& location, const core::LoginChoice& login,
                                           Attempts& attempts) override;
  int CountUserTables(const std::string& location, const core::LoginChoice& login) override;
  std::map<std::string, std::int64_t> CountRows(const std::string& location, const core::LoginChoice& login,
                                                const std::vector<std::string>& tables) override;
  std::int64_t DatabaseBytes(const std::string& location, const core::LoginChoice& login) override;
  void DropDatabase(const std::string& location, const core::LoginChoice& login) override;

 private:
  ConnectionSystem system_;
  std::unique_ptr<BackupSettingsSource> source_;
};

}  // namespace db
