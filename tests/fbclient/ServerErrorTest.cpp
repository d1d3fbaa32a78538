#include <gtest/gtest.h>
#include <ibase.h>

#include <algorithm>
#include <thread>

#include "fbclient/ClientLibrary.h"
#include "fbclient/Exceptions.h"
#include "fbclient/ServerError.h"
#include "fbclient/StatusVector.h"
#include "tests/double/DoubleLoader.h"

namespace fbclient {
namespace {

using fbdouble::Arg;

// The message routines of the full double go to the real library, so the texts are the server's own.
class ServerErrorTest : public ::testing::Test {
 protected:
  void SetUp() override {
    UnloadClientLibrary();
    control_ = &fbdouble::LoadVariant("full");
    SetClientLibraryFileName(fbdouble::VariantPath("full"));
    EnsureClientLoaded();
  }
  void TearDown() override {
    UnloadClientLibrary();
    SetClientLibraryFileName("libfbclient.so.2");
  }

  // What a failed call would have left in the thread's vector.
  static void SetStatus(const std::vector<ISC_STATUS>& status) {
    std::fill(StatusVector(), StatusVector() + ISC_STATUS_LENGTH, 0);
    std::copy(status.begin(), status.end(), StatusVector());
  }

  template <class Error>
  static Error Raised() {
    try {
      RaiseServerError();
    } catch (const Error& error) {
      return error;
    }
    ADD_FAILURE() << "not raised as the expected class";
    return Error(0, 0, "");
  }

  fbdouble::Control* control_ = nullptr;
};

TEST_F(ServerErrorTest, JoinsTheInterpretedLinesWithCrLfAndDropsTheFinalPeriod) {
  SetStatus({isc_arg_gds, isc_network_error, isc_arg_string, Arg("dbhost"), isc_arg_gds, isc_net_connect_err,
             isc_arg_end});
  const auto error = Raised<EIBInterBaseError>();
  EXPECT_EQ("Unable to complete network request to host \"dbhost\".\r\nFailed to establish a connection",
            std::string(error.what()));
  EXPECT_EQ(isc_network_error, error.GdsCode());
  EXPECT_EQ(-902, error.SQLCode());
}

TEST_F(ServerErrorTest, AddsNoCrLfAfterALineEndingInLf) {
  SetStatus({isc_arg_gds, isc_random, isc_arg_string, Arg("first\n"), isc_arg_gds, isc_random, isc_arg_string,
             Arg("second"), isc_arg_end});
  EXPECT_EQ("first\nsecond", std::string(Raised<EIBInterBaseError>().what()));
}

TEST_F(ServerErrorTest, RemovesOnlyOneFinalPeriod) {
  SetStatus({isc_arg_gds, isc_random, isc_arg_string, Arg("to be continued.."), isc_arg_end});
  EXPECT_EQ("to be continued.", std::string(Raised<EIBInterBaseError>().what()));
}

TEST_F(ServerErrorTest, SqlCodeMinus551IsTheRoleErrorAndStillAnEibError) {
  SetStatus({isc_arg_gds, isc_no_priv, isc_arg_string, Arg("SELECT"), isc_arg_string, Arg("TABLE"),
             isc_arg_string, Arg("SIS_BACKUP"), isc_arg_end});
  const auto error = Raised<EIBInterBaseRoleError>();
  EXPECT_EQ(-551, error.SQLCode());
  EXPECT_EQ(isc_no_priv, error.GdsCode());
  EXPECT_EQ("no permission for SELECT access to TABLE SIS_BACKUP", std::string(error.what()));
  SetStatus({isc_arg_gds, isc_no_priv, isc_arg_string, Arg("SELECT"), isc_arg_string, Arg("TABLE"),
             isc_arg_string, Arg("X"), isc_arg_end});
  EXPECT_THROW(RaiseServerError(), EIBError);
}

TEST_F(ServerErrorTest, AnEmptyInterpretationStillRaisesWithTheCodes) {
  // isc_interprete reports nothing for a vector that starts at its end.
  SetStatus({isc_arg_end, 0, 0});
  const ServerError error = ReadServerError();
  EXPECT_EQ("", error.Message);
  EXPECT_EQ(0, error.GdsCode);
  EXPECT_THROW(RaiseServerError(), EIBInterBaseError);
}

TEST_F(ServerErrorTest, ReadsTheGdsCodeBeforeAskingTheLibrary) {
  SetStatus(
      {isc_arg_gds, isc_io_error, isc_arg_string, Arg("open"), isc_arg_string, Arg("/x.fdb"), isc_arg_end});
  control_->ClearCalls();
  const ServerError error = ReadServerError();
  EXPECT_EQ(isc_io_error, error.GdsCode);
  const auto calls = control_->Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ("isc_sqlcode", calls.front().entry);
  EXPECT_EQ("code=" + std::to_string(isc_io_error), calls.front().args);
  EXPECT_EQ("isc_interprete", calls.back().entry) << "the last call is the one that reports the end";
  EXPECT_EQ(0, calls.back().result);
}

TEST(StatusVector, IsOnePerThread) {
  ISC_STATUS* mine = StatusVector();
  ISC_STATUS* other = nullptr;
  std::thread([&other] { other = StatusVector(); }).join();
  EXPECT_NE(mine, other);
  EXPECT_EQ(mine, StatusVector());
  EXPECT_TRUE(Failed(1));
  EXPECT_FALSE(Failed(0));
  EXPECT_FALSE(Failed(-1));
}

}  // namespace
}  // namespace fbclient
