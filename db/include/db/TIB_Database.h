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
  TIB_TransactionDefault& OwnDefaultTransaction() { return *defaultTransactionOwned_; }

  TIB_Isolation Isolation() const { return defaultTransactionOwned_->Isolation(); }
  void SetIsolation(TIB_Isolation value) { defaultTransactionOwned_->SetIsolation(value); }
  bool AutoCommit() const { return defaultTransactionOwned_->AutoCommit(); }
  void SetAutoCommit(bool value) { defaultTransactionOwned_->SetAutoCommit(value); }
  bool RecVersion() const { return defaultTransactionOwned_->RecVersion(); }
  void SetRecVersion(bool value) { defaultTransactionOwned_->SetRecVersion(value); }
  bool LockWait() const { return defaultTransactionOwned_->LockWait(); }
  void SetLockWait(bool value) { defaultTransactionOwned_->SetLockWait(value); }
  bool ReadOnly() const { return defaultTransactionOwned_->ReadOnly(); }
  void SetReadOnly(bool value) { defaultTransactionOwned_->SetReadOnly(value); }

 protected:
  virtual std::unique_ptr<TIB_TransactionDefault> CreateDefaultTransaction();

 private:
  std::unique_ptr<TIB_TransactionDefault> defaultTransactionOwned_;
};

}  // namespace db
