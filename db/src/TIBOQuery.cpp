#include "TIBOQuery.h"

#include "ConnectionCore.h"
#include "TIBOInternalDataset.h"
#include "TIB_Connection.h"

namespace db {

TIBODataset::TIBODataset(std::string name)
    : TDataSet(name), internal_(std::make_unique<TIBOInternalDataset>("IBOqr" + name)) {}

TIBODataset::~TIBODataset() {
  try {
    Close();
  } catch (...) {
    // Nothing can be reported from a destructor.
  }
}

void TIBODataset::SetIB_Connection(TIB_Connection* connection) {
  internal_->SetIB_Connection(connection != nullptr ? &connection->Core() : nullptr);
}

void TIBODataset::SetIB_Transaction(TIBOTransaction* transaction) {
  internal_->SetIB_Transaction(transaction);
}

void TIBODataset::SetSQL(TextLines lines) {
  internal_->SetSQL(std::move(lines));
}

const std::vector<FieldDefinition>& TIBODataset::FieldDefs() const {
  return internal_->FieldDefs();
}

bool TIBODataset::InternalOpen() {
  if (!internal_->Prepared()) internal_->Prepare();
  if (!internal_->Prepared()) return false;
  internal_->Execute();
  hasRow_ = false;
  return internal_->CursorOpen();
}

void TIBODataset::InternalFirst() {
  hasRow_ = internal_->FetchNext();
}

void TIBODataset::InternalClose() {
  hasRow_ = false;
  internal_->CloseCursor();
}

bool TIBODataset::ColumnIsNull(int column) const {
  return column < 0 || internal_->IsNull(static_cast<std::size_t>(column));
}

std::string TIBODataset::ColumnAsString(int column) const {
  if (ColumnIsNull(column)) return {};
  return internal_->ColumnText(static_cast<std::size_t>(column));
}

long long TIBODataset::ColumnAsInteger(int column) const {
  if (ColumnIsNull(column)) return 0;
  return internal_->ColumnInteger(static_cast<std::size_t>(column));
}

}  // namespace db
