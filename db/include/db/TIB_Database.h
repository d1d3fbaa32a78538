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

  // The isolation of the internal default transaction.
  void SetIsolation(TIB_Isolation value) { defaultTransactionOwned_->SetIsolation(value); }

 private:
  std::unique_ptr<TIB_TransactionDefault> defaultTransactionOwned_;
};

}  // namespace db
