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

// Whether a select-list item selects the key column "TABLE.COLUMN".
bool Selects(const std::string& item, const std::string& table, const std::string& column) {
  const std::string upper = platform::Upper(item);
  return upper == column || upper == table + "." + column || upper == table + ".*" || upper == "*" ||
         (upper.size() > column.size() &&
          upper.compare(upper.size() - column.size() - 1, std::string::npos, " " + column) == 0);
}

}  // namespace

TIBOInternalDataset::TIBOInternalDataset(std::string name) : TIB_Statement(std::move(name)) {}

std::string TIBOInternalDataset::ProcessSQL(const std::string& joined) {
  keyColumns_.clear();
  if (!KeyLinks.empty()) {
    keyColumns_ = KeyLinks;
    return joined;
  }
  if (!KeyLinksAutoDefine) return joined;
  const sqltext::SelectParts parts = sqltext::AnalyzeSelect(joined);
  if (!parts.select || !parts.keyable) return joined;
  TIB_Connection* connection = ConnectionInUse();
  if (connection == nullptr) return joined;
  TIB_SchemaCache& schema = connection->SchemaCache();
  const std::vector<std::string>& procedures = schema.ProcedureNames();
  if (std::find(procedures.begin(), procedures.end(), parts.firstTable) != procedures.end()) return joined;

  const std::string& table = parts.firstTable;
  for (const std::string& column : schema.KeyColumnsOf(table))
    keyColumns_.push_back(table + "." + column);
  if (keyColumns_.empty()) {
    keyColumns_.push_back(table + "." + kRowKey);
    if (!FetchWholeRows) return joined;
    std::string list = platform::Trim(joined.substr(parts.listBegin, parts.listEnd - parts.listBegin));
    if (list == "*") list = table + ".*";
    list += "\r\n     , " + table + "." + kRowKey;
    return joined.substr(0, parts.listBegin) + " " + list + " " + joined.substr(parts.listEnd);
  }
  const bool all = parts.selectedItems.size() == 1 && parts.selectedItems.front() == "*";
  if (!all) {
    std::vector<std::string> kept;
    for (const std::string& key : keyColumns_) {
      const std::string column = key.substr(table.size() + 1);
      if (std::any_of(parts.selectedItems.begin(), parts.selectedItems.end(),
                      [&](const std::string& item) { return Selects(item, table, column); })) {
        kept.push_back(key);
      }
    }
    keyColumns_ = std::move(kept);
  }
  return joined;
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
    definition.Size = column.sqllen;
    definition.Column = static_cast<int>(i);
    definition.Hidden = column.name == "DB_KEY" &&
                        std::find_if(keyColumns_.begin(), keyColumns_.end(), [](const std::string& key) {
                          return key.size() > 10 && key.compare(key.size() - 10, 10, kRowKey) == 0;
                        }) != keyColumns_.end();
    if (!column.Nullable() && connection != nullptr && !column.relationName.empty()) {
      TIB_SchemaCache& schema = connection->SchemaCache();
      bool hasDefault = false;
      if (!schema.IsComputed(column.name, column.relationName)) {
        // The key attributes are asked together with the default, as the cursor's columns learn them.
        schema.IsPrimaryKey(column.name, column.relationName);
        schema.IsForeignKey(column.name, column.relationName);
        hasDefault = schema.HasDefault(column.name, column.relationName);
        definition.Required = !hasDefault;
      }
    }
    fieldDefs_.push_back(definition);
  }
}

}  // namespace db
