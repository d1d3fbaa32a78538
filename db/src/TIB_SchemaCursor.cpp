#include "TIB_SchemaCursor.h"

#include "ConnectionCore.h"

namespace db {

TIB_SchemaCursor::TIB_SchemaCursor(ConnectionCore& connection, std::string name)
    : TIB_Statement(std::move(name)) {
  SetIB_Connection(&connection);
}

TIB_Transaction* TIB_SchemaCursor::StatementTransaction() {
  ConnectionCore* connection = IB_Connection();
  return connection != nullptr ? &connection->Schema().Transaction() : nullptr;
}

std::vector<std::vector<std::string>> TIB_SchemaCursor::ReadAll() {
  std::vector<std::vector<std::string>> rows;
  Execute();
  if (!CursorOpen()) return rows;
  while (FetchNext()) {
    std::vector<std::string> row;
    for (std::size_t i = 0; i < Columns().size(); ++i) {
      std::string text = ColumnText(i, false);
      const std::size_t last = text.find_last_not_of(' ');
      text.erase(last == std::string::npos ? 0 : last + 1);
      row.push_back(std::move(text));
    }
    rows.push_back(std::move(row));
  }
  CloseCursor();
  return rows;
}

}  // namespace db
