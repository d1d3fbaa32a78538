#include "TIB_Connection.h"

#include "ConnectionCore.h"
#include "SchemaCache.h"

namespace db {

TIB_Connection::TIB_Connection(const ConnectionSystem& system, std::string name)
    : TIB_Component(std::move(name)),
      core_(std::make_unique<ConnectionCore>(*this, this, AfterConnect, system)) {
  core_->UseSchema(std::make_unique<SchemaCache>(*core_));
}

TIB_Connection::~TIB_Connection() {
  // The handle is given up whether or not the disconnect succeeds.
  EndInDestructor([this] { core_->Disconnect(); });
  core_->ReleaseUsers();
}

void TIB_Connection::SetDatabaseName(const std::string& text) {
  core_->SetDatabaseName(text);
}

std::string TIB_Connection::DatabaseName() const {
  return core_->DatabaseName();
}

void TIB_Connection::SetUsername(const std::string& user) {
  core_->SetUsername(user);
}

void TIB_Connection::SetPassword(const std::string& password) {
  core_->SetPassword(password);
}

void TIB_Connection::Connect() {
  core_->Connect();
}

void TIB_Connection::Disconnect() {
  core_->Disconnect();
}

bool TIB_Connection::Connected() const {
  return core_->Connected();
}

void TIB_Connection::DropDatabase() {
  core_->DropDatabase();
}

}  // namespace db
