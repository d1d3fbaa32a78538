#include "TIB_Transaction.h"

#include <ibase.h>

#include <algorithm>
#include <cstddef>

#include "ClientLibrary.h"
#include "ComponentLists.h"
#include "ConnectionCore.h"
#include "Errors.h"
#include "Messages.h"
#include "ReportClientError.h"
#include "platform/FlagGuard.h"

namespace db {

namespace {

using platform::FlagGuard;

// The native layout the client library expects for each connection of a start: its length is an int,
// and each pointer on a boundary of its own size (Linux's 64-bit long and Windows' 32-bit one both fit).
struct TransactionExistenceBlock {
  isc_db_handle* database;
  int tpbLength;
  char* tpb;
};
static_assert(offsetof(TransactionExistenceBlock, tpb) == 2 * sizeof(void*));

bool IsConnectionLoss(ISC_STATUS code) {
  return code == isc_shutdown || code == isc_conn_lost || code == isc_network_error;
}

// Between two attempts of a start, so that the retry does not spin.
constexpr std::chrono::milliseconds kStartRetryPause{20};

}  // namespace

TIB_Transaction::TIB_Transaction(std::string name) : TIB_Component(std::move(name)) {}

TIB_Transaction::~TIB_Transaction() {
  // When the end fails, the server ends the transaction with the attachment.
  EndInDestructor([this] { EndTransaction(); });
  for (TransactionStatement* statement : std::vector<TransactionStatement*>(statements_))
    statement->ForgetTransaction(this);
  for (ConnectionCore* connection : connections_)
    connection->RemoveTransaction(this);
}

void TIB_Transaction::SetInitialSettings(TIB_Isolation isolation, bool autoCommit, bool readOnly) {
  isolation_ = isolation;
  autoCommit_ = autoCommit;
  readOnly_ = readOnly;
}

void TIB_Transaction::SetIB_Connection(ConnectionCore* connection) {
  for (ConnectionCore* old : connections_)
    old->RemoveTransaction(this);
  connections_.clear();
  if (connection != nullptr) AddConnection(connection);
}

void TIB_Transaction::AddConnection(ConnectionCore* connection) {
  if (AddOnce(connections_, connection)) connection->AddTransaction(this);
}

void TIB_Transaction::ForgetConnection(ConnectionCore* connection) {
  RemoveFrom(connections_, connection);
}

template <class Value>
void TIB_Transaction::ChangeStartSetting(Value& setting, Value value, const char* property) {
  if (value == setting) return;
  if (Started()) throw EIB_TransactionError(this, messages::CannotChangeStarted(property));
  setting = value;
}

void TIB_Transaction::SetIsolation(TIB_Isolation isolation) {
  ChangeStartSetting(isolation_, isolation, "Isolation");
}

void TIB_Transaction::SetRecVersion(bool value) {
  ChangeStartSetting(recVersion_, value, "RecVersion");
}

void TIB_Transaction::SetReadOnly(bool value) {
  ChangeStartSetting(readOnly_, value, "ReadOnly");
}

void TIB_Transaction::SetLockWait(bool value) {
  ChangeStartSetting(lockWait_, value, "LockWait");
}

std::vector<char> TIB_Transaction::BuildTPB(bool databaseReadOnly) const {
  std::vector<char> tpb;
  tpb.push_back(isc_tpb_version3);
  tpb.push_back(readOnly_ || databaseReadOnly ? isc_tpb_read : isc_tpb_write);
  switch (isolation_) {
    case TIB_Isolation::tiConcurrency:
      tpb.push_back(isc_tpb_concurrency);
      break;
    case TIB_Isolation::tiConsistency:
      tpb.push_back(isc_tpb_consistency);
      break;
    case TIB_Isolation::tiCommitted:
      tpb.push_back(isc_tpb_read_committed);
      tpb.push_back(recVersion_ ? isc_tpb_rec_version : isc_tpb_no_rec_version);
      break;
  }
  tpb.push_back(lockWait_ ? isc_tpb_wait : isc_tpb_nowait);
  if (serverAutoCommit_) tpb.push_back(isc_tpb_autocommit);
  return tpb;
}

bool TIB_Transaction::EnsureStarted() {
  if (Started()) return true;
  if (Destroying()) return false;
  if (connections_.empty()) {
    if (ConnectionCore* fallback = IB_Session().DefaultConnection()) AddConnection(fallback);
    if (connections_.empty()) throw EIB_TransactionError(this, messages::TransactionWithoutConnection());
  }
  bool databaseReadOnly = false;
  for (ConnectionCore* connection : std::vector<ConnectionCore*>(connections_)) {
    if (!connection->Connected()) connection->Connect();
    if (!connection->Connected()) return false;
    if (connection->Characteristics().dbReadOnly != 0) databaseReadOnly = true;
  }

  const std::vector<char> built = BuildTPB(databaseReadOnly);
  std::vector<char> common(kTpbSize, '\0');
  std::copy(built.begin(), built.end(), common.begin());
  int commonLength = static_cast<int>(built.size());
  const auto checkLength = [&](const std::vector<char>& buffer, int length) {
    if (length < 1 || static_cast<std::size_t>(length) > buffer.size()) {
      throw EIB_TransactionError(this, messages::TpbOutOfBuffer());
    }
  };
  if (connections_.size() > 1 && OnCustomizeTPB) {
    OnCustomizeTPB(this, nullptr, common, commonLength);
    checkLength(common, commonLength);
  }
  const std::size_t count = connections_.size();
  std::vector<std::vector<char>> copies(count, common);
  std::vector<TransactionExistenceBlock> blocks(count);
  for (std::size_t i = 0; i < count; ++i) {
    int length = commonLength;
    if (OnCustomizeTPB) {
      OnCustomizeTPB(this, connections_[i]->Connection(), copies[i], length);
      checkLength(copies[i], length);
    }
    blocks[i] = {connections_[i]->HandleAddress(), length, copies[i].data()};
  }

  TIB_Session& session = IB_Session();
  const ClientEntryPoints& client = Client();
  // A transaction over several connections pauses by the clock of the first.
  platform::Clock& clock = connections_.front()->System().clock;
  // A local pipe server may report a lost connection while it is busy; it is given two seconds.
  const platform::TimePoint started = clock.Now();
  ISC_STATUS result = isc_conn_lost;
  for (;;) {
    handle_ = 0;
    session.ClearStatus();
    result = client.isc_start_multiple != nullptr
                 ? client.isc_start_multiple(session.StatusVector(), &handle_, static_cast<short>(count),
                                             blocks.data())
                 : -1;
    session.SetLastResult(result);
    if (result != isc_conn_lost) break;
    clock.Sleep(kStartRetryPause);
    const auto elapsed = clock.Now() - started;
    // A clock set back gives a negative time: stop rather than wait for it to catch up.
    if (elapsed >= kStartRetryPeriod || elapsed < elapsed.zero()) break;
  }
  if (result != 0) {
    handle_ = 0;
    ReportClientError(session, this);
    return Started();
  }
  lostConnection_ = false;
  return true;
}

void TIB_Transaction::TellStatementsTheTransactionEnds() {
  for (TransactionStatement* statement : std::vector<TransactionStatement*>(statements_)) {
    if (statement->CursorOpen()) statement->CloseCursor();
  }
}

template <class End>
void TIB_Transaction::EndBetweenEvents(const TransactionEvent& before, const TransactionEvent& after,
                                       End&& end) {
  if (!Started()) return;
  if (ending_) return;
  FlagGuard ending(ending_);
  Fire(BeforeEnd);
  Fire(before);
  TellStatementsTheTransactionEnds();
  if (!end()) return;
  Fire(after);
  Fire(AfterEnd);
}

void TIB_Transaction::Commit() {
  EndBetweenEvents(BeforeCommit, AfterCommit, [this] {
    if (Started()) {
      TIB_Session& session = IB_Session();
      const ClientEntryPoints& client = Client();
      const auto commit = [&] {
        const ISC_STATUS r = client.isc_commit_transaction != nullptr
                                 ? client.isc_commit_transaction(session.StatusVector(), &handle_)
                                 : -1;
        session.SetLastResult(r);
        return r;
      };
      ISC_STATUS result = commit();
      if (result != 0) {
        if (IsConnectionLoss(result)) {
          lostConnection_ = true;
          for (ConnectionCore* connection : connections_)
            connection->MarkConnectionLost();
        } else {
          for (ConnectionCore* connection : connections_) {
            connection->Schema().Invalidate();
            connection->FlushStatementHandleCache();
          }
          if (handle_ != 0) result = commit();
        }
        if (result != 0) {
          ReportClientError(session, this);
          return false;
        }
      }
    }
    return true;
  });
}

void TIB_Transaction::Rollback() {
  EndBetweenEvents(BeforeRollback, AfterRollback, [this] {
    if (Started() && !lostConnection_ && Client().isc_rollback_transaction != nullptr) {
      // The result does not matter: the handle is given up either way.
      Client().isc_rollback_transaction(IB_Session().StatusVector(), &handle_);
    }
    handle_ = 0;
    return true;
  });
}

void TIB_Transaction::EndTransaction() {
  if (!Started()) return;
  if (inEndTransaction_) return;
  FlagGuard inEnd(inEndTransaction_);
  if (!AutoCommit() || lostConnection_) {
    Rollback();
    return;
  }
  try {
    Commit();
  } catch (...) {
    if (Started()) {
      Rollback();
      return;
    }
    if (!Destroying()) throw;
    return;
  }
  // A commit whose error a handler suppressed leaves the transaction open; it must not outlive the
  // attachment's end.
  if (Started()) Rollback();
}

void TIB_Transaction::AddStatement(TransactionStatement* statement) {
  AddOnce(statements_, statement);
}

void TIB_Transaction::RemoveStatement(TransactionStatement* statement) {
  RemoveFrom(statements_, statement);
}

}  // namespace db
