#include "FieldDefinition.h"

namespace db {

const char* FieldTypeName(FieldKind type) {
  switch (type) {
    case FieldKind::Unknown:
      return "Unknown";
    case FieldKind::String:
      return "String";
    case FieldKind::SmallInt:
      return "SmallInt";
    case FieldKind::Integer:
      return "Integer";
    case FieldKind::Word:
      return "Word";
    case FieldKind::Boolean:
      return "Boolean";
    case FieldKind::Float:
      return "Float";
    case FieldKind::Currency:
      return "Currency";
    case FieldKind::BCD:
      return "BCD";
    case FieldKind::Date:
      return "Date";
    case FieldKind::Time:
      return "Time";
    case FieldKind::DateTime:
      return "DateTime";
    case FieldKind::Bytes:
      return "Bytes";
    case FieldKind::VarBytes:
      return "VarBytes";
    case FieldKind::AutoInc:
      return "AutoInc";
    case FieldKind::Blob:
      return "Blob";
    case FieldKind::Memo:
      return "Memo";
    case FieldKind::FixedChar:
      return "FixedChar";
    case FieldKind::LargeInt:
      return "Largeint";
  }
  return "Unknown";
}

}  // namespace db
