#include <ibase.h>

#include "TIB_SchemaCursor.h"
#include "db/TIB_Connection.h"

namespace db {

// Older servers describe every input parameter as text; a statement whose first parameter is a
// number tells the two apart.
bool TIB_Connection::DetectParameterOrder() {
  if (Characteristics().odsMajorVersion < 10) return true;
  TIB_SchemaCursor cursor(*this);
  cursor.SetSQL({"/* OldParameterOrder test query */", "SELECT R.RDB$RELATION_NAME,",
                 " (SELECT F.RDB$FIELD_NAME", "  FROM RDB$RELATION_FIELDS F",
                 "  WHERE F.RDB$RELATION_NAME = R.RDB$RELATION_NAME",
                 "    AND F.RDB$FIELD_POSITION = ? ) AS TESTFIELD", "FROM RDB$RELATIONS R",
                 "WHERE R.RDB$RELATION_NAME = ? "});
  cursor.Prepare();
  bool old = true;
  if (cursor.Prepared() && !cursor.Params().empty()) {
    const short type = cursor.Params().front().sqltype;
    old = type == SQL_TEXT || type == SQL_TEXT + 1;
  }
  cursor.Unprepare();
  return old;
}

}  // namespace db
