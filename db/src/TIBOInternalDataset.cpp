#include "db/TIBOInternalDataset.h"

#include <ibase.h>

#include <algorithm>

#include "SqlText.h"
#include "TIB_SchemaCache.h"
#include "db/TIB_Connection.h"
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
  TIB_Connection* connection = ConnectionInUse();
  if (connection == nullptr) return joined;
  TIB_SchemaCache& schema = connection->SchemaCache();
  const std::vector<std::string>& procedures = schema.ProcedureNames();
  if (std::find(procedures.begin(), procedures.end(), parts.firstTable) != procedures.end()) return joined;

  const std::string& table = parts.firstTable;
  if (!schema.KeyColumnsOf(table).empty()) return joined;
  std::string list = platform::Trim(joined.substr(parts.listBegin, parts.listEnd - parts.listBegin));
  if (list == "*") list = table + ".*";
  list += "\r\n     , " + table + "." + kRowKey;
  return joined.substr(0, parts.listBegin) + " " + list + " " + joined.substr(parts.listEnd);
}

TFieldType TIBOInternalDataset::FieldTypeOf(const TIB_Column& column) {
  const bool scaled = column.sqlscale != 0;
  switch (column.BaseType()) {
    case SQL_TEXT:
    case SQL_VARYING:
      if (column.name == "DB_KEY" || column.name == kRowKey) return TFieldType::ftBytes;
      return column.sqllen > 255 ? TFieldType::ftMemo : TFieldType::ftString;
    case SQL_SHORT:
      return scaled ? TFieldType::ftFloat : TFieldType::ftSmallint;
    case SQL_LONG:
      return scaled ? TFieldType::ftFloat : TFieldType::ftInteger;
    case SQL_INT64:
    case SQL_QUAD:
      return scaled ? TFieldType::ftFloat : TFieldType::ftLargeint;
    case SQL_DOUBLE:
    case SQL_FLOAT:
      return TFieldType::ftFloat;
    case SQL_BOOLEAN:
    case kInterBaseBoolean:
      return TFieldType::ftBoolean;
    case SQL_TIMESTAMP:
      return TFieldType::ftDateTime;
    case SQL_TYPE_DATE:
      return TFieldType::ftDate;
    case SQL_TYPE_TIME:
      return TFieldType::ftTime;
    case SQL_BLOB:
      return column.sqlsubtype == 1 ? TFieldType::ftMemo : TFieldType::ftBlob;
    case SQL_ARRAY:
      return TFieldType::ftBytes;
    default:
      return TFieldType::ftUnknown;
  }
}

void TIBOInternalDataset::AfterPrepare() {
  fieldDefs_.clear();
  TIB_Connection* connection = ConnectionInUse();
  const std::vector<TIB_Column>& columns = Columns();
  for (std::size_t i = 0; i < columns.size(); ++i) {
    const TIB_Column& column = columns[i];
    TFieldDef definition;
    definition.Name = column.aliasName.empty() ? column.name : column.aliasName;
    definition.DataType = FieldTypeOf(column);
    definition.Column = static_cast<int>(i);
    if (!column.Nullable() && connection != nullptr && !column.relationName.empty()) {
      connection->SchemaCache().LookUpNotNullColumn(column.name, column.relationName);
    }
    fieldDefs_.push_back(definition);
  }
}

}  // namespace db
