#include "db/TIB_Database.h"

#include "db/Errors.h"
#include "db/Messages.h"

namespace db {

TIB_Database::TIB_Database(std::string name) : TIB_Connection(std::move(name)) {
  internalTransaction_ = CreateDefaultTransaction();
  internalTransaction_->SetIB_Connection(this);
  TIB_Connection::SetDefaultTransaction(internalTransaction_.get());
}

TIB_Database::~TIB_Database() {
  // The default transaction must end while this connection is still whole.
  MarkDestroying();
  try {
    Disconnect();
  } catch (...) {
    // Nothing can be reported from a destructor.
  }
  internalTransaction_.reset();
}

std::unique_ptr<TIB_TransactionDefault> TIB_Database::CreateDefaultTransaction() {
  return std::make_unique<TIB_TransactionDefault>("tr" + Name());
}

void TIB_Database::SetDefaultTransaction(TIB_Transaction* transaction) {
  if (transaction != internalTransaction_.get()) {
    throw EIB_ConnectionError(this, messages::ReplaceInternalTransaction());
  }
  TIB_Connection::SetDefaultTransaction(transaction);
}

}  // namespace db
