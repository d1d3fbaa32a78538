#pragma once

// The kinds of value a dataset column holds and the definition of one column of an open dataset.

#include <string>

namespace db {

enum class TFieldType {
  ftUnknown,
  ftString,
  ftSmallint,
  ftInteger,
  ftWord,
  ftBoolean,
  ftFloat,
  ftCurrency,
  ftBCD,
  ftDate,
  ftTime,
  ftDateTime,
  ftBytes,
  ftVarBytes,
  ftAutoInc,
  ftBlob,
  ftMemo,
  ftFixedChar,
  ftLargeint
};

// The name used in the dataset's messages ("Integer", "String"...).
const char* FieldTypeName(TFieldType type);

struct TFieldDef {
  std::string Name;
  TFieldType DataType = TFieldType::ftUnknown;
  int Column = -1;  // index of the statement's output column
};

}  // namespace db
