#pragma once

#include "db/TField.h"

namespace db {

// Binds to a DATE, TIME or TIMESTAMP column. The settings row declares one (DT_ATUALIZACAO) so that
// its type is checked when the query opens; the program never reads its value.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(std::string fieldName, int = 0)
      : TField(std::move(fieldName), TFieldType::ftDateTime, 0) {}
  int DataSize() const override { return 8; }
};

}  // namespace db
