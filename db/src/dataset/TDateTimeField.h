#pragma once

#include "db/TField.h"

namespace db {

// Reads a DATE, TIME or TIMESTAMP column; AsString gives "dd/mm/yyyy", "hh:nn:ss" or both.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(std::string fieldName, int = 0)
      : TField(std::move(fieldName), TFieldType::ftDateTime, 0) {}
  int DataSize() const override { return 8; }
  std::string AsString() const override;
};

}  // namespace db
