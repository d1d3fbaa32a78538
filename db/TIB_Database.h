#pragma once

#include <memory>

#include "db/TIB_Connection.h"
#include "db/TIB_TransactionDefault.h"

namespace db {

// A connection with its own default transaction, whose settings it forwards.
class TIB_Database : public TIB_Connection {
 public:
  explicit TIB_Database(std::string name = {});
  ~TIB_Database() override;

  // Only the internal default transaction may be the default.
  void SetDefaultTransaction(TIB_Transaction* transaction) override;
  TIB_TransactionDefault& InternalTransaction() { return *internalTransaction_; }

  TIB_Isolation Isolation() const { return internalTransaction_->Isolation(); }
  void SetIsolation(TIB_Isolation value) { internalTransaction_->SetIsolation(value); }
  bool AutoCommit() const { return internalTransaction_->AutoCommit(); }
  void SetAutoCommit(bool value) { internalTransaction_->SetAutoCommit(value); }
  bool RecVersion() const { return internalTransaction_->RecVersion(); }
  void SetRecVersion(bool value) { internalTransaction_->SetRecVersion(value); }
  bool LockWait() const { return internalTransaction_->LockWait(); }
  void SetLockWait(bool value) { internalTransaction_->SetLockWait(value); }
  bool ReadOnly() const { return internalTransaction_->ReadOnly(); }
  void SetReadOnly(bool value) { internalTransaction_->SetReadOnly(value); }

 protected:
  virtual std::unique_ptr<TIB_TransactionDefault> CreateDefaultTransaction();

 private:
  std::unique_ptr<TIB_TransactionDefault> internalTransaction_;
};

}  // namespace db
