#pragma once

// The kinds of value a dataset column holds and the definition of one column of an open dataset.

#include <string>

namespace db {

enum class FieldKind {
  Unknown,
  String,
  SmallInt,
  Integer,
  Word,
  Boolean,
  Float,
  Currency,
  BCD,
  Date,
  Time,
  DateTime,
  Bytes,
  VarBytes,
  AutoInc,
  Blob,
  Memo,
  FixedChar,
  LargeInt
};

// The name used in the dataset's messages ("Integer", "String"...).
const char* FieldTypeName(FieldKind type);

struct FieldDefinition {
  std::string Name;
  FieldKind DataType = FieldKind::Unknown;
  int Column = -1;  // index of the statement's output column
};

}  // namespace db
