// Transactions as the client library receives them.

#include <algorithm>
#include <functional>
#include <memory>
#include <thread>

#include "BackupSettingsSource.h"
#include "ConnectionCore.h"
#include "Errors.h"
#include "SchemaCache.h"
#include "TIB_Session.h"
#include "TIB_Transaction.h"
#include "platform/Cp1252.h"
#include "tests/db/DoubleTestSupport.h"
#include "tests/db/RaisedMessage.h"

namespace db {
namespace {

using testing::Arg;
using testing::InfoReply;

constexpr ISC_STATUS kConnectionLost = 335544648;

// A clock that moves only when the program sleeps, by a fixed step whatever the pause it asked for.
class SteppingClock : public platform::Clock {
 public:
  explicit SteppingClock(std::chrono::milliseconds step) : step_(step) {}
  platform::TimePoint Now() override { return now_; }
  platform::LocalDateTime ToLocal(platform::TimePoint) override { return {2026, 1, 2, 3, 4, 5}; }
  char DateSeparator() override { return '/'; }
  char TimeSeparator() override { return ':'; }
  void Sleep(std::chrono::milliseconds duration) override {
    pauses.push_back(duration);
    now_ += step_;
  }

  std::vector<std::chrono::milliseconds> pauses;

 private:
  std::chrono::milliseconds step_;
  platform::TimePoint now_{std::chrono::hours(24 * 365 * 50)};
};

class TransactionCalls : public testing::SourceDoubleTest {
 protected:
  void TearDown() override {
    system_.clock.Replace(nullptr);
    SourceDoubleTest::TearDown();
  }
  // Attaches with an information reply of an ODS 12 database (so the parameter-order test runs).
  void Attach(unsigned char readOnly = 0) {
    Double().QueueReply("isc_database_info", InfoReply({{32, {12, 0, 0, 0}}, {62, {1}}, {63, {readOnly}}}));
    source_.IBODatabase.Connect();
  }
  std::vector<std::string> StartTpbs() {
    std::vector<std::string> tpbs;
    for (const auto& call : fbdouble::CallsTo(Double().Calls(), "isc_start_multiple")) {
      tpbs.push_back(Arg(call, "teb0.tpb"));
    }
    return tpbs;
  }

  // Starts the settings transaction with the clock in place while every attempt reports a lost
  // connection; the one failure must be reported once. Gives the number of attempts.
  std::size_t AttemptsWhileTheConnectionIsLost(std::chrono::milliseconds clockStep) {
    clock_ = std::make_unique<SteppingClock>(clockStep);
    system_.clock.Replace(clock_.get());
    Attach();
    Double().ClearCalls();
    Double().Fail("isc_start_multiple", {1, kConnectionLost, 0}, 0, -1);
    int errors = 0;
    source_.IBOTransaction.OnError = [&](TIB_Component*, long errCode, const TextLines&, const TextLines&,
                                         long, const TextLines&, const TextLines&, bool& raise) {
      ++errors;
      EXPECT_EQ(kConnectionLost, errCode);
      raise = false;
    };
    EXPECT_FALSE(source_.IBOTransaction.EnsureStarted());
    EXPECT_EQ(1, errors);
    EXPECT_FALSE(source_.IBOTransaction.Started());
    return fbdouble::CallsTo(Double().Calls(), "isc_start_multiple").size();
  }

