// The error route: lists, texts and dispatch of a failed client call, with injected status vectors.

#include "ClientLibrary.h"
#include "Errors.h"
#include "TIBODatabase.h"
#include "TIB_Session.h"
#include "platform/Cp1252.h"
#include "tests/db/DoubleTestSupport.h"
#include "tests/db/RaisedMessage.h"
#include "tests/db/TestSystem.h"

namespace db {
namespace {

using fbdouble::Arg;

constexpr ISC_STATUS kNetworkError = 335544721;
constexpr ISC_STATUS kNetReadError = 335544726;
constexpr ISC_STATUS kRandom = 335544382;
constexpr ISC_STATUS kException = 335544517;

struct Captured {
  int calls = 0;
  long errCode = 0;
  TextLines errorMessage, errorCodes, sqlMessage, sql;
  long sqlCode = 0;
};

class ErrorRoute : public testing::DoubleTest {
 protected:
  void SetUp() override {
    DoubleTest::SetUp();
    Double().SetForwarding(false);
    database_.SetDatabaseName("srv:/x.fdb");
  }

  // Attaches with the attach failing with `status`; the handler keeps what it saw and clears the error.
  Captured FailAttach(const std::vector<ISC_STATUS>& status) {
    Captured captured;
    database_.OnError = [&](TIB_Component*, long errCode, const TextLines& message, const TextLines& codes,
                            long sqlCode, const TextLines& sqlMessage, const TextLines& sql, bool& raise) {
      ++captured.calls;
      captured.errCode = errCode;
      captured.errorMessage = message;
      captured.errorCodes = codes;
      captured.sqlCode = sqlCode;
      captured.sqlMessage = sqlMessage;
      captured.sql = sql;
      raise = false;
    };
    Double().Fail("isc_attach_database", status);
    database_.Connect();
    database_.OnError = nullptr;
    return captured;
  }

  EIB_ISCError RaisedBy(const std::vector<ISC_STATUS>& status) {
    Double().Fail("isc_attach_database", status);
    try {
      database_.Connect();
    } catch (const EIB_ISCError& error) {
      return error;
    }
    ADD_FAILURE() << "nothing raised";
    return EIB_ISCError(nullptr, "", 0, {}, {}, 0, {}, {});
  }

