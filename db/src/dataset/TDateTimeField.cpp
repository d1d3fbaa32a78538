#include "dataset/TDateTimeField.h"

#include "db/TDataSet.h"

namespace db {

std::string TDateTimeField::AsString() const {
  if (IsNull()) return {};
  return dataset_->ColumnAsDateTimeText(definition_.Column);
}

}  // namespace db
