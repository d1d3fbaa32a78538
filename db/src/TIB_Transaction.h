#pragma once

// A server transaction: its settings and their transaction parameter buffer, the implicit start on
// first need, commit, rollback and the end its connection gives it when disconnecting.

#include <chrono>
#include <functional>
#include <string>
#include <vector>

#include "ConnectionCore.h"
#include "TIBOTransaction.h"
#include "TIB_Component.h"
#include "fbclient/ClientTypes.h"

namespace db {

class TIB_Transaction;

enum class TIB_Isolation { tiConcurrency = 0, tiConsistency = 1, tiCommitted = 2 };

using TransactionEvent = std::function<void(TIB_Transaction* Sender)>;
// Sender, the connection (null for the common buffer), the TPB bytes (at least 1024) and the length
// in use. A handler may append items; the length must stay within the buffer.
using CustomizeTpbEvent = std::function<void(TIB_Transaction* Sender, TIB_Connection* Connection,
                                             std::vector<char>& TPB, int& Length)>;

// A statement as its transaction sees it: the transaction's end closes its cursor, and the
// transaction going away is let go of.
class TransactionStatement {
 public:
  virtual bool CursorOpen() const = 0;
  virtual void CloseCursor() = 0;
  virtual void ForgetTransaction(TIB_Transaction* transaction) = 0;

 protected:
  ~TransactionStatement() = default;
};

class TIB_Transaction : public TIB_Component, public ConnectionTransaction {
 public:
  static constexpr std::size_t kTpbSize = 1024;
  static constexpr std::chrono::milliseconds kStartRetryPeriod{2000};

  explicit TIB_Transaction(std::string name = {});
  ~TIB_Transaction() override;

  ConnectionCore* IB_Connection() const { return connections_.empty() ? nullptr : connections_.front(); }
  void SetIB_Connection(ConnectionCore* connection);
  // Joins one more connection; a transaction may span several.
  void AddConnection(ConnectionCore* connection);
  const std::vector<ConnectionCore*>& Connections() const { return connections_; }
  TIB_Transaction& Transaction() override { return *this; }
  // Called by a connection that goes away.
  void ForgetConnection(ConnectionCore* connection) override;

  void SetIsolation(TIB_Isolation isolation);
  void SetRecVersion(bool value);
  void SetReadOnly(bool value);
  void SetLockWait(bool value);
  void SetServerAutoCommit(bool value) { serverAutoCommit_ = value; }
  bool AutoCommit() const { return autoCommit_ || serverAutoCommit_; }
  void SetAutoCommit(bool value) { autoCommit_ = value; }

  CustomizeTpbEvent OnCustomizeTPB;
  TransactionEvent BeforeCommit, AfterCommit, BeforeRollback, AfterRollback, BeforeEnd, AfterEnd;

  // The TPB of one start, given whether a database of the transaction is read-only.
  std::vector<char> BuildTPB(bool databaseReadOnly) const;

  // Starts when not started; returns whether started afterwards (false when a connection could not
  // be attached).
  bool EnsureStarted();
  void Commit();
  void Rollback();
  // Commit when allowed, otherwise rollback; what a disconnecting connection does.
  void EndTransaction() override;

  bool Started() const { return handle_ != 0; }
  fbclient::Handle Handle() const { return handle_; }
  fbclient::Handle* HandleAddress() { return &handle_; }
  bool ConnectionLost() const { return lostConnection_; }
  void MarkConnectionLost() override { lostConnection_ = true; }

  void AddStatement(TransactionStatement* statement);
  void RemoveStatement(TransactionStatement* statement);

 protected:
  void SetInitialSettings(TIB_Isolation isolation, bool autoCommit, bool readOnly);

 private:
  void Fire(const TransactionEvent& event) {
    if (event && !Destroying()) event(this);
  }
  void TellStatementsTheTransactionEnds();
  // A commit or a rollback between its events: BeforeEnd and `before`, the statements' cursors closed,
  // the end itself, then `after` and AfterEnd unless the end reported an error (it returns false).
  // Nothing happens when nothing is started or an end is already under way.
  template <class End>
  void EndBetweenEvents(const TransactionEvent& before, const TransactionEvent& after, End&& end);
  // A setting that goes into the start's TPB: a different value is refused once started.
  template <class Value>
  void ChangeStartSetting(Value& setting, Value value, const char* property);

  std::vector<ConnectionCore*> connections_;
  std::vector<TransactionStatement*> statements_;
  TIB_Isolation isolation_ = TIB_Isolation::tiCommitted;
  bool recVersion_ = true;
  bool readOnly_ = false;
  bool lockWait_ = false;
  bool serverAutoCommit_ = false;
  bool autoCommit_ = false;
  fbclient::Handle handle_ = 0;
  bool lostConnection_ = false;
  bool ending_ = false;
  bool inEndTransaction_ = false;
};

// The transaction a connection owns for statements without one of their own: committed when the
// connection disconnects.
class TIB_TransactionDefault : public TIB_Transaction {
 public:
  explicit TIB_TransactionDefault(std::string name = {}) : TIB_Transaction(std::move(name)) {
    SetInitialSettings(TIB_Isolation::tiCommitted, true, false);
  }
};

// The read-only transaction of a connection's schema cache.
class TIB_TransactionInternal : public TIB_TransactionDefault {
 public:
  explicit TIB_TransactionInternal(std::string name = {}) : TIB_TransactionDefault(std::move(name)) {
    SetInitialSettings(TIB_Isolation::tiCommitted, true, true);
  }
};

}  // namespace db
