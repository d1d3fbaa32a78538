#pragma once

#include "db/TField.h"

namespace db {

class TStringField : public TField {
 public:
  static constexpr int kDefaultSize = 20;
  explicit TStringField(std::string fieldName, int size = kDefaultSize)
      : TField(std::move(fieldName), TFieldType::ftString, size) {}
  int DataSize() const override { return Size() + 1; }
};

}  // namespace db