  TIBODatabase database_{testing::Machine(), "IBODatabase"};
};

TEST_F(ErrorRoute, ATwoMessageVectorGivesFiveMessageLinesAndThreeCodes) {
  const Captured captured = FailAttach({1, kNetworkError, 2, Arg("dbhost"), 1, kNetReadError, 0});
  EXPECT_EQ(1, captured.calls);
  EXPECT_EQ(kNetworkError, captured.errCode);
  ASSERT_EQ(5u, captured.errorMessage.size());
  EXPECT_EQ("ISC ERROR CODE:335544721", captured.errorMessage[0]);
  EXPECT_EQ("", captured.errorMessage[1]);
  EXPECT_EQ("ISC ERROR MESSAGE:", captured.errorMessage[2]);
  EXPECT_NE(std::string::npos, captured.errorMessage[3].find("dbhost")) << captured.errorMessage[3];
  EXPECT_FALSE(captured.errorMessage[4].empty());
  ASSERT_EQ(3u, captured.errorCodes.size());
  EXPECT_EQ("335544721", captured.errorCodes[0]);
  EXPECT_EQ("2", captured.errorCodes[1]);
  EXPECT_EQ(-902, captured.sqlCode);
  ASSERT_EQ(4u, captured.sqlMessage.size());
  EXPECT_EQ("SQL ERROR CODE:-902", captured.sqlMessage[0]);
  EXPECT_EQ("", captured.sqlMessage[1]);
  EXPECT_EQ("SQL ERROR MESSAGE:", captured.sqlMessage[2]);
  EXPECT_FALSE(captured.sqlMessage[3].empty());
  EXPECT_TRUE(captured.sql.empty());
  EXPECT_FALSE(database_.Connected());
}

TEST_F(ErrorRoute, ARepeatedLineIsListedOnce) {
  const Captured captured =
      FailAttach({1, kNetReadError, 1, kNetReadError, 1, kNetworkError, 2, Arg("h"), 0});
  ASSERT_EQ(5u, captured.errorMessage.size());
  EXPECT_NE(captured.errorMessage[3], captured.errorMessage[4]);
  EXPECT_EQ(4u, captured.errorCodes.size());
}

TEST_F(ErrorRoute, TheRaisedTextIsEveryLineWithCrLfAndLongTextsAreCut) {
  const EIB_ISCError shortError = RaisedBy({1, kNetReadError, 0});
  ASSERT_EQ(4u, shortError.ErrorMessage().size());
  std::string expected;
  for (const std::string& line : shortError.ErrorMessage())
    expected += line + "\r\n";
  EXPECT_EQ(expected, shortError.Message());
  EXPECT_EQ(&database_, shortError.Sender());

  const std::string longText(300, 'x');
  const EIB_ISCError longError = RaisedBy({1, kRandom, 2, Arg(longText.c_str()), 0});
  EXPECT_EQ(255u, longError.Message().size());
  EXPECT_EQ("(...)", longError.Message().substr(250));
  EXPECT_EQ(longText, longError.ErrorMessage().at(3));
}

TEST_F(ErrorRoute, AnExceptionOfTheDatabaseShowsItsOwnMessageLine) {
  const EIB_ISCError five = RaisedBy({1, kException, 4, 7, 1, kRandom, 2, Arg("Mensagem do gatilho"), 0});
  EXPECT_EQ(-836, five.SQLCODE());
  ASSERT_EQ(5u, five.ErrorMessage().size());
  EXPECT_EQ("Mensagem do gatilho", five.Message());
  const EIB_ISCError six =
      RaisedBy({1, kException, 4, 7, 1, kRandom, 2, Arg("primeira"), 1, kRandom, 2, Arg("segunda"), 0});
  ASSERT_EQ(6u, six.ErrorMessage().size());
  EXPECT_EQ("segunda", six.Message());
}

TEST_F(ErrorRoute, TheSessionHandlerFollowsOnlyWhenTheComponentDidNotClearTheError) {
  int sessionCalls = 0;
  database_.IB_Session().OnError = [&](TIB_Component* sender, long, const TextLines&, const TextLines&, long,
                                       const TextLines&, const TextLines&, bool& raise) {
    ++sessionCalls;
    EXPECT_EQ(&database_, sender);
    raise = false;
  };
  FailAttach({1, kNetReadError, 0});
  EXPECT_EQ(0, sessionCalls);
  Double().Fail("isc_attach_database", {1, kNetReadError, 0});
  EXPECT_NO_THROW(database_.Connect());
  EXPECT_EQ(1, sessionCalls);
  database_.IB_Session().OnError = nullptr;
}

TEST_F(ErrorRoute, WithoutALoadableLibraryTheClientIsReportedMissingAndNoEventFires) {
  SetClientLibraryFileNames({"/nonexistent/libfbclient.so.2"});
  int errors = 0;
  int afterConnect = 0;
  database_.OnError = [&](TIB_Component*, long, const TextLines&, const TextLines&, long, const TextLines&,
                          const TextLines&, bool&) { ++errors; };
  database_.AfterConnect = [&](TIB_Connection*) { ++afterConnect; };
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      database_.Connect();
      FAIL();
    } catch (const EIB_ISCError&) {
      FAIL() << "reported as a server error";
    } catch (const EIB_Error& error) {
      EXPECT_EQ("O cliente InterBase (GDS32.DLL) n\xE3o est\xE1 instalado", error.Message());
      EXPECT_EQ(&database_, error.Sender());
    }
    EXPECT_EQ(-1, database_.IB_Session().LastResult());
  }
  EXPECT_EQ(0, errors);
  EXPECT_EQ(0, afterConnect);
  // Each Connect tries to load again; once the library is there it attaches.
  SetClientLibraryFileNames({fbdouble::VariantPath("full")});
  database_.Connect();
  EXPECT_TRUE(database_.Connected());
  EXPECT_EQ(1, afterConnect);
  database_.Disconnect();
}

TEST_F(ErrorRoute, ALibraryLackingARequiredEntryPointBindsNothing) {
  fbdouble::LoadVariant("missing_required");
  SetClientLibraryFileNames({fbdouble::VariantPath("missing_required")});
  for (int attempt = 0; attempt < 2; ++attempt) {
    EXPECT_EQ("N\xE3o \xE9 poss\xEDvel localizar a DLL de importa\xE7\xE3o isc_blob_info",
              testing::MessageRaised<EIB_Error>([&] { database_.Connect(); }));
    EXPECT_EQ(nullptr, Client().isc_attach_database);
    EXPECT_EQ(nullptr, Client().isc_interprete);
    EXPECT_FALSE(database_.Connected());
  }
  SetClientLibraryFileNames({fbdouble::VariantPath("full")});
  database_.Connect();
  EXPECT_TRUE(database_.Connected());
  database_.Disconnect();
}

TEST_F(ErrorRoute, MissingServiceEntryPointsAreReplacedByTheirNotImplementedErrors) {
  fbdouble::Control& noServices = fbdouble::LoadVariant("no_services");
  noServices.SetForwarding(false);
  SetClientLibraryFileNames({fbdouble::VariantPath("no_services")});
  database_.Connect();
  EXPECT_TRUE(database_.Connected());
  ASSERT_NE(nullptr, Client().isc_service_detach);
  EXPECT_EQ("isc_service_dettach() not implemented",
            testing::MessageRaised<EIB_Error>([&] { Client().isc_service_detach(nullptr, nullptr); }));
  EXPECT_THROW(Client().isc_service_attach(nullptr, 0, nullptr, nullptr, 0, nullptr), EIB_Error);
  database_.Disconnect();
  noServices.Reset();
}

}  // namespace
}  // namespace db
