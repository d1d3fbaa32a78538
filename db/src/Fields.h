#pragma once

// The kinds of field the settings query declares. Each binds only to the columns its kind allows
// (CheckFieldBinding) and takes DataSize bytes of a record buffer.

#include "FieldDefinition.h"
#include "TIBOQuery.h"

namespace db {

class TStringField : public Field {
 public:
  static constexpr int kDefaultSize = 20;
  explicit TStringField(std::string fieldName, int size = kDefaultSize)
      : Field(std::move(fieldName), FieldKind::String, size) {}
  int DataSize() const override { return Size() + 1; }
};

class TIntegerField : public Field {
 public:
  explicit TIntegerField(std::string fieldName, int = 0)
      : Field(std::move(fieldName), FieldKind::Integer, 0) {}
  int DataSize() const override { return 4; }
};

// Binds to a DATE, TIME or TIMESTAMP column. The settings row declares one (DT_ATUALIZACAO) so that
// its type is checked when the query opens; the program never reads its value.
class TDateTimeField : public Field {
 public:
  explicit TDateTimeField(std::string fieldName, int = 0)
      : Field(std::move(fieldName), FieldKind::DateTime, 0) {}
  int DataSize() const override { return 8; }
};

}  // namespace db
