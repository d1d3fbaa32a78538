#include "SchemaCache.h"

#include <ibase.h>

#include <map>

#include "Messages.h"
#include "SqlText.h"
#include "TIB_SchemaCursor.h"
#include "TIB_Transaction.h"

namespace db {

namespace {

const TextLines kProceduresSql = {"SELECT RDB$PROCEDURE_NAME", "FROM RDB$PROCEDURES",
                                  "ORDER BY RDB$PROCEDURE_NAME"};

// The segments of every primary key, in the words both key readings share.
const TextLines kPrimaryKeySegments = {"FROM RDB$RELATION_CONSTRAINTS C",
                                       "   , RDB$INDICES I",
                                       "   , RDB$INDEX_SEGMENTS S",
                                       "WHERE C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'",
                                       "  AND C.RDB$RELATION_NAME = I.RDB$RELATION_NAME",
                                       "  AND C.RDB$INDEX_NAME = I.RDB$INDEX_NAME",
                                       "  AND I.RDB$INDEX_NAME = S.RDB$INDEX_NAME"};

// The lines of a key reading: what it selects, the key segments, then its own condition and order.
TextLines KeySql(const TextLines& select, const TextLines& rest) {
  TextLines lines = select;
  lines.insert(lines.end(), kPrimaryKeySegments.begin(), kPrimaryKeySegments.end());
  lines.insert(lines.end(), rest.begin(), rest.end());
  return lines;
}

const TextLines kTableKeysSql = KeySql({"SELECT S.RDB$FIELD_NAME", "     , I.RDB$RELATION_NAME"},
                                       {"ORDER BY I.RDB$RELATION_NAME, S.RDB$FIELD_POSITION"});

const TextLines kTableKeySql =
    KeySql({"SELECT S.RDB$FIELD_NAME"},
           {"  AND I.RDB$RELATION_NAME = ?RDB$RELATION_NAME", "ORDER BY S.RDB$FIELD_POSITION"});

const TextLines kComputedSql = {"SELECT R.RDB$FIELD_NAME",
                                "     , R.RDB$RELATION_NAME",
                                "FROM RDB$RELATION_FIELDS R",
                                "   , RDB$FIELDS F",
                                "WHERE R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME",
                                "  AND F.RDB$COMPUTED_SOURCE IS NOT NULL",
                                "  AND NOT R.RDB$RELATION_NAME STARTING WITH 'RDB$'",
                                "ORDER BY 1"};

const TextLines kForeignKeysSql = {"SELECT S.RDB$FIELD_NAME",
                                   "     , I.RDB$RELATION_NAME",
                                   "FROM RDB$RELATION_CONSTRAINTS C",
                                   "   , RDB$INDICES I",
                                   "   , RDB$INDEX_SEGMENTS S",
                                   "WHERE RDB$CONSTRAINT_TYPE = 'FOREIGN KEY'",
                                   "  AND C.RDB$RELATION_NAME = I.RDB$RELATION_NAME",
                                   "  AND C.RDB$INDEX_NAME = I.RDB$INDEX_NAME",
                                   "  AND I.RDB$INDEX_NAME = S.RDB$INDEX_NAME",
                                   "ORDER BY 1, S.RDB$FIELD_POSITION"};

const TextLines kDefaultsSql = {
    "SELECT F.RDB$FIELD_NAME F_FieldName",
    ", F.RDB$RELATION_NAME F_RelationName",
    ", F.RDB$DEFAULT_SOURCE F_DefaultSource",
    ", D.RDB$DEFAULT_SOURCE D_DefaultSource",
    ", D.RDB$FIELD_TYPE D_FieldType",
    "FROM RDB$RELATION_FIELDS F",
    "INNER JOIN RDB$FIELDS D",
    "ON D.RDB$FIELD_NAME = F.RDB$FIELD_SOURCE",
    "WHERE (( F.RDB$DEFAULT_SOURCE IS NOT NULL ) OR ( D.RDB$DEFAULT_SOURCE IS NOT NULL ))",
    "AND NOT F.RDB$RELATION_NAME STARTING WITH 'RDB$'",
    "ORDER BY 1"};

std::string Column(const std::vector<std::string>& row, std::size_t index) {
  return index < row.size() ? row[index] : std::string();
}

}  // namespace

SchemaCache::SchemaCache(ConnectionCore& connection)
    : connection_(connection), transaction_(std::make_unique<TIB_TransactionInternal>()) {
  transaction_->SetIB_Connection(&connection_);
}

SchemaCache::~SchemaCache() {
  keyCursor_.reset();
  transaction_.reset();
}

TIB_Transaction& SchemaCache::Transaction() {
  return *transaction_;
}

// The test tells servers that describe every input parameter as text from newer ones, by the type of
// the first parameter of a statement whose first parameter is a number. Every statement this program
// runs has at most one parameter, so the order it would decide never matters here; the test is still
// made after every attach, as the server has always seen it, and its statement handle goes back to the
// cache for the settings query to take.
void SchemaCache::DetectParameterOrder() {
  if (connection_.Characteristics().odsMajorVersion < 10) return;
  TIB_SchemaCursor cursor(connection_);
  cursor.SetSQL({"/* OldParameterOrder test query */", "SELECT R.RDB$RELATION_NAME,",
                 " (SELECT F.RDB$FIELD_NAME", "  FROM RDB$RELATION_FIELDS F",
                 "  WHERE F.RDB$RELATION_NAME = R.RDB$RELATION_NAME",
                 "    AND F.RDB$FIELD_POSITION = ? ) AS TESTFIELD", "FROM RDB$RELATIONS R",
                 "WHERE R.RDB$RELATION_NAME = ? "});
  cursor.Prepare();
  cursor.Unprepare();
}

const TextLines& SchemaCache::StatementLines(List list) {
  switch (list) {
    case kProcedures:
      return kProceduresSql;
    case kTableKeys:
    case kPrimaryKeys:
      return kTableKeysSql;
    case kTableKey:
      return kTableKeySql;
    case kComputed:
      return kComputedSql;
    case kForeignKeys:
      return kForeignKeysSql;
    case kDefaults:
      break;
  }
  return kDefaultsSql;
}

std::vector<std::vector<std::string>> SchemaCache::Read(List list) {
  TIB_SchemaCursor cursor(connection_);
  cursor.SetSQL(StatementLines(list));
  auto rows = cursor.ReadAll();
  cursor.Unprepare();
  return rows;
}

void SchemaCache::Invalidate() {
  procedures_.clear();
  tableKeys_.clear();
  computed_.clear();
  read_.clear();
  proceduresLoaded_ = tableKeysLoaded_ = computedLoaded_ = false;
}

const std::vector<std::string>& SchemaCache::ProcedureNames() {
  if (!proceduresLoaded_) {
    std::vector<std::string> names;
    for (const auto& row : Read(kProcedures))
      names.push_back(Column(row, 0));
    procedures_ = std::move(names);
    proceduresLoaded_ = true;
  }
  return procedures_;
}

const std::vector<std::string>& SchemaCache::TableKeys() {
  if (!tableKeysLoaded_) {
    std::vector<std::string> entries;
    std::string table;
    for (const auto& row : Read(kTableKeys)) {
      const std::string column = Column(row, 0);
      const std::string relation = Column(row, 1);
      if (!entries.empty() && relation == table) {
        entries.back() += "," + column;
      } else {
        entries.push_back(relation + "=" + column);
        table = relation;
      }
    }
    tableKeys_ = std::move(entries);
    tableKeysLoaded_ = true;
  }
  return tableKeys_;
}

std::vector<std::string> SchemaCache::KeyColumnsOf(const std::string& table) {
  const auto split = [](const std::string& list) {
    std::vector<std::string> columns;
    std::size_t begin = 0;
    while (begin <= list.size() && !list.empty()) {
      const std::size_t comma = list.find(',', begin);
      columns.push_back(list.substr(begin, comma == std::string::npos ? std::string::npos : comma - begin));
      if (comma == std::string::npos) break;
      begin = comma + 1;
    }
    return columns;
  };
  for (const std::string& entry : TableKeys()) {
    const std::size_t equals = entry.find('=');
    if (entry.compare(0, equals, table) == 0 && equals == table.size())
      return split(entry.substr(equals + 1));
  }

  // A table the list does not know (created after it was read): ask for its key alone.
  long failedCode = 0;
  bool failed = false;
  if (!keyCursor_) {
    keyCursor_ = std::make_unique<TIB_SchemaCursor>(connection_);
    keyCursor_->SetSQL(kTableKeySql);
  }
  // A failure here is an inconsistency of the cache, not an error of the user's statement.
  keyCursor_->OnError = [&](TIB_Component*, long errCode, const TextLines&, const TextLines&, long,
                            const TextLines&, const TextLines&, bool& raiseException) {
    raiseException = false;
    failed = true;
    failedCode = errCode;
  };
  struct HandlerReset {
    TIB_SchemaCursor& cursor;
    ~HandlerReset() { cursor.OnError = nullptr; }
  } handlerReset{*keyCursor_};
  std::vector<std::string> columns;
  const auto fail = [&]() -> std::vector<std::string> {
    if (failedCode != isc_network_error) throw AssertionFailure(messages::SchemaCacheAssertion(failedCode));
    return {};
  };
  keyCursor_->Prepare();
  if (failed || !keyCursor_->Prepared()) return fail();
  if (!keyCursor_->Params().empty()) keyCursor_->SetParamText(0, table);
  const auto rows = keyCursor_->ReadAll();
  if (failed) return fail();
  std::string entry = table + "=";
  for (std::size_t i = 0; i < rows.size(); ++i) {
    columns.push_back(Column(rows[i], 0));
    entry += (i > 0 ? "," : "") + columns.back();
  }
  tableKeys_.push_back(entry);
  return columns;
}

void SchemaCache::LookUpNotNullColumn(const std::string& column, const std::string& table) {
  if (!computedLoaded_) {
    for (const auto& row : Read(kComputed))
      computed_.insert(Column(row, 0) + "," + Column(row, 1));
    computedLoaded_ = true;
  }
  if (computed_.count(column + "," + table) > 0) return;
  for (const List list : {kPrimaryKeys, kForeignKeys, kDefaults}) {
    if (read_.count(list) > 0) continue;
    Read(list);
    read_.insert(list);
  }
}

}  // namespace db