  std::unique_ptr<SteppingClock> clock_;
};

TEST_F(TransactionCalls, EachOfTheThreeTransactionsStartsWithItsOwnTpb) {
  Attach();
  // The parameter-order test started the schema cache's read-only transaction.
  EXPECT_EQ((std::vector<std::string>{"03 08 0F 11 07"}), StartTpbs());
  ASSERT_TRUE(source_.IBOTransaction.EnsureStarted());
  source_.IBODatabase.OwnDefaultTransaction().EnsureStarted();
  EXPECT_EQ((std::vector<std::string>{"03 08 0F 11 07", "03 09 02 07", "03 09 0F 11 07"}), StartTpbs());
  const auto starts = fbdouble::CallsTo(Double().Calls(), "isc_start_multiple");
  EXPECT_EQ("1", Arg(starts[1], "count"));
  EXPECT_EQ(std::to_string(source_.IBODatabase.Core().Handle()), Arg(starts[1], "teb0.db"));
  EXPECT_TRUE(source_.IBOTransaction.Started());
  // A started transaction keeps its handle; a second EnsureStarted makes no call.
  EXPECT_TRUE(source_.IBOTransaction.EnsureStarted());
  EXPECT_EQ(3u, StartTpbs().size());
}

TEST_F(TransactionCalls, OnAReadOnlyDatabaseEveryTransactionStartsForReading) {
  Attach(1);
  source_.IBOTransaction.EnsureStarted();
  source_.IBODatabase.OwnDefaultTransaction().EnsureStarted();
  EXPECT_EQ((std::vector<std::string>{"03 08 0F 11 07", "03 08 02 07", "03 08 0F 11 07"}), StartTpbs());
}

TEST_F(TransactionCalls, WhenTheDatabaseCannotBeAskedTransactionsStillStartForWriting) {
  // Every information request fails and a handler lets the program go on: nothing says the database
  // is read-only, so the transactions must not be started as if it were.
  Double().Fail("isc_database_info", {1, 335544344, 0}, 0, -1);
  int errors = 0;
  source_.IBODatabase.OnError = [&](TIB_Component*, long, const TextLines&, const TextLines&, long,
                                    const TextLines&, const TextLines&, bool& raise) {
    ++errors;
    raise = false;
  };
  source_.IBODatabase.Connect();
  ASSERT_TRUE(source_.IBOTransaction.EnsureStarted());
  EXPECT_EQ((std::vector<std::string>{"03 09 02 07"}), StartTpbs());
  EXPECT_LE(2, errors);
}

TEST_F(TransactionCalls, TheSettingsBuildTheirTpbItems) {
  TIB_Transaction transaction;
  transaction.SetIsolation(TIB_Isolation::tiConsistency);
  transaction.SetLockWait(true);
  transaction.SetServerAutoCommit(true);
  EXPECT_EQ((std::vector<char>{3, 9, 1, 6, 16}), transaction.BuildTPB(false));
  EXPECT_TRUE(transaction.AutoCommit());
  transaction.SetIsolation(TIB_Isolation::tiCommitted);
  transaction.SetRecVersion(false);
  EXPECT_EQ((std::vector<char>{3, 8, 15, 18, 6, 16}), transaction.BuildTPB(true));
}

TEST_F(TransactionCalls, AHandlerMayExtendTheTpbWithinItsBuffer) {
  Attach();
  TIBOTransaction& transaction = source_.IBOTransaction;
  transaction.OnCustomizeTPB = [&](TIB_Transaction* sender, TIB_Connection* connection,
                                   std::vector<char>& tpb, int& length) {
    EXPECT_EQ(&transaction, sender);
    EXPECT_EQ(&source_.IBODatabase, connection);
    EXPECT_GE(tpb.size(), 1024u);
    tpb[static_cast<std::size_t>(length++)] = isc_tpb_lock_timeout;
    tpb[static_cast<std::size_t>(length++)] = 1;
    tpb[static_cast<std::size_t>(length++)] = 5;
  };
  ASSERT_TRUE(transaction.EnsureStarted());
  EXPECT_EQ("03 09 02 07 15 01 05", StartTpbs().back());
  transaction.Rollback();

  // The version byte alone is a whole TPB: the server's defaults apply.
  transaction.OnCustomizeTPB = [](TIB_Transaction*, TIB_Connection*, std::vector<char>&, int& length) {
    length = 1;
  };
  ASSERT_TRUE(transaction.EnsureStarted());
  EXPECT_EQ("03", StartTpbs().back());
  transaction.Rollback();

  transaction.OnCustomizeTPB = [](TIB_Transaction*, TIB_Connection*, std::vector<char>& tpb, int& length) {
    length = static_cast<int>(tpb.size()) + 10;
  };
  EXPECT_EQ("TPB inv\xE1lido: tamanho fora do buffer",
            testing::MessageRaised<EIB_TransactionError>([&] { transaction.EnsureStarted(); }));
  EXPECT_FALSE(transaction.Started());
}

TEST_F(TransactionCalls, SettingsCannotChangeOnceStarted) {
  Attach();
  TIBOTransaction& transaction = source_.IBOTransaction;
  transaction.EnsureStarted();
  const std::vector<std::pair<std::string, std::function<void()>>> changes = {
      {"ReadOnly", [&] { transaction.SetReadOnly(true); }},
      {"Isolation", [&] { transaction.SetIsolation(TIB_Isolation::tiCommitted); }},
      {"RecVersion", [&] { transaction.SetRecVersion(true); }},
      {"LockWait", [&] { transaction.SetLockWait(true); }},
  };
  for (const auto& [name, change] : changes) {
    try {
      change();
      ADD_FAILURE() << name;
    } catch (const EIB_TransactionError& error) {
      EXPECT_EQ("N\xE3o \xE9 poss\xEDvel alterar " + name + " uma vez iniciado", error.Message());
    }
  }
  // Setting the value it already has is no change.
  EXPECT_NO_THROW(transaction.SetIsolation(TIB_Isolation::tiConcurrency));
  EXPECT_NO_THROW(transaction.SetRecVersion(false));
}

TEST_F(TransactionCalls, ATransactionWithoutAConnectionUsesTheSessionsFirstOrIsRefused) {
  std::string message;
  std::thread([&] {
    TIB_Transaction alone;  // another thread: a session without connections
    try {
      alone.EnsureStarted();
    } catch (const EIB_TransactionError& error) {
      message = error.Message();
    }
  }).join();
  EXPECT_EQ("A transa\xE7\xE3o n\xE3o possui uma conex\xE3o", message);

  Attach();
  TIB_Transaction orphan;
  EXPECT_TRUE(orphan.EnsureStarted());
  EXPECT_EQ(&source_.IBODatabase.Core(), orphan.IB_Connection());
  orphan.Rollback();
  EXPECT_FALSE(orphan.Started());
}

TEST_F(TransactionCalls, ALostConnectionAtStartIsRetriedForTwoSecondsAndReportedOnce) {
  // Attempts at 0, 20, ... 1980 ms, each failed one followed by a pause of 20 ms: a hundred.
  EXPECT_EQ(100u, AttemptsWhileTheConnectionIsLost(std::chrono::milliseconds(20)));
  EXPECT_EQ(std::vector<std::chrono::milliseconds>(100, std::chrono::milliseconds(20)), clock_->pauses);
}

TEST_F(TransactionCalls, SlowAttemptsAtStartStillEndAfterTwoSeconds) {
  // At 0, 700 and 1400 ms; the pause after the third ends at 2100.
  EXPECT_EQ(3u, AttemptsWhileTheConnectionIsLost(std::chrono::milliseconds(700)));
}

TEST_F(TransactionCalls, AClockSetBackDuringTheRetryEndsIt) {
  EXPECT_EQ(1u, AttemptsWhileTheConnectionIsLost(-std::chrono::milliseconds(3600 * 1000)));
}

TEST_F(TransactionCalls, AStartFailingWithAnotherCodeIsCalledOnce) {
  Attach();
  Double().ClearCalls();
  Double().Fail("isc_start_multiple", {1, 335544345, 0}, 0, -1);  // lock conflict
  EXPECT_THROW(source_.IBOTransaction.EnsureStarted(), EIB_ISCError);
  EXPECT_EQ(1u, fbdouble::CallsTo(Double().Calls(), "isc_start_multiple").size());
}

TEST_F(TransactionCalls, ALostConnectionAtCommitIsRolledBackWithoutACallAndNotDetached) {
  Attach();
  TIB_Transaction& internal = source_.IBODatabase.Core().Schema().Transaction();
  ASSERT_TRUE(internal.Started());
  source_.IBOTransaction.EnsureStarted();
  Double().Fail("isc_commit_transaction", {1, kConnectionLost, 0});
  EXPECT_THROW(internal.Commit(), EIB_ISCError);
  EXPECT_TRUE(internal.ConnectionLost());
  EXPECT_TRUE(source_.IBOTransaction.ConnectionLost());
  EXPECT_TRUE(source_.IBODatabase.Core().ConnectionLost());
  Double().ClearCalls();
  source_.IBODatabase.Disconnect();
  EXPECT_FALSE(source_.IBODatabase.Connected());
  EXPECT_FALSE(internal.Started());
  EXPECT_FALSE(source_.IBOTransaction.Started());
  const std::vector<std::string> entries = ServerEntries();
  for (const char* absent : {"isc_rollback_transaction", "isc_commit_transaction", "isc_detach_database"}) {
    EXPECT_EQ(entries.end(), std::find(entries.begin(), entries.end(), absent)) << absent;
  }
  // A new attach clears the mark.
  Attach();
  EXPECT_FALSE(source_.IBODatabase.Core().ConnectionLost());
}

TEST_F(TransactionCalls, AnotherCommitFailureFlushesTheCachesAndCommitsOnceMore) {
  Attach();
  TIB_Transaction& internal = source_.IBODatabase.Core().Schema().Transaction();
  ASSERT_EQ(1u, source_.IBODatabase.Core().StatementHandles().Size());
  Double().ClearCalls();
  Double().Fail("isc_commit_transaction", {1, 335544345, 0});
  internal.Commit();
  EXPECT_FALSE(internal.Started());
  EXPECT_EQ((std::vector<std::string>{"isc_commit_transaction", "isc_dsql_free_statement",
                                      "isc_commit_transaction"}),
            ServerEntries());
  EXPECT_EQ(0u, source_.IBODatabase.Core().StatementHandles().Size());
}

TEST_F(TransactionCalls, CommitAndRollbackFireTheirEventsInOrderAndAFailedCommitFiresNoAfterEvent) {
  Attach();
  TIBOTransaction& transaction = source_.IBOTransaction;
  std::vector<std::string> events;
  const auto record = [&](const char* name) {
    return [&, name](TIB_Transaction* sender) {
      EXPECT_EQ(&transaction, sender) << name;
      events.push_back(name);
    };
  };
  transaction.BeforeEnd = record("BeforeEnd");
  transaction.AfterEnd = record("AfterEnd");
  transaction.BeforeCommit = record("BeforeCommit");
  transaction.AfterCommit = record("AfterCommit");
  transaction.BeforeRollback = record("BeforeRollback");
  transaction.AfterRollback = record("AfterRollback");
  struct Case {
    const char* name;
    bool start;
    int failingCommits;
    std::function<void()> end;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"commit",
       true,
       0,
       [&] { transaction.Commit(); },
       {"BeforeEnd", "BeforeCommit", "AfterCommit", "AfterEnd"}},
      {"rollback",
       true,
       0,
       [&] { transaction.Rollback(); },
       {"BeforeEnd", "BeforeRollback", "AfterRollback", "AfterEnd"}},
      // Refused twice (the second after the caches are flushed): the error is raised, no After event.
      {"failed commit",
       true,
       2,
       [&] { EXPECT_THROW(transaction.Commit(), EIB_ISCError); },
       {"BeforeEnd", "BeforeCommit"}},
      // The same with a handler that keeps the error from being raised: still no After event.
      {"failed commit, error handled",
       true,
       2,
       [&] {
         transaction.OnError = [](TIB_Component*, long, const TextLines&, const TextLines&, long,
                                  const TextLines&, const TextLines&, bool& raise) { raise = false; };
         EXPECT_NO_THROW(transaction.Commit());
         transaction.OnError = nullptr;
       },
       {"BeforeEnd", "BeforeCommit"}},
      {"commit of nothing", false, 0, [&] { transaction.Commit(); }, {}},
      {"rollback of nothing", false, 0, [&] { transaction.Rollback(); }, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    transaction.Rollback();
    if (c.start) {
      ASSERT_TRUE(transaction.EnsureStarted());
    }
    if (c.failingCommits > 0) Double().Fail("isc_commit_transaction", {1, 335544345, 0}, 0, c.failingCommits);
    events.clear();
    c.end();
    EXPECT_EQ(c.expected, events);
  }
  // An end asked for from inside an end's event is not begun a second time.
  transaction.Rollback();
  ASSERT_TRUE(transaction.EnsureStarted());
  transaction.BeforeCommit = [&](TIB_Transaction*) {
    events.push_back("BeforeCommit");
    transaction.Rollback();
  };
  events.clear();
  transaction.Commit();
  EXPECT_EQ((std::vector<std::string>{"BeforeEnd", "BeforeCommit", "AfterCommit", "AfterEnd"}), events);
  EXPECT_FALSE(transaction.Started());
}

TEST_F(TransactionCalls, DisconnectCommitsTheInternalRollsBackTheQuerysAndLeavesTheDefault) {
  Attach();
  source_.IBOTransaction.EnsureStarted();
  Double().ClearCalls();
  source_.IBODatabase.Disconnect();
  const auto calls = ServerCalls();
  ASSERT_EQ(4u, calls.size());
  EXPECT_EQ("isc_commit_transaction", calls[0].entry);
  EXPECT_EQ("isc_rollback_transaction", calls[1].entry);
  EXPECT_EQ("isc_dsql_free_statement", calls[2].entry);
  EXPECT_EQ("2", Arg(calls[2], "option"));
  EXPECT_EQ("isc_detach_database", calls[3].entry);
  EXPECT_FALSE(source_.IBOTransaction.Started());
}

}  // namespace
}  // namespace db
