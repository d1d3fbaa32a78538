// Statements read two replies of isc_dsql_sql_info: the statement type of a text that is not a
// SELECT, and the relation aliases of a SELECT's columns on a Firebird 2 or later server. Both are
// served here through the client double. The type reply must give the type byte or one of the two
// statement errors; the alias reply is a courtesy and must never fail the prepare, whatever it holds.
//
// Input: the first byte chooses the reply (even: statement type, odd: relation aliases); the rest is
// the reply as the client library would write it into the statement's buffer.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "ConnectionCore.h"
#include "Errors.h"
#include "Messages.h"
#include "TIBODatabase.h"
#include "TIB_Statement.h"
#include "fuzz/ClientDouble.h"
#include "fuzz/FuzzCheck.h"
#include "tests/db/TestSystem.h"

namespace {

using fuzz::Require;

constexpr std::size_t kTypeReplyLength = 51;

// An information reply that names a Firebird 3 server, so that a SELECT asks for its aliases.
std::vector<unsigned char> FirebirdThreeReply() {
  const std::string version = "LI-V3.0.11.33703 Firebird 3.0";
  std::vector<unsigned char> reply = {isc_info_firebird_version,
                                      static_cast<unsigned char>(version.size() + 2), 0, 1,
                                      static_cast<unsigned char>(version.size())};
  reply.insert(reply.end(), version.begin(), version.end());
  reply.push_back(isc_info_end);
  return reply;
}

void CheckStatementType(db::TIB_Statement& statement, const std::vector<unsigned char>& reply) {
  // The statement's buffer is zero-filled; the client library writes at most its length.
  std::vector<unsigned char> buffer(kTypeReplyLength, 0);
  for (std::size_t i = 0; i < reply.size() && i < buffer.size(); ++i)
    buffer[i] = reply[i];
  statement.SetSQL({"UPDATE SIS_BACKUP SET NR_DIAS = 1"});
  try {
    statement.Prepare();
  } catch (const db::EIB_StatementError& error) {
    Require(error.Message() == db::messages::InvalidSqlInfo() ||
                error.Message() == db::messages::UnexpectedSqlInfoSize(),
            "a malformed type reply raises one of the two statement errors");
    Require(!statement.Prepared(), "a refused reply leaves the statement unprepared");
    Require(buffer[0] != isc_info_sql_stmt_type || (buffer[1] | (buffer[2] << 8)) > 255,
            "a well-formed type reply is never refused");
    return;
  }
  Require(buffer[0] == isc_info_sql_stmt_type && (buffer[1] | (buffer[2] << 8)) <= 255,
          "a malformed type reply is never accepted");
  Require(statement.Prepared() && statement.StatementType() == buffer[3],
          "the statement type is the byte after the length");
}

void CheckRelationAliases(db::TIB_Statement& statement) {
  statement.SetSQL({"SELECT * FROM SIS_BACKUP"});
  statement.Prepare();
  Require(statement.Prepared() && statement.StatementType() == isc_info_sql_stmt_select,
          "whatever the alias reply holds, the SELECT is prepared");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  fbdouble::Control& client = fuzz::ClientDouble();
  const bool aliases = (data[0] & 1) != 0;
  const std::vector<unsigned char> reply(data + 1, data + size);

  db::TIBODatabase database(db::testing::Machine(), "IBODatabase");
  database.SetDatabaseName("dbhost:/dados/app.fdb");
  client.QueueReply("isc_database_info", FirebirdThreeReply());
  database.Connect();
  Require(database.Connected() && database.Core().Characteristics().fbMajor == 3, "the fake attach holds");

  db::TIB_Statement statement("statement");
  statement.SetIB_Connection(&database.Core());
  client.QueueReply("isc_dsql_sql_info", reply);
  if (aliases) {
    CheckRelationAliases(statement);
  } else {
    CheckStatementType(statement, reply);
  }
  return 0;
}
