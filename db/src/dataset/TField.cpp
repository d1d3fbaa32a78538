#include "db/TField.h"

#include <cerrno>
#include <climits>
#include <cstdlib>

#include "db/Errors.h"
#include "db/TDataSet.h"

namespace db {

TField::TField(std::string fieldName, TFieldType dataType, int size)
    : fieldName_(std::move(fieldName)), dataType_(dataType), size_(size) {}

void TField::Bind(TDataSet* dataset, const TFieldDef& definition) {
  dataset_ = dataset;
  definition_ = definition;
}

void TField::Unbind() {
  dataset_ = nullptr;
  definition_ = TFieldDef{};
}

bool TField::IsNull() const {
  return dataset_ == nullptr || !dataset_->HasCurrentRow() || dataset_->ColumnIsNull(definition_.Column);
}

std::string TField::AsString() const {
  if (IsNull()) return {};
  return dataset_->ColumnAsString(definition_.Column);
}

int TField::AsInteger() const {
  if (IsNull()) return 0;
  switch (definition_.DataType) {
    case TFieldType::ftSmallint:
    case TFieldType::ftInteger:
    case TFieldType::ftWord:
    case TFieldType::ftAutoInc:
    case TFieldType::ftLargeint:
      return static_cast<int>(dataset_->ColumnAsInteger(definition_.Column));
    default:
      break;
  }
  const std::string text = AsString();
  char* end = nullptr;
  errno = 0;
  const long value = std::strtol(text.c_str(), &end, 10);
  if (text.empty() || end == nullptr || *end != '\0' || errno != 0 || value < INT_MIN || value > INT_MAX) {
    throw EDatabaseError("'" + text + "' is not a valid integer value");
  }
  return static_cast<int>(value);
}

}  // namespace db
