#pragma once

#include "db/TField.h"

namespace db {

class TIntegerField : public TField {
 public:
  explicit TIntegerField(std::string fieldName, int = 0)
      : TField(std::move(fieldName), TFieldType::ftInteger, 0) {}
  int DataSize() const override { return 4; }
};

}  // namespace db
