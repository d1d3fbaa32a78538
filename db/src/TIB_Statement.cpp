#include "TIB_Statement.h"

#include <ibase.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstring>

#include "ClientLibrary.h"
#include "ComponentLists.h"
#include "ConnectionCore.h"
#include "Errors.h"
#include "Messages.h"
#include "ReportClientError.h"
#include "SqlDescriptor.h"
#include "SqlText.h"
#include "TIB_ConnectCharacteristics.h"
#include "TIB_Transaction.h"
#include "platform/Text.h"

namespace db {

namespace {

using platform::IsBlank;

constexpr unsigned char kStatementTypeItem = isc_info_sql_stmt_type;  // 21
constexpr short kStatementTypeItemsLength = 11;
constexpr short kStatementTypeReplyLength = 51;
constexpr short kAliasReplyLength = 32761;
// What isc_dsql_fetch returns after the last row; the client header has no name for it.
constexpr ISC_STATUS kNoMoreRows = 100;

std::atomic<unsigned long> g_statementNumbers{0};

std::string DescriptorName(const char* text, short length) {
  const std::size_t size = std::clamp<short>(length, 0, 32);
  return std::string(text, strnlen(text, size));
}

}  // namespace

TIB_Statement::TIB_Statement(std::string name)
    : TIB_Component(std::move(name)), objectNumber_(++g_statementNumbers) {}

TIB_Statement::~TIB_Statement() {
  EndInDestructor([this] { Unprepare(); });
  for (TIB_Transaction* transaction : joinedTransactions_)
    transaction->RemoveStatement(this);
  if (connection_ != nullptr) connection_->RemoveStatement(this);
}

void TIB_Statement::SetIB_Connection(ConnectionCore* connection) {
  if (connection == connection_) return;
  Unprepare();
  if (connection_ != nullptr) connection_->RemoveStatement(this);
  connection_ = connection;
  if (connection_ != nullptr) connection_->AddStatement(this);
}

void TIB_Statement::SetIB_Transaction(TIB_Transaction* transaction) {
  if (transaction == transaction_) return;
  if (cursorOpen_) CloseCursor();
  transaction_ = transaction;
  if (transaction_ != nullptr) UseTransaction(transaction_);
}

void TIB_Statement::UseTransaction(TIB_Transaction* transaction) {
  if (AddOnce(joinedTransactions_, transaction)) transaction->AddStatement(this);
}

void TIB_Statement::ForgetConnection(ConnectionCore* connection) {
  if (connection_ != connection) return;
  // The connection's handles are gone with it.
  handle_ = 0;
  prepared_ = false;
  cursorOpen_ = false;
  connection_ = nullptr;
}

void TIB_Statement::ForgetTransaction(TIB_Transaction* transaction) {
  RemoveFrom(joinedTransactions_, transaction);
  if (transaction_ == transaction) transaction_ = nullptr;
  if (cursorTransaction_ == transaction) {
    cursorTransaction_ = nullptr;
    cursorOpen_ = false;
  }
}

void TIB_Statement::SetSQL(TextLines lines) {
  if (lines == sql_) return;
  Unprepare();
  sql_ = std::move(lines);
}

ConnectionCore* TIB_Statement::ConnectionInUse() const {
  if (connection_ != nullptr) return connection_;
  if (transaction_ != nullptr && transaction_->IB_Connection() != nullptr)
    return transaction_->IB_Connection();
  return const_cast<TIB_Statement*>(this)->IB_Session().DefaultConnection();
}

TIB_Transaction* TIB_Statement::StatementTransaction() {
  if (transaction_ != nullptr) return transaction_;
  ConnectionCore* connection = ConnectionInUse();
  return connection != nullptr ? connection->DefaultTransaction() : nullptr;
}

bool TIB_Statement::IsNull(std::size_t column) const {
  return column >= rowNulls_.size() || rowNulls_[column] < 0;
}

std::string TIB_Statement::ColumnText(std::size_t column, bool trimFixed) const {
  if (IsNull(column) || column >= columns_.size()) return {};
  const OutputColumn& info = columns_[column];
  const std::vector<char>& data = rowData_[column];
  std::string text;
  switch (info.BaseType()) {
    case SQL_TEXT: {
      const std::size_t length =
          std::min<std::size_t>(static_cast<std::size_t>(std::max<short>(info.sqllen, 0)), data.size());
      text.assign(data.data(), length);
      if (trimFixed) {
        const std::size_t last = text.find_last_not_of(' ');
        text.erase(last == std::string::npos ? 0 : last + 1);
      }
      break;
    }
    case SQL_VARYING: {
      const std::size_t stored = static_cast<std::size_t>(
          ReplyInteger(reinterpret_cast<const unsigned char*>(data.data()), 2) & 0xFFFF);
      const std::size_t length = std::min(stored, data.size() - 2);
      text.assign(data.data() + 2, length);
      break;
    }
    case SQL_SHORT:
    case SQL_LONG:
    case SQL_INT64:
      return std::to_string(ColumnInteger(column));
    default:
      return {};
  }
  const std::size_t zero = text.find('\0');
  if (zero != std::string::npos) text.erase(zero);
  return text;
}

long long TIB_Statement::ColumnInteger(std::size_t column) const {
  if (IsNull(column) || column >= columns_.size()) return 0;
  const std::vector<char>& data = rowData_[column];
  switch (columns_[column].BaseType()) {
    case SQL_SHORT: {
      std::int16_t value;
      std::memcpy(&value, data.data(), sizeof value);
      return value;
    }
    case SQL_LONG: {
      std::int32_t value;
      std::memcpy(&value, data.data(), sizeof value);
      return value;
    }
    case SQL_INT64: {
      std::int64_t value;
      std::memcpy(&value, data.data(), sizeof value);
      return value;
    }
    default:
      return 0;
  }
}

void TIB_Statement::SetParamText(std::size_t index, const std::string& value) {
  InputParameter& parameter = params_.at(index);
  parameter.value = value;
  parameter.isNull = false;
}

void TIB_Statement::Prepare() {
  if (prepared_) return;
  ConnectionCore* connection = ConnectionInUse();
  if (connection == nullptr) throw EIB_StatementError(this, messages::TransactionWithoutConnection());
  if (!connection->Connected()) connection->Connect();
  if (!connection->Connected()) throw EIB_StatementError(this, messages::NoActiveTransaction());
  connection->AcquireStatementHandle(handle_);
  if (handle_ == 0) return;  // the allocation error was reported and suppressed
  dialect_ = connection->SQLDialect();

  TIB_Transaction* transaction = StatementTransaction();
  if (transaction == nullptr) throw EIB_StatementError(this, messages::NoActiveTransaction());
  UseTransaction(transaction);
  if (!transaction->EnsureStarted()) throw EIB_StatementError(this, messages::NoActiveTransaction());

  std::string joined;
  for (std::size_t i = 0; i < sql_.size(); ++i)
    joined += (i > 0 ? "\r\n" : "") + sql_[i];
  if (IsBlank(joined)) throw EIB_StatementError(this, messages::BlankStatement());
  const std::string processed = ProcessSQL(joined);
  sqltext::ParsedParameters parsed = sqltext::ParseParameters(processed);
  serverSQL_ = parsed.serverText;
  if (IsBlank(serverSQL_)) throw EIB_StatementError(this, messages::BlankServerStatement());

  TIB_Session& session = IB_Session();
  const ClientEntryPoints& client = Client();
  SqlDescriptor& output = session.OutputDescriptor();
  output.EnsureCapacity(
      static_cast<short>(std::max<std::size_t>(TIB_Session::kInitialOutputColumns, columns_.size())));
  const auto prepare = [&] {
    const ISC_STATUS r =
        client.isc_dsql_prepare(session.StatusVector(), transaction->HandleAddress(), &handle_, 0,
                                serverSQL_.c_str(), static_cast<unsigned short>(dialect_), output.Get());
    session.SetLastResult(r);
    return r;
  };
  ISC_STATUS result = prepare();
  if (result == isc_dsql_error) {
    parsed = sqltext::ParseParameters(processed);
    serverSQL_ = parsed.serverText;
    result = prepare();
  }
  if (result != 0) {
    prepared_ = false;
    ReportClientError(session, this);
    return;
  }
  if (output.Get()->sqld > output.Get()->sqln) {
    output.EnsureCapacity(output.Get()->sqld);
    result = client.isc_dsql_describe(session.StatusVector(), &handle_, static_cast<unsigned short>(dialect_),
                                      output.Get());
    session.SetLastResult(result);
    if (result != 0) {
      ReportClientError(session, this);
      return;
    }
  }
  CopyColumns(output);

  params_.clear();
  if (!parsed.names.empty()) {
    SqlDescriptor& input = session.InputDescriptor();
    input.EnsureCapacity(static_cast<short>(parsed.names.size()));
    const auto describeBind = [&] {
      const ISC_STATUS r = client.isc_dsql_describe_bind(session.StatusVector(), &handle_,
                                                         static_cast<unsigned short>(dialect_), input.Get());
      session.SetLastResult(r);
      return r;
    };
    result = describeBind();
    if (result == 0 && input.Get()->sqld > input.Get()->sqln) {
      input.EnsureCapacity(input.Get()->sqld);
      result = describeBind();
    }
    if (result != 0) {
      ReportClientError(session, this);
      return;
    }
    const XSQLDA* described = input.Get();
    for (short i = 0; i < described->sqld && i < described->sqln; ++i) {
      const XSQLVAR& var = described->sqlvar[i];
      InputParameter parameter;
      parameter.sqlsubtype = var.sqlsubtype;
      params_.push_back(parameter);
    }
    paramNulls_.assign(params_.size(), -1);
  }

  if (sqltext::IsSelect(processed)) {
    statementType_ =
        sqltext::HasForUpdate(processed) ? isc_info_sql_stmt_select_for_upd : isc_info_sql_stmt_select;
  } else {
    RequestStatementType();
  }
  if (statementType_ == isc_info_sql_stmt_select || statementType_ == isc_info_sql_stmt_select_for_upd) {
    const TIB_ConnectCharacteristics& characteristics = connection->Characteristics();
    if (!characteristics.firebirdVersion.empty() && characteristics.fbMajor > 1) RequestRelationAliases();
  }
  cursorName_ = MakeCursorName(connection->System().clock);
  AfterPrepare();
  prepared_ = true;
}

void TIB_Statement::CopyColumns(SqlDescriptor& described) {
  const XSQLDA* descriptor = described.Get();
  columns_.clear();
  for (short i = 0; i < descriptor->sqld && i < descriptor->sqln; ++i) {
    const XSQLVAR& var = descriptor->sqlvar[i];
    OutputColumn column;
    column.name = DescriptorName(var.sqlname, var.sqlname_length);
    column.aliasName = DescriptorName(var.aliasname, var.aliasname_length);
    column.relationName = DescriptorName(var.relname, var.relname_length);
    column.sqltype = var.sqltype;
    column.sqlscale = var.sqlscale;
    column.sqlsubtype = var.sqlsubtype;
    column.sqllen = var.sqllen;
    columns_.push_back(column);
  }
  rowData_.clear();
  for (const OutputColumn& column : columns_) {
    const std::size_t size = static_cast<std::size_t>(std::max<short>(column.sqllen, 0)) +
                             (column.BaseType() == SQL_VARYING ? 2 : 0) + 1;
    rowData_.emplace_back(size, '\0');
  }
  rowNulls_.assign(columns_.size(), -1);
}

void TIB_Statement::RequestStatementType() {
  TIB_Session& session = IB_Session();
  char items[kStatementTypeItemsLength] = {};
  items[0] = static_cast<char>(kStatementTypeItem);
  char reply[kStatementTypeReplyLength] = {};
  const ISC_STATUS result = Client().isc_dsql_sql_info(
      session.StatusVector(), &handle_, kStatementTypeItemsLength, items, kStatementTypeReplyLength, reply);
  session.SetLastResult(result);
  if (result != 0) {
    ReportClientError(session, this);
    return;
  }
  if (static_cast<unsigned char>(reply[0]) != kStatementTypeItem) {
    throw EIB_StatementError(this, messages::InvalidSqlInfo());
  }
  const std::size_t length =
      static_cast<std::size_t>(ReplyInteger(reinterpret_cast<unsigned char*>(reply + 1), 2) & 0xFFFF);
  if (length > 255) throw EIB_StatementError(this, messages::UnexpectedSqlInfoSize());
  statementType_ = static_cast<unsigned char>(reply[3]);
}

// The server answers with the relation alias of every output column. This program reads no column by
// its alias, so the answer is not kept; the request is still made, as the server has always seen it
// for a SELECT, and a refusal changes nothing.
void TIB_Statement::RequestRelationAliases() {
  const char items[] = {isc_info_sql_select, isc_info_sql_describe_vars, isc_info_sql_sqlda_seq,
                        isc_info_sql_relation_alias, isc_info_sql_describe_end};
  std::vector<char> reply(kAliasReplyLength, '\0');
  Client().isc_dsql_sql_info(IB_Session().StatusVector(), &handle_, sizeof(items), items, kAliasReplyLength,
                             reply.data());
}

std::string TIB_Statement::MakeCursorName(platform::Clock& clock) {
  const platform::TimePoint now = clock.Now();
  const auto milliseconds =
      std::chrono::duration_cast<std::chrono::milliseconds>(now.time_since_epoch()).count() % 1000;
  const platform::LocalDateTime local = clock.ToLocal(now);
  return "C" + std::to_string(objectNumber_) + std::to_string(milliseconds) + std::to_string(local.second) +
         std::to_string(local.minute) + std::to_string(IB_Session().NextCursorNumber());
}

SqlDescriptor& TIB_Statement::BindOutput() {
  SqlDescriptor& output = IB_Session().OutputDescriptor();
  XSQLDA* descriptor = output.HoldVariables(columns_.size());
  for (std::size_t i = 0; i < columns_.size(); ++i) {
    XSQLVAR& var = descriptor->sqlvar[i];
    const OutputColumn& column = columns_[i];
    // Always ask for the null indicator, so that every column reads the same way.
    var.sqltype = static_cast<short>(column.BaseType() | 1);
    var.sqlscale = column.sqlscale;
    var.sqlsubtype = column.sqlsubtype;
    var.sqllen = column.sqllen;
    var.sqldata = rowData_[i].data();
    var.sqlind = &rowNulls_[i];
  }
  return output;
}

SqlDescriptor& TIB_Statement::BindInput() {
  SqlDescriptor& input = IB_Session().InputDescriptor();
  XSQLDA* descriptor = input.HoldVariables(params_.size());
  for (std::size_t i = 0; i < params_.size(); ++i) {
    XSQLVAR& var = descriptor->sqlvar[i];
    InputParameter& parameter = params_[i];
    paramNulls_[i] = parameter.isNull ? -1 : 0;
    var.sqltype = SQL_TEXT | 1;
    var.sqlscale = 0;
    var.sqlsubtype = parameter.sqlsubtype;
    var.sqllen = static_cast<short>(std::min<std::size_t>(parameter.value.size(), 32767));
    var.sqldata = parameter.value.data();
    var.sqlind = &paramNulls_[i];
  }
  return input;
}

void TIB_Statement::Execute() {
  if (!prepared_) {
    Prepare();
    if (!prepared_) return;
  }
  // Checked before the call: the server would refuse to reopen the cursor anyway.
  if (cursorOpen_) throw EIB_DatasetError(this, messages::CursorStillOpen());
  TIB_Transaction* transaction = StatementTransaction();
  if (transaction == nullptr || !transaction->EnsureStarted()) {
    throw EIB_StatementError(this, messages::NoActiveTransaction());
  }
  TIB_Session& session = IB_Session();
  const ClientEntryPoints& client = Client();
  XSQLDA* input = params_.empty() ? nullptr : BindInput().Get();
  ISC_STATUS result = client.isc_dsql_execute(session.StatusVector(), transaction->HandleAddress(), &handle_,
                                              static_cast<unsigned short>(dialect_), input);
  session.SetLastResult(result);
  if (result != 0) {
    ReportClientError(session, this);
    return;
  }
  if (statementType_ != isc_info_sql_stmt_select && statementType_ != isc_info_sql_stmt_select_for_upd)
    return;
  result = client.isc_dsql_set_cursor_name(session.StatusVector(), &handle_, cursorName_.c_str(), 0);
  session.SetLastResult(result);
  if (result != 0) {
    // The server opened the cursor with the execute; close it so that the statement can run again.
    if (client.isc_dsql_free_statement != nullptr) {
      ISC_STATUS ignored[20] = {};
      client.isc_dsql_free_statement(ignored, &handle_, DSQL_close);
    }
    ReportClientError(session, this);
    return;
  }
  cursorOpen_ = true;
  cursorTransaction_ = transaction;
}

bool TIB_Statement::FetchNext() {
  if (!cursorOpen_) return false;
  TIB_Session& session = IB_Session();
  XSQLDA* output = BindOutput().Get();
  const ISC_STATUS result = Client().isc_dsql_fetch(session.StatusVector(), &handle_,
                                                    static_cast<unsigned short>(dialect_), output);
  session.SetLastResult(result);
  if (result == 0) return true;
  std::fill(rowNulls_.begin(), rowNulls_.end(), -1);
  if (result == kNoMoreRows) return false;
  ReportClientError(session, this);
  return false;
}

void TIB_Statement::CloseCursor() {
  if (!cursorOpen_) return;
  if (handle_ != 0 && handle_ != kNoServerStatement && Client().isc_dsql_free_statement != nullptr) {
    TIB_Session& session = IB_Session();
    session.SetLastResult(Client().isc_dsql_free_statement(session.StatusVector(), &handle_, DSQL_close));
  }
  cursorOpen_ = false;
  cursorTransaction_ = nullptr;
}

void TIB_Statement::Unprepare() {
  CloseCursor();
  if (handle_ != 0) {
    if (ConnectionCore* connection = ConnectionInUse()) {
      connection->ReleaseStatementHandle(handle_);
    }
    handle_ = 0;
  }
  prepared_ = false;
}

}  // namespace db
