#include "ConnectionCore.h"
#include "TIB_SchemaCursor.h"

namespace db {

// The test tells servers that describe every input parameter as text from newer ones, by the type of
// the first parameter of a statement whose first parameter is a number. Every statement this program
// runs has at most one parameter, so the order it would decide never matters here; the test is still
// made after every attach, as the server has always seen it, and its statement handle goes back to the
// cache for the settings query to take.
void ConnectionCore::DetectParameterOrder() {
  if (Characteristics().odsMajorVersion < 10) return;
  TIB_SchemaCursor cursor(owner_);
  cursor.SetSQL({"/* OldParameterOrder test query */", "SELECT R.RDB$RELATION_NAME,",
                 " (SELECT F.RDB$FIELD_NAME", "  FROM RDB$RELATION_FIELDS F",
                 "  WHERE F.RDB$RELATION_NAME = R.RDB$RELATION_NAME",
                 "    AND F.RDB$FIELD_POSITION = ? ) AS TESTFIELD", "FROM RDB$RELATIONS R",
                 "WHERE R.RDB$RELATION_NAME = ? "});
  cursor.Prepare();
  cursor.Unprepare();
}

}  // namespace db
