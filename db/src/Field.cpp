#include "FieldDefinition.h"
#include "TIBOQuery.h"

namespace db {

Field::Field(std::string fieldName, FieldKind kind, int size)
    : fieldName_(std::move(fieldName)), kind_(kind), size_(size) {}

void Field::Bind(const TDataSet* dataset, int column) {
  dataset_ = dataset;
  column_ = column;
}

void Field::Unbind() {
  dataset_ = nullptr;
  column_ = -1;
}

bool Field::IsNull() const {
  return dataset_ == nullptr || !dataset_->HasCurrentRow() || dataset_->ColumnIsNull(column_);
}

std::string Field::AsString() const {
  if (IsNull()) return {};
  return dataset_->ColumnAsString(column_);
}

int Field::AsInteger() const {
  if (IsNull()) return 0;
  // Binding lets nothing but an integer column (of any width) reach a field that is read as a number.
  return static_cast<int>(dataset_->ColumnAsInteger(column_));
}

}  // namespace db
