#include <gtest/gtest.h>
#include <ibase.h>

#include "fbclient/ClientLibrary.h"
#include "fbclient/Exceptions.h"
#include "tests/double/DoubleLoader.h"

namespace fbclient {
namespace {

class ClientLibraryTest : public ::testing::Test {
 protected:
  void SetUp() override { UnloadClientLibrary(); }
  void TearDown() override {
    UnloadClientLibrary();
    SetClientLibraryFileName("libfbclient.so.2");
  }
};

int ClientErrorNumber(void (*action)()) {
  try {
    action();
  } catch (const EIBClientError& error) {
    return error.SQLCode();
  }
  return -1;
}

TEST_F(ClientLibraryTest, OpensLibfbclientByItsSonameUnlessTold) {
  EXPECT_EQ("libfbclient.so.2", ClientLibraryFileName());
}

TEST_F(ClientLibraryTest, AMissingLibraryIsClientErrorOneAtEveryCheckUntilItAppears) {
  SetClientLibraryFileName("/nonexistent/libfbclient.so.2");
  for (int attempt = 0; attempt < 3; ++attempt) {
    EXPECT_EQ(1, ClientErrorNumber(EnsureClientLoaded));
    EXPECT_FALSE(ClientLoaded());
  }
  EXPECT_EQ(1, ClientErrorNumber([] { Client(); }));

  fbdouble::LoadVariant("full");
  SetClientLibraryFileName(fbdouble::VariantPath("full"));
  EXPECT_NO_THROW(EnsureClientLoaded());
  EXPECT_TRUE(ClientLoaded());
  EXPECT_EQ(0x0201, Client().isc_vax_integer("\x01\x02", 2));
}

TEST_F(ClientLibraryTest, AMissingRequiredEntryPointIsAnOsErrorAndLeavesNothingCallable) {
  SetClientLibraryFileName(fbdouble::VariantPath("missing_required"));
  for (int attempt = 0; attempt < 2; ++attempt) {
    try {
      EnsureClientLoaded();
      FAIL() << "the library lacks isc_blob_info";
    } catch (const EOSError& error) {
      EXPECT_EQ("System Error.  Code: 2.\r\n" + fbdouble::VariantPath("missing_required") +
                    ": undefined symbol: isc_blob_info",
                error.what());
      EXPECT_EQ(2, error.ErrorCode());
    }
    EXPECT_FALSE(ClientLoaded());
    EXPECT_EQ(1, ClientErrorNumber([] { Client(); }));
  }
}

TEST_F(ClientLibraryTest, WithoutRollbackRetainingTheServiceEntryPointsRaiseClientErrorThree) {
  fbdouble::Control& control = fbdouble::LoadVariant("no_rollback_retaining");
  SetClientLibraryFileName(fbdouble::VariantPath("no_rollback_retaining"));
  ASSERT_NO_THROW(EnsureClientLoaded());
  const ClientEntryPoints& client = Client();
  ISC_STATUS_ARRAY status{};
  isc_svc_handle handle = 0;
  const auto expectMissing = [](const std::string& name, auto&& call) {
    try {
      call();
      ADD_FAILURE() << name << " should be missing";
    } catch (const EIBClientError& error) {
      EXPECT_EQ(3, error.SQLCode());
      EXPECT_EQ(name + " is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality",
                error.what());
    }
  };
  expectMissing("isc_service_attach",
                [&] { client.isc_service_attach(status, 3, "abc", &handle, 0, nullptr); });
  expectMissing("isc_service_detach", [&] { client.isc_service_detach(status, &handle); });
  expectMissing("isc_service_query", [&] {
    client.isc_service_query(status, &handle, nullptr, 0, nullptr, 0, nullptr, 0, nullptr);
  });
  expectMissing("isc_service_start", [&] { client.isc_service_start(status, &handle, nullptr, 0, nullptr); });
  EXPECT_TRUE(fbdouble::ServerCalls(control.Calls()).empty()) << "nothing reached the library";
}

TEST_F(ClientLibraryTest, WithRollbackRetainingTheServicesInterfaceIsRequired) {
  SetClientLibraryFileName(fbdouble::VariantPath("no_services"));
  try {
    EnsureClientLoaded();
    FAIL() << "a library with isc_rollback_retaining must have the services interface";
  } catch (const EOSError& error) {
    EXPECT_NE(std::string::npos, std::string(error.what()).find("undefined symbol: isc_service_attach"));
  }
  EXPECT_FALSE(ClientLoaded());
}

TEST_F(ClientLibraryTest, BindsTheServiceEntryPointsOfAFullLibrary) {
  fbdouble::Control& control = fbdouble::LoadVariant("full");
  control.SetForwarding(false);
  SetClientLibraryFileName(fbdouble::VariantPath("full"));
  EnsureClientLoaded();
  ISC_STATUS_ARRAY status{};
  isc_svc_handle handle = 0;
  EXPECT_EQ(0, Client().isc_service_attach(status, 11, "service_mgr", &handle, 2, "\x02\x02"));
  EXPECT_NE(0u, handle);
  EXPECT_EQ((std::vector<std::string>{"isc_service_attach"}), fbdouble::ServerEntries(control.Calls()));
  // A second check keeps the library that is open.
  SetClientLibraryFileName("/nonexistent/libfbclient.so.2");
  EXPECT_NO_THROW(EnsureClientLoaded());
}

}  // namespace
}  // namespace fbclient
