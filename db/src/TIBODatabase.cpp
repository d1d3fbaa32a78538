#include "TIBODatabase.h"

#include "ConnectionCore.h"
#include "TIB_Transaction.h"

namespace db {

TIB_Database::TIB_Database(const ConnectionSystem& system, std::string name)
    : TIB_Connection(system, std::move(name)) {
  defaultTransactionOwned_ = std::make_unique<TIB_TransactionDefault>("tr" + Name());
  defaultTransactionOwned_->SetIB_Connection(&Core());
  Core().InstallOwnDefaultTransaction(defaultTransactionOwned_.get());
}

TIB_Database::~TIB_Database() {
  // The default transaction must end while this connection is still whole.
  EndInDestructor([this] { Disconnect(); });
  defaultTransactionOwned_.reset();
}

TIBODatabase::TIBODatabase(const ConnectionSystem& system, std::string name)
    : TIB_Database(system, std::move(name)) {
  Core().SetPasswordStorage(PasswordStorageMode::psNotSecure);
}

}  // namespace db
