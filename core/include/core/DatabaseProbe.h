#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "core/ServerLogin.h"

namespace core {

// What the check of a backup asks of a database on the server, given by its location (server name,
// ":", path, as the server spells it), attached with the login given. A failure throws, its text in code
// page 1252.
class DatabaseProbe {
 public:
  virtual ~DatabaseProbe() = default;
  // The tables and views the database holds of its own, the server's system tables left out.
  virtual int CountUserTables(const std::string& location, const LoginChoice& login) = 0;
  // The rows each of the named tables holds, by name (code page 1252, as a backup's lines name them). A
  // table the database does not have is a failure.
  virtual std::map<std::string, std::int64_t> CountRows(const std::string& location, const LoginChoice& login,
                                                        const std::vector<std::string>& tables) = 0;
  // The database's size on the server's disk: its pages times its page size.
  virtual std::int64_t DatabaseBytes(const std::string& location, const LoginChoice& login) = 0;
  // Deletes the database on its server.
  virtual void DropDatabase(const std::string& location, const LoginChoice& login) = 0;
};

}  // namespace core
