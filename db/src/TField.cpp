#include "db/TField.h"

#include "db/TDataSet.h"

namespace db {

TField::TField(std::string fieldName, TFieldType dataType, int size)
    : fieldName_(std::move(fieldName)), dataType_(dataType), size_(size) {}

void TField::Bind(TDataSet* dataset, const TFieldDef& definition) {
  dataset_ = dataset;
  column_ = definition.Column;
}

void TField::Unbind() {
  dataset_ = nullptr;
  column_ = -1;
}

bool TField::IsNull() const {
  return dataset_ == nullptr || !dataset_->HasCurrentRow() || dataset_->ColumnIsNull(column_);
}

std::string TField::AsString() const {
  if (IsNull()) return {};
  return dataset_->ColumnAsString(column_);
}

int TField::AsInteger() const {
  if (IsNull()) return 0;
  // Binding lets nothing but an integer column (of any width) reach a field that is read as a number.
  return static_cast<int>(dataset_->ColumnAsInteger(column_));
}

}  // namespace db
