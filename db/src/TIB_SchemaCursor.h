#pragma once

#include "TIB_Statement.h"

namespace db {

// A statement on the system tables; it always runs in the schema cache's internal read-only
// transaction and defines no key columns.
class TIB_SchemaCursor : public TIB_Statement {
 public:
  explicit TIB_SchemaCursor(ConnectionCore& connection, std::string name = {});

  // Prepares, executes and fetches every row; each row holds the columns as text, trailing blanks
  // removed. The cursor is closed afterwards; the statement stays prepared.
  std::vector<std::vector<std::string>> ReadAll();

 protected:
  TIB_Transaction* StatementTransaction() override;
};

}  // namespace db
