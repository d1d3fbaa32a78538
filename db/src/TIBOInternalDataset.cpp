#include "TIBOInternalDataset.h"

#include <ibase.h>

#include <algorithm>

#include "ConnectionCore.h"
#include "SqlText.h"
#include "platform/Text.h"

namespace db {

namespace {

constexpr const char* kRowKey = "RDB$DB_KEY";
// The boolean type of InterBase servers, beside Firebird's own.
constexpr short kInterBaseBoolean = 590;

}  // namespace

TIBOInternalDataset::TIBOInternalDataset(std::string name) : TIB_Statement(std::move(name)) {}

// The buffered cursor tells its rows apart by the table's primary key, found in the catalogue; a
// table without one is read with its row key, which the select list must then fetch.
std::string TIBOInternalDataset::ProcessSQL(const std::string& joined) {
  const sqltext::SelectParts parts = sqltext::AnalyzeSelect(joined);
  if (!parts.select || !parts.keyable) return joined;
  ConnectionCore* connection = ConnectionInUse();
  if (connection == nullptr) return joined;
  ConnectionSchema& schema = connection->Schema();
  const std::vector<std::string>& procedures = schema.ProcedureNames();
  if (std::find(procedures.begin(), procedures.end(), parts.firstTable) != procedures.end()) return joined;

  const std::string& table = parts.firstTable;
  if (!schema.KeyColumnsOf(table).empty()) return joined;
  std::string list = platform::Trim(joined.substr(parts.listBegin, parts.listEnd - parts.listBegin));
  if (list == "*") list = table + ".*";
  list += "\r\n     , " + table + "." + kRowKey;
  return joined.substr(0, parts.listBegin) + " " + list + " " + joined.substr(parts.listEnd);
}

FieldKind TIBOInternalDataset::FieldTypeOf(const OutputColumn& column) {
  const bool scaled = column.sqlscale != 0;
  switch (column.BaseType()) {
    case SQL_TEXT:
    case SQL_VARYING:
      if (column.name == "DB_KEY" || column.name == kRowKey) return FieldKind::Bytes;
      return column.sqllen > 255 ? FieldKind::Memo : FieldKind::String;
    case SQL_SHORT:
      return scaled ? FieldKind::Float : FieldKind::SmallInt;
    case SQL_LONG:
      return scaled ? FieldKind::Float : FieldKind::Integer;
    case SQL_INT64:
    case SQL_QUAD:
      return scaled ? FieldKind::Float : FieldKind::LargeInt;
    case SQL_DOUBLE:
    case SQL_FLOAT:
      return FieldKind::Float;
    case SQL_BOOLEAN:
    case kInterBaseBoolean:
      return FieldKind::Boolean;
    case SQL_TIMESTAMP:
      return FieldKind::DateTime;
    case SQL_TYPE_DATE:
      return FieldKind::Date;
    case SQL_TYPE_TIME:
      return FieldKind::Time;
    case SQL_BLOB:
      return column.sqlsubtype == 1 ? FieldKind::Memo : FieldKind::Blob;
    case SQL_ARRAY:
      return FieldKind::Bytes;
    default:
      return FieldKind::Unknown;
  }
}

void TIBOInternalDataset::AfterPrepare() {
  fieldDefs_.clear();
  ConnectionCore* connection = ConnectionInUse();
  const std::vector<OutputColumn>& columns = Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const OutputColumn& column = columns[i];
    FieldDefinition definition;
    definition.Name = column.aliasName.empty() ? column.name : column.aliasName;
    definition.DataType = FieldTypeOf(column);
    definition.Column = static_cast<int>(i);
    if (!column.Nullable() && connection != nullptr && !column.relationName.empty()) {
      connection->Schema().LookUpNotNullColumn(column.name, column.relationName);
    }
    fieldDefs_.push_back(definition);
  }
}

}  // namespace db
