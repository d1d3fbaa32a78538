#pragma once

// What the buffered cursors need to know about the database's tables, read from the system tables
// on first need, once per attachment, and shared by every statement of the connection.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "Errors.h"

namespace db {

class TIB_Connection;
class TIB_SchemaCursor;
class TIB_TransactionInternal;

class SchemaCache {
 public:
  enum List {
    kProcedures = 1,
    kTableKeys = 2,
    kTableKey = 3,
    kComputed = 4,
    kPrimaryKeys = 5,
    kForeignKeys = 6,
    kDefaults = 7
  };

  explicit SchemaCache(TIB_Connection& connection);
  ~SchemaCache();
  SchemaCache(const SchemaCache&) = delete;
  SchemaCache& operator=(const SchemaCache&) = delete;

  TIB_TransactionInternal& Transaction() { return *transaction_; }

  // The statement lines of each catalogue read.
  static const TextLines& StatementLines(List list);

  const std::vector<std::string>& ProcedureNames();
  // One entry per table: "TABLE=COL1,COL2".
  const std::vector<std::string>& TableKeys();
  // The key columns of a table, from the table-keys list or, for a table not in it, by reading its
  // key alone and adding the result to the list.
  std::vector<std::string> KeyColumnsOf(const std::string& table);

  // What a buffered cursor asks about each NOT NULL column of its result: whether the column is
  // computed and, when it is not, whether it is a primary or foreign key column and has a default.
  // Those answers decide which columns an edit must fill in; this program only reads, so it keeps
  // none of them but the computed columns, which decide whether the other three lists are read.
  // The lists are read as the server has always seen them: each once per attachment, on first need.
  void LookUpNotNullColumn(const std::string& column, const std::string& table);

  // Forgets every list; they are read again on next need.
  void Invalidate();

 private:
  std::vector<std::vector<std::string>> Read(List list);

  TIB_Connection& connection_;
  std::unique_ptr<TIB_TransactionInternal> transaction_;
  std::unique_ptr<TIB_SchemaCursor> keyCursor_;
  std::vector<std::string> procedures_;
  std::vector<std::string> tableKeys_;
  std::set<std::string> computed_;  // "COLUMN,TABLE"
  bool proceduresLoaded_ = false;
  bool tableKeysLoaded_ = false;
  bool computedLoaded_ = false;
  std::set<List> read_;  // the lists read for their server's sake alone
};

}  // namespace db
