#pragma once

#include "db/TIB_Transaction.h"

namespace db {

// The transaction a connection owns for statements without one of their own: committed when the
// connection disconnects.
class TIB_TransactionDefault : public TIB_Transaction {
 public:
  explicit TIB_TransactionDefault(std::string name = {}) : TIB_Transaction(std::move(name)) {
    SetInitialSettings(TIB_Isolation::tiCommitted, true, false);
  }
};

}  // namespace db
