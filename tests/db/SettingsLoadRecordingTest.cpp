// One settings load as the private server receives it, recorded by the client double.

#include <set>

#include "TIB_Transaction.h"
#include "tests/db/DoubleTestSupport.h"
#include "tests/db/ServerTestSupport.h"

namespace db {
namespace {

using testing::Arg;
using testing::OutArg;

const std::string kParameterOrderTest =
    "/* OldParameterOrder test query */\r\nSELECT R.RDB$RELATION_NAME,\r\n (SELECT F.RDB$FIELD_NAME\r\n"
    "  FROM RDB$RELATION_FIELDS F\r\n  WHERE F.RDB$RELATION_NAME = R.RDB$RELATION_NAME\r\n"
    "    AND F.RDB$FIELD_POSITION = ? ) AS TESTFIELD\r\nFROM RDB$RELATIONS R\r\nWHERE R.RDB$RELATION_NAME = "
    "? ";

// The calls in a compact form: entry names, consecutive fetches folded into one "isc_dsql_fetch*",
// prepares and starts with what they carry.
std::vector<std::string> Script(const std::vector<fbdouble::Call>& calls) {
  std::vector<std::string> script;
  for (const fbdouble::Call& call : calls) {
    std::string line = call.entry;
    if (call.entry == "isc_dsql_fetch") {
      if (!script.empty() && script.back() == "isc_dsql_fetch*") continue;
      line = "isc_dsql_fetch*";
    } else if (call.entry == "isc_start_multiple") {
      line += " " + Arg(call, "teb0.tpb");
    } else if (call.entry == "isc_dsql_prepare") {
      line += " " + Arg(call, "sql");
    } else if (call.entry == "isc_dsql_free_statement") {
      line += " " + Arg(call, "option");
    } else if (call.entry == "isc_dsql_sql_info") {
      line += " " + Arg(call, "items");
    }
    script.push_back(line);
  }
  return script;
}

// The catalogue reads as the server receives them: the statement's lines joined with CR LF.
const std::string kProceduresRead =
    "SELECT RDB$PROCEDURE_NAME\r\nFROM RDB$PROCEDURES\r\nORDER BY RDB$PROCEDURE_NAME";
const std::string kTableKeysRead =
    "SELECT S.RDB$FIELD_NAME\r\n     , I.RDB$RELATION_NAME\r\nFROM RDB$RELATION_CONSTRAINTS C\r\n"
    "   , RDB$INDICES I\r\n   , RDB$INDEX_SEGMENTS S\r\nWHERE C.RDB$CONSTRAINT_TYPE = 'PRIMARY KEY'\r\n"
    "  AND C.RDB$RELATION_NAME = I.RDB$RELATION_NAME\r\n  AND C.RDB$INDEX_NAME = I.RDB$INDEX_NAME\r\n"
    "  AND I.RDB$INDEX_NAME = S.RDB$INDEX_NAME\r\nORDER BY I.RDB$RELATION_NAME, S.RDB$FIELD_POSITION";
const std::string kComputedRead =
    "SELECT R.RDB$FIELD_NAME\r\n     , R.RDB$RELATION_NAME\r\nFROM RDB$RELATION_FIELDS R\r\n   , RDB$FIELDS "
    "F\r\n"
    "WHERE R.RDB$FIELD_SOURCE = F.RDB$FIELD_NAME\r\n  AND F.RDB$COMPUTED_SOURCE IS NOT NULL\r\n"
    "  AND NOT R.RDB$RELATION_NAME STARTING WITH 'RDB$'\r\nORDER BY 1";
const std::string kForeignKeysRead =
    "SELECT S.RDB$FIELD_NAME\r\n     , I.RDB$RELATION_NAME\r\nFROM RDB$RELATION_CONSTRAINTS C\r\n"
    "   , RDB$INDICES I\r\n   , RDB$INDEX_SEGMENTS S\r\nWHERE RDB$CONSTRAINT_TYPE = 'FOREIGN KEY'\r\n"
    "  AND C.RDB$RELATION_NAME = I.RDB$RELATION_NAME\r\n  AND C.RDB$INDEX_NAME = I.RDB$INDEX_NAME\r\n"
    "  AND I.RDB$INDEX_NAME = S.RDB$INDEX_NAME\r\nORDER BY 1, S.RDB$FIELD_POSITION";
const std::string kDefaultsRead =
    "SELECT F.RDB$FIELD_NAME F_FieldName\r\n, F.RDB$RELATION_NAME F_RelationName\r\n"
    ", F.RDB$DEFAULT_SOURCE F_DefaultSource\r\n, D.RDB$DEFAULT_SOURCE D_DefaultSource\r\n"
    ", D.RDB$FIELD_TYPE D_FieldType\r\nFROM RDB$RELATION_FIELDS F\r\nINNER JOIN RDB$FIELDS D\r\n"
    "ON D.RDB$FIELD_NAME = F.RDB$FIELD_SOURCE\r\n"
    "WHERE (( F.RDB$DEFAULT_SOURCE IS NOT NULL ) OR ( D.RDB$DEFAULT_SOURCE IS NOT NULL ))\r\n"
    "AND NOT F.RDB$RELATION_NAME STARTING WITH 'RDB$'\r\nORDER BY 1";

std::vector<std::string> CatalogueRead(const std::string& statement) {
  return {"isc_dsql_prepare " + statement,
          "isc_dsql_sql_info 04 07 09 19 08",
          "isc_dsql_execute",
          "isc_dsql_set_cursor_name",
          "isc_dsql_fetch*",
          "isc_dsql_free_statement 1"};
}

class SettingsLoadRecording : public testing::DoubleTest {};

TEST_F(SettingsLoadRecording, OneLoadSendsExactlyTheseCalls) {
  db::testing::SettingsFixture fixture("rec_primary_key");
  fixture.ReadSettingsOnConnect();
  fixture.source.IBODatabase.Connect();
  EXPECT_EQ("08:00", fixture.values.time1);
  EXPECT_EQ(7, fixture.values.days);

  const std::vector<fbdouble::Call> calls = ServerCalls();
  std::vector<std::string> expected = {
      "isc_attach_database",
      "isc_database_info",
      // the parameter-order test
      "isc_dsql_allocate_statement",
      "isc_start_multiple 03 08 0F 11 07",
      "isc_dsql_prepare " + kParameterOrderTest,
      "isc_dsql_describe_bind",
      "isc_dsql_sql_info 04 07 09 19 08",
      // opening tblBackup
      "isc_start_multiple 03 09 02 07",
      "isc_dsql_allocate_statement",
  };
  const auto append = [&](const std::vector<std::string>& more) {
    expected.insert(expected.end(), more.begin(), more.end());
  };
  append(CatalogueRead(kProceduresRead));
  append(CatalogueRead(kTableKeysRead));
  append({"isc_dsql_prepare SELECT * FROM SIS_BACKUP", "isc_dsql_sql_info 04 07 09 19 08"});
  // ID_BACKUP is NOT NULL: computed columns, primary keys, foreign keys, defaults.
  append(CatalogueRead(kComputedRead));
  append(CatalogueRead(kTableKeysRead));
  append(CatalogueRead(kForeignKeysRead));
  append(CatalogueRead(kDefaultsRead));
  append({"isc_dsql_execute", "isc_dsql_set_cursor_name", "isc_dsql_fetch*", "isc_dsql_free_statement 1",
          // Disconnect
          "isc_commit_transaction", "isc_rollback_transaction", "isc_dsql_free_statement 2",
          "isc_dsql_free_statement 2", "isc_detach_database"});
  EXPECT_EQ(expected, Script(calls));

  // Handles: the settings query reuses the test query's handle, the catalogue reads share a second
  // one, and both are freed newest first.
  const auto allocations = fbdouble::CallsTo(calls, "isc_dsql_allocate_statement");
  ASSERT_EQ(2u, allocations.size());
  const std::string testHandle = OutArg(allocations[0], "stmt");
  const std::string catalogueHandle = OutArg(allocations[1], "stmt");
  EXPECT_NE(testHandle, catalogueHandle);
  const auto prepares = fbdouble::CallsTo(calls, "isc_dsql_prepare");
  for (const auto& prepare : prepares) {
    const std::string sql = Arg(prepare, "sql");
    EXPECT_EQ(sql == "SELECT * FROM SIS_BACKUP" || sql == kParameterOrderTest ? testHandle : catalogueHandle,
              Arg(prepare, "stmt"))
        << sql;
    EXPECT_EQ("1", Arg(prepare, "dialect")) << sql;
    EXPECT_EQ("0", Arg(prepare, "length")) << sql;
  }
  EXPECT_EQ("2", OutArg(prepares[0], "sqld")) << "the parameter-order test's two columns";
  const auto frees = fbdouble::CallsTo(calls, "isc_dsql_free_statement");
  ASSERT_GE(frees.size(), 2u);
  EXPECT_EQ(testHandle, Arg(frees[frees.size() - 2], "stmt"));
  EXPECT_EQ(catalogueHandle, Arg(frees[frees.size() - 1], "stmt"));
  EXPECT_EQ("0", OutArg(frees.back(), "stmt")) << "dropped";
  // The settings query's execute has no input descriptor, and only one row is fetched.
  const auto executes = fbdouble::CallsTo(calls, "isc_dsql_execute");
  EXPECT_EQ("null", Arg(executes.back(), "sqlda"));
  // The catalogue reads fetch to the end of their rows.
  std::size_t queryFetches = 0, endsOfRows = 0;
  for (const auto& call : fbdouble::CallsTo(calls, "isc_dsql_fetch")) {
    queryFetches += Arg(call, "stmt") == testHandle;
    endsOfRows += call.result == 100;
  }
  EXPECT_EQ(1u, queryFetches);
  EXPECT_EQ(6u, endsOfRows);
  // Cursor names are "C" and digits, different for every cursor.
  const auto names = fbdouble::CallsTo(calls, "isc_dsql_set_cursor_name");
  std::set<std::string> distinct;
  for (const auto& call : names) {
    const std::string name = Arg(call, "name");
    EXPECT_EQ('C', name.front());
    EXPECT_EQ(std::string::npos, name.find_first_not_of("0123456789", 1)) << name;
    distinct.insert(name);
  }
  EXPECT_EQ(names.size(), distinct.size());
}

TEST_F(SettingsLoadRecording, ASecondOpenOnTheSameAttachmentSendsNoPrepareAndNoCatalogueRead) {
  // With a primary key, and without one (whose key the first open reads alone).
  for (const bool primaryKey : {true, false}) {
    SCOPED_TRACE(primaryKey ? "primary key" : "no primary key");
    testsupport::AppDatabaseOptions options;
    options.primaryKey = primaryKey;
    db::testing::SettingsFixture fixture(primaryKey ? "rec_second_open" : "rec_second_open_no_key", options);
    TIBOQuery& query = fixture.source.tblBackup;
    std::vector<std::string> secondOpen;
    fixture.source.IBODatabase.AfterConnect = [&](TIB_Connection*) {
      query.Open();
      query.Close();
      Double().ClearCalls();
      query.Open();
      EXPECT_EQ("12:00", query.FieldByName("HR_BACKUP_2").AsString());
      query.Close();
      secondOpen = Script(ServerCalls());
    };
    fixture.source.IBODatabase.Connect();
    EXPECT_EQ((std::vector<std::string>{"isc_dsql_execute", "isc_dsql_set_cursor_name", "isc_dsql_fetch*",
                                        "isc_dsql_free_statement 1"}),
              secondOpen);
    fixture.source.IBODatabase.Disconnect();
  }
}

}  // namespace
}  // namespace db
