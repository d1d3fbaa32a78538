#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "core/ServerLogin.h"

namespace core {

// The backup settings row as the application database holds it; its texts are code page 1252.
struct SettingsRow {
  std::array<std::string, 4> scheduleTimes;  // HR_BACKUP_1 to HR_BACKUP_4
  std::string copyFolder;                    // TX_DIR_HDD
  std::int32_t retentionDays = 0;            // NR_DIAS
  // The database's pages times its page size, as the connection found them when it read the row; 0 when
  // it could not tell. Not a column: it spares a backup sent to the program an attachment of its own.
  std::int64_t databaseBytes = 0;
};

// Why an attempt to attach to the application database failed.
enum class AttachFailure {
  AddressNotFound,    // the server's name has no address
  ServerUnreachable,  // the server is down or not listening, or the network failed on the way
  LoginRefused,       // the server refused the user name and password
  Other,              // anything else: no such database, no rights, ...
};

struct AttachError {
  AttachFailure failure = AttachFailure::Other;
  // The server's own words, one per line (code page 1252).
  std::vector<std::string> serverLines;
};

// Where the settings row comes from: one connection to the application database, made and closed again
// for each reading.
class SettingsSource {
 public:
  // Whoever reads the row hears how the attempts go, and decides whether another one is made.
  class Attempts {
   public:
    virtual ~Attempts() = default;
    // Attached; the row is read next. The database's name as the connection reports it.
    virtual void Attached(const std::string& databaseName) = 0;
    // An attempt to attach failed. True makes another attempt at once, from inside this one, so that a
    // chain of attempts reads the row once, in its last attempt; false gives up.
    virtual bool AttemptFailed(const AttachError& error) = 0;
  };

  virtual ~SettingsSource() = default;
  // Attaches to the database at location (server name, ":", path, as the server spells it) with the
  // login, reads the settings row and detaches; the password is forgotten again. Without a row the texts
  // are empty and the days 0. nullopt when the attempts gave up. An error after attaching (the query's)
  // or before any attempt (no client library) throws, its text in code page 1252, and the connection is
  // closed again.
  virtual std::optional<SettingsRow> ReadRow(const std::string& location, const LoginChoice& login,
                                             Attempts& attempts) = 0;
};

}  // namespace core
