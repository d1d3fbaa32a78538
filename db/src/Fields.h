#pragma once

// The kinds of field the settings query declares. Each binds only to the columns its kind allows
// (CheckFieldBinding) and takes DataSize bytes of a record buffer.

#include "db/TField.h"

namespace db {

class TStringField : public TField {
 public:
  static constexpr int kDefaultSize = 20;
  explicit TStringField(std::string fieldName, int size = kDefaultSize)
      : TField(std::move(fieldName), TFieldType::ftString, size) {}
  int DataSize() const override { return Size() + 1; }
};

class TIntegerField : public TField {
 public:
  explicit TIntegerField(std::string fieldName, int = 0)
      : TField(std::move(fieldName), TFieldType::ftInteger, 0) {}
  int DataSize() const override { return 4; }
};

// Binds to a DATE, TIME or TIMESTAMP column. The settings row declares one (DT_ATUALIZACAO) so that
// its type is checked when the query opens; the program never reads its value.
class TDateTimeField : public TField {
 public:
  explicit TDateTimeField(std::string fieldName, int = 0)
      : TField(std::move(fieldName), TFieldType::ftDateTime, 0) {}
  int DataSize() const override { return 8; }
};

}  // namespace db
