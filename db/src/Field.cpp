#include "db/Field.h"

#include "db/TDataSet.h"

namespace db {

Field::Field(std::string fieldName, FieldKind dataType, int size)
    : fieldName_(std::move(fieldName)), dataType_(dataType), size_(size) {}

void Field::Bind(TDataSet* dataset, const FieldDefinition& definition) {
  dataset_ = dataset;
  column_ = definition.Column;
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
