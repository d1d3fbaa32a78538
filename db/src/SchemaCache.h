#pragma once

// What the buffered cursors need to know about the database's tables, read from the system tables
// on first need, once per attachment, and shared by every statement of the connection; and the
// parameter-order test made after every attach.

#include <memory>
#include <set>
#include <string>
#include <vector>

#include "ConnectionCore.h"
#include "Errors.h"

namespace db {

class TIB_SchemaCursor;
class TIB_TransactionInternal;

class SchemaCache : public ConnectionSchema {
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

  explicit SchemaCache(ConnectionCore& connection);
  ~SchemaCache() override;
  SchemaCache(const SchemaCache&) = delete;
  SchemaCache& operator=(const SchemaCache&) = delete;

  TIB_Transaction& Transaction() override;

  // Prepares the test statement on a database of ODS 10 or later (see the source).
  void DetectParameterOrder() override;

  // The statement lines of each catalogue read.
  static const TextLines& StatementLines(List list);

  const std::vector<std::string>& ProcedureNames() override;
  // One entry per table: "TABLE=COL1,COL2".
  const std::vector<std::string>& TableKeys();
  std::vector<std::string> KeyColumnsOf(const std::string& table) override;

  // What a buffered cursor asks about each NOT NULL column of its result: whether the column is
  // computed and, when it is not, whether it is a primary or foreign key column and has a default.
  // Those answers decide which columns an edit must fill in; this program only reads, so it keeps
  // none of them but the computed columns, which decide whether the other three lists are read.
  // The lists are read as the server has always seen them: each once per attachment, on first need.
  void LookUpNotNullColumn(const std::string& column, const std::string& table) override;

  void Invalidate() override;

 private:
  std::vector<std::vector<std::string>> Read(List list);

  ConnectionCore& connection_;
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
