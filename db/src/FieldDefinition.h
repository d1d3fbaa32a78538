#pragma once

// The kinds of value a dataset column holds, the definition of one column of an open dataset and the
// rule that binds a declared field to it.

#include <string>

namespace db {

class Field;

enum class FieldKind : unsigned char {
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

// The binding rule between a declared field and a column definition. Raises EDatabaseError with the
// dataset's name in front of "Type mismatch..." or "Size mismatch...".
void CheckFieldBinding(const std::string& datasetName, const Field& field, const FieldDefinition& definition);

}  // namespace db
