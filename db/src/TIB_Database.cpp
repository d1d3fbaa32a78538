#include "db/TIB_Database.h"

#include "Messages.h"
#include "db/Errors.h"

namespace db {

TIB_Database::TIB_Database(std::string name) : TIB_Connection(std::move(name)) {
  defaultTransactionOwned_ = std::make_unique<TIB_TransactionDefault>("tr" + Name());
  defaultTransactionOwned_->SetIB_Connection(this);
  TIB_Connection::SetDefaultTransaction(defaultTransactionOwned_.get());
}

TIB_Database::~TIB_Database() {
  // The default transaction must end while this connection is still whole.
  EndInDestructor([this] { Disconnect(); });
  defaultTransactionOwned_.reset();
}

void TIB_Database::SetDefaultTransaction(TIB_Transaction* transaction) {
  if (transaction != defaultTransactionOwned_.get()) {
    throw EIB_ConnectionError(this, messages::ReplaceOwnDefaultTransaction());
  }
  TIB_Connection::SetDefaultTransaction(transaction);
}

}  // namespace db
