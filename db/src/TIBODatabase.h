#pragma once

// The connection component of the main window and the connection class it derives from, which owns
// a default transaction for statements without one of their own.

#include <memory>
#include <string>

#include "TIB_Connection.h"

namespace db {

class TIB_TransactionDefault;

class TIB_Database : public TIB_Connection {
 public:
  explicit TIB_Database(const ConnectionSystem& system, std::string name = {});
  ~TIB_Database() override;

  TIB_TransactionDefault& OwnDefaultTransaction() { return *defaultTransactionOwned_; }

 private:
  std::unique_ptr<TIB_TransactionDefault> defaultTransactionOwned_;
};

// Its password is kept scrambled with the built-in key unless told otherwise.
class TIBODatabase : public TIB_Database {
 public:
  explicit TIBODatabase(const ConnectionSystem& system, std::string name = {});
};

}  // namespace db
