// Statements, the handle cache and the schema cache's failures, as the client library sees them.

#include "BackupSettingsSource.h"
#include "ConnectionCore.h"
#include "Errors.h"
#include "SchemaCache.h"
#include "TIB_Statement.h"
#include "TIB_Transaction.h"
#include "platform/Cp1252.h"
#include "tests/db/DoubleTestSupport.h"
#include "tests/db/RaisedMessage.h"
#include "tests/db/ServerTestSupport.h"
#include "tests/db/TestSystem.h"

namespace db {
namespace {

using testing::Arg;
using testing::InfoReply;

class StatementCalls : public testing::SourceDoubleTest {
 protected:
  void SetUp() override {
    SourceDoubleTest::SetUp();
    Double().QueueReply("isc_database_info", InfoReply({{32, {12, 0, 0, 0}}, {62, {1}}}));
    source_.IBODatabase.Connect();
    statement_.SetIB_Connection(&source_.IBODatabase.Core());
    statement_.SetIB_Transaction(&source_.IBOTransaction);
    Double().ClearCalls();
  }

  TIB_Statement statement_{"statement"};
};

TEST_F(StatementCalls, ADynamicSqlErrorAtPrepareIsTriedOnceMore) {
  statement_.SetSQL({"SELECT 1 FROM RDB$DATABASE"});
  Double().Fail("isc_dsql_prepare", {1, isc_dsql_error, 0});
  statement_.Prepare();
  EXPECT_TRUE(statement_.Prepared());
  EXPECT_EQ(2u, fbdouble::CallsTo(Double().Calls(), "isc_dsql_prepare").size());
  EXPECT_EQ(isc_info_sql_stmt_select, statement_.StatementType());
}

TEST_F(StatementCalls, AnotherPrepareErrorIsReportedAndLeavesItUnprepared) {
  statement_.SetSQL({"SELECT 1 FROM RDB$DATABASE"});
  Double().Fail("isc_dsql_prepare", {1, 335544343, 0}, 0, 1);  // isc_invalid_blr... any other code
  EXPECT_THROW(statement_.Prepare(), EIB_ISCError);
  EXPECT_FALSE(statement_.Prepared());
  EXPECT_EQ(1u, fbdouble::CallsTo(Double().Calls(), "isc_dsql_prepare").size());
}

TEST_F(StatementCalls, BlankTextsAreRefusedBeforeTheServerSeesThem) {
  statement_.SetSQL({});
  EXPECT_EQ(
      "N\xE3o \xE9 poss\xEDvel preparar uma senten\xE7"
      "a em branco",
      testing::MessageRaised<EIB_StatementError>([&] { statement_.Prepare(); }));
  statement_.SetSQL({"   ", ""});
  EXPECT_THROW(statement_.Prepare(), EIB_StatementError);
  EXPECT_TRUE(fbdouble::CallsTo(Double().Calls(), "isc_dsql_prepare").empty());
}

TEST_F(StatementCalls, TheKindOfANonSelectIsAskedAndAMalformedReplyRefused) {
  statement_.SetSQL({"UPDATE SIS_BACKUP SET NR_DIAS = 1"});
  Double().QueueReply("isc_dsql_sql_info", {21, 4, 0, 4, 0, 0, 0, 1});
  statement_.Prepare();
  EXPECT_EQ(4, statement_.StatementType());
  const auto info = fbdouble::CallsTo(Double().Calls(), "isc_dsql_sql_info");
  ASSERT_EQ(1u, info.size());
  EXPECT_EQ("11", Arg(info[0], "itemsLength"));
  EXPECT_EQ("15 00 00 00 00 00 00 00 00 00 00", Arg(info[0], "items"));
  EXPECT_EQ("51", Arg(info[0], "resultLength"));

  TIB_Statement other("other");
  other.SetIB_Connection(&source_.IBODatabase.Core());
  other.SetSQL({"DELETE FROM SIS_BACKUP"});
  Double().QueueReply("isc_dsql_sql_info", {22, 1, 0, 4, 1});
  EXPECT_EQ("Dados inv\xE1lidos foram retornados por isc_dsql_sql_info",
            testing::MessageRaised<EIB_StatementError>([&] { other.Prepare(); }));
  other.Unprepare();
  Double().QueueReply("isc_dsql_sql_info", {21, 0x00, 0x01, 4, 1});
  EXPECT_EQ("Tamanho inesperado de isc_dsql_sql_info",
            testing::MessageRaised<EIB_StatementError>([&] { other.Prepare(); }));
}

TEST_F(StatementCalls, ExecutingWhileTheCursorIsOpenIsRefused) {
  statement_.SetSQL({"SELECT 1 FROM RDB$DATABASE"});
  statement_.Execute();
  ASSERT_TRUE(statement_.CursorOpen());
  EXPECT_EQ("O cursor ainda est\xE1 aberto",
            testing::MessageRaised<EIB_DatasetError>([&] { statement_.Execute(); }));
  EXPECT_EQ(1u, fbdouble::CallsTo(Double().Calls(), "isc_dsql_execute").size());
  statement_.CloseCursor();
  const auto frees = fbdouble::CallsTo(Double().Calls(), "isc_dsql_free_statement");
  ASSERT_EQ(1u, frees.size());
  EXPECT_EQ("1", Arg(frees[0], "option"));
  // Closed, it runs again.
  statement_.Execute();
  EXPECT_TRUE(statement_.CursorOpen());
}

TEST_F(StatementCalls, EveryCachedHandleIsFreedNewestFirstEvenWhenOneFreeFails) {
  // The parameter-order test left one handle; two more statements give theirs back.
  TIB_Statement second("second");
  second.SetIB_Connection(&source_.IBODatabase.Core());
  second.SetSQL({"SELECT 2 FROM RDB$DATABASE"});
  statement_.SetSQL({"SELECT 1 FROM RDB$DATABASE"});
  statement_.Prepare();
  second.Prepare();
  const isc_stmt_handle first = statement_.Handle();
  const isc_stmt_handle newest = second.Handle();
  statement_.Unprepare();
  second.Unprepare();
  ASSERT_EQ(2u, source_.IBODatabase.Core().StatementHandles().Size());
  Double().ClearCalls();
  Double().Fail("isc_dsql_free_statement", {1, 335544721, 2, fbdouble::Arg("h"), 0});
  source_.IBODatabase.Disconnect();
  const auto frees = fbdouble::CallsTo(Double().Calls(), "isc_dsql_free_statement");
  ASSERT_EQ(2u, frees.size());
  EXPECT_EQ(std::to_string(newest), Arg(frees[0], "stmt"));
  EXPECT_EQ(std::to_string(first), Arg(frees[1], "stmt"));
  EXPECT_EQ("2", Arg(frees[1], "option"));
  EXPECT_EQ(0u, source_.IBODatabase.Core().StatementHandles().Size());
  EXPECT_FALSE(source_.IBODatabase.Connected());
}

TEST_F(StatementCalls, WithoutHandleCachingAReleasedHandleIsDroppedAtOnce) {
  source_.IBODatabase.Core().CacheStatementHandles = false;
  statement_.SetSQL({"SELECT 1 FROM RDB$DATABASE"});
  statement_.Prepare();
  const isc_stmt_handle handle = statement_.Handle();
  Double().ClearCalls();
  statement_.Unprepare();
  const auto frees = fbdouble::CallsTo(Double().Calls(), "isc_dsql_free_statement");
  ASSERT_EQ(1u, frees.size());
  EXPECT_EQ(std::to_string(handle), Arg(frees[0], "stmt"));
  EXPECT_EQ("2", Arg(frees[0], "option"));
  EXPECT_EQ(0u, statement_.Handle());
}

TEST_F(StatementCalls, AQueryWhoseConnectionCannotAttachHasNoActiveTransaction) {
  BackupSettingsSource unreachable{testing::Machine()};
  unreachable.IBODatabase.SetDatabaseName("dbhost:/data/other.fdb");
  unreachable.IBODatabase.OnError = [](TIB_Component*, long, const TextLines&, const TextLines&, long,
                                       const TextLines&, const TextLines&, bool& raise) { raise = false; };
  Double().Fail("isc_attach_database", {1, 335544721, 2, fbdouble::Arg("dbhost"), 0}, 0, -1);
  EXPECT_EQ("N\xE3o h\xE1 uma transa\xE7\xE3o ativa para a execu\xE7\xE3o",
            testing::MessageRaised<EIB_StatementError>([&] { unreachable.tblBackup.Open(); }));
  EXPECT_FALSE(unreachable.tblBackup.Active());
}

class SchemaCacheFailure : public testing::DoubleTest {};

TEST_F(SchemaCacheFailure, AFailedTableKeyReadIsAnAssertionButANetworkErrorIsNot) {
  testsupport::AppDatabaseOptions options;
  options.primaryKey = false;
  db::testing::SettingsFixture fixture("rec_key_read_fails", options);
  TIBOQuery& query = fixture.source.tblBackup;
  // Prepares before the table key read: the parameter-order test, catalogue reads 1 and 2.
  Double().Fail("isc_dsql_prepare", {1, 335544343, 0}, 3);
  fixture.source.IBODatabase.Connect();
  EXPECT_EQ("Internal SchemaCache ERRCODE: 335544343",
            testing::MessageRaised<AssertionFailure>([&] { query.Open(); }));
  EXPECT_FALSE(query.Active());
  fixture.source.IBODatabase.Disconnect();

  // A network error is not an inconsistency: the table simply has no key from the catalogue.
  Double().Fail("isc_dsql_prepare", {1, 335544721, 2, fbdouble::Arg("h"), 0}, 3);
  fixture.source.IBODatabase.Connect();
  EXPECT_NO_THROW(query.Open());
  EXPECT_TRUE(query.Active());
  EXPECT_EQ("08:00", query.FieldByName("HR_BACKUP_1").AsString());
  query.Close();
  fixture.source.IBODatabase.Disconnect();
}

}  // namespace
}  // namespace db
