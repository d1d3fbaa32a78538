#pragma once

#include <string>

#include "db/TIB_Database.h"

namespace db {

// The connection component of the main window.
class TIBODatabase : public TIB_Database {
 public:
  explicit TIBODatabase(std::string name = {}) : TIB_Database(std::move(name)) {
    SetPasswordStorage(PasswordStorageMode::psNotSecure);
  }
};

}  // namespace db
