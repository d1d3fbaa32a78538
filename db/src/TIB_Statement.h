#pragma once

// One SQL statement on a connection: it takes a statement handle from the connection's cache,
// starts its transaction, has the server prepare its text with the database's dialect, executes it,
// names and fetches its cursor and closes it again.

#include <string>
#include <vector>

#include "ConnectionCore.h"
#include "TIB_Component.h"
#include "TIB_Transaction.h"
#include "fbclient/ClientTypes.h"

namespace db {

class SqlDescriptor;

struct OutputColumn {
  std::string name;       // column name
  std::string aliasName;  // name in the select list
  std::string relationName;
  short sqltype = 0;
  short sqlscale = 0;
  short sqlsubtype = 0;
  short sqllen = 0;

  bool Nullable() const { return (sqltype & 1) != 0; }
  short BaseType() const { return static_cast<short>(sqltype & ~1); }
};

struct InputParameter {
  short sqlsubtype = 0;  // the character set of a text parameter
  bool isNull = true;
  std::string value;  // sent as text; the server converts it
};

class TIB_Statement : public TIB_Component, public ConnectionStatement, public TransactionStatement {
 public:
  static constexpr fbclient::Handle kNoServerStatement = static_cast<fbclient::Handle>(-1);

  explicit TIB_Statement(std::string name = {});
  ~TIB_Statement() override;

  ConnectionCore* IB_Connection() const { return connection_; }
  void SetIB_Connection(ConnectionCore* connection);
  void SetIB_Transaction(TIB_Transaction* transaction);
  // Called by a connection or transaction that goes away.
  void ForgetConnection(ConnectionCore* connection) override;
  void ForgetTransaction(TIB_Transaction* transaction) override;

  const TextLines& SQL() const { return sql_; }
  // A new text unprepares the statement.
  void SetSQL(TextLines lines);

  void Prepare();
  bool Prepared() const { return prepared_; }
  void Execute();
  // True when a row was fetched; false at the end.
  bool FetchNext();
  void CloseCursor() override;
  bool CursorOpen() const override { return cursorOpen_; }
  // Gives the handle back to the connection's cache.
  void Unprepare() override;

  int StatementType() const { return statementType_; }
  const std::string& ServerSQL() const { return serverSQL_; }
  fbclient::Handle Handle() const { return handle_; }

  const std::vector<OutputColumn>& Columns() const { return columns_; }
  bool IsNull(std::size_t column) const;

  // A text column as text: fixed-length text without its trailing blanks (when trimFixed), variable
  // text exactly, both cut at a zero byte; integers in decimal; NULL as empty text.
  std::string ColumnText(std::size_t column, bool trimFixed = true) const;
  // An integer column's value; NULL and other types read 0.
  long long ColumnInteger(std::size_t column) const;

  std::vector<InputParameter>& Params() { return params_; }
  void SetParamText(std::size_t index, const std::string& value);

 protected:
  // The transaction the statement runs in: its own, else the connection's default.
  virtual TIB_Transaction* StatementTransaction();
  // Hooks of the prepare: the text before parameters are parsed, and the step after the server
  // described the statement.
  virtual std::string ProcessSQL(const std::string& joined) { return joined; }
  virtual void AfterPrepare() {}
  ConnectionCore* ConnectionInUse() const;

 private:
  void RequestStatementType();
  void RequestRelationAliases();
  std::string MakeCursorName(platform::Clock& clock);
  void CopyColumns(SqlDescriptor& described);
  // The session's descriptors pointed at the row buffer and at the parameter values.
  SqlDescriptor& BindOutput();
  SqlDescriptor& BindInput();
  void UseTransaction(TIB_Transaction* transaction);

  ConnectionCore* connection_ = nullptr;
  TIB_Transaction* transaction_ = nullptr;
  std::vector<TIB_Transaction*> joinedTransactions_;
  TIB_Transaction* cursorTransaction_ = nullptr;
  TextLines sql_;
  std::string serverSQL_;
  std::string cursorName_;
  fbclient::Handle handle_ = 0;
  int dialect_ = 3;
  bool prepared_ = false;
  bool cursorOpen_ = false;
  int statementType_ = 0;
  unsigned long objectNumber_;
  std::vector<OutputColumn> columns_;
  std::vector<InputParameter> params_;
  std::vector<std::vector<char>> rowData_;
  std::vector<short> rowNulls_;
  std::vector<short> paramNulls_;
};

}  // namespace db
