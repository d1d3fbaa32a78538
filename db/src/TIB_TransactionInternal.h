#pragma once

#include "db/TIB_TransactionDefault.h"

namespace db {

// The read-only transaction of a connection's schema cache.
class TIB_TransactionInternal : public TIB_TransactionDefault {
 public:
  explicit TIB_TransactionInternal(std::string name = {}) : TIB_TransactionDefault(std::move(name)) {
    SetInitialSettings(TIB_Isolation::tiCommitted, true, true);
  }
};

}  // namespace db
