#include <gtest/gtest.h>
#include <ibase.h>

#include <algorithm>
#include <string>
#include <vector>

#include "fbclient/ClientLibrary.h"
#include "fbclient/Exceptions.h"
#include "platform/Machine.h"
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
      // The loader's own text after the code: it names the entry point (dlerror and Windows word it apart).
      const std::string text = error.what();
      EXPECT_TRUE(text.starts_with("System Error.  Code: 2.\r\n")) << text;
      EXPECT_NE(std::string::npos, text.find("isc_blob_info")) << text;
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
    EXPECT_NE(std::string::npos, std::string(error.what()).find("isc_service_attach")) << error.what();
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

TEST_F(ClientLibraryTest, AnUnloadForgetsTheLibraryUntilTheNextCheckLoadsAfresh) {
  fbdouble::LoadVariant("full");
  SetClientLibraryFileName(fbdouble::VariantPath("full"));
  EnsureClientLoaded();
  UnloadClientLibrary();
  EXPECT_FALSE(ClientLoaded());
  EXPECT_EQ(1, ClientErrorNumber([] { Client(); }));
  // The next check opens the file named now, not the one that was open.
  SetClientLibraryFileName("/nonexistent/libfbclient.so.2");
  EXPECT_EQ(1, ClientErrorNumber(EnsureClientLoaded));
  EXPECT_FALSE(ClientLoaded());
}

// The machine's loader with some entry points hidden, as a library that lacks them would be, handed to
// the service side for the object's life; the loader's own text is left out so that the error names
// the entry point itself.
class HidingLoader : public platform::Libraries {
 public:
  explicit HidingLoader(std::vector<std::string> hidden) : hidden_(std::move(hidden)) { UseLibraries(this); }
  ~HidingLoader() override { UseLibraries(nullptr); }
  HidingLoader(const HidingLoader&) = delete;
  HidingLoader& operator=(const HidingLoader&) = delete;

  Handle OpenLibrary(const std::string& fileName) override { return machine_->OpenLibrary(fileName); }
  void* LookUp(Handle library, const char* name) override {
    if (std::find(hidden_.begin(), hidden_.end(), name) != hidden_.end()) return nullptr;
    return machine_->LookUp(library, name);
  }
  void CloseLibrary(Handle library) override { machine_->CloseLibrary(library); }
  std::string LibraryError() override { return {}; }

 private:
  std::unique_ptr<platform::Libraries> machine_ = platform::MachineLibraries();
  std::vector<std::string> hidden_;
};

std::string MissingEntryPointText(const std::vector<std::string>& hidden) {
  HidingLoader loader(hidden);
  try {
    EnsureClientLoaded();
  } catch (const EOSError& error) {
    return error.what();
  }
  return "loaded";
}

// Of several missing entry points the error names the first in the library's fixed order, so a user
// with an old or partial library is told the same name every time.
TEST_F(ClientLibraryTest, OfSeveralMissingEntryPointsTheFirstInTheFixedOrderIsNamed) {
  SetClientLibraryFileName(fbdouble::VariantPath("full"));
  const std::vector<std::string> required = {"BLOB_get",
                                             "BLOB_put",
                                             "isc_sqlcode",
                                             "isc_sql_interprete",
                                             "isc_interprete",
                                             "isc_vax_integer",
                                             "isc_blob_info",
                                             "isc_open_blob2",
                                             "isc_close_blob",
                                             "isc_get_segment",
                                             "isc_put_segment",
                                             "isc_create_blob2",
                                             "isc_decode_date",
                                             "isc_encode_date",
                                             "isc_dsql_free_statement",
                                             "isc_dsql_execute2",
                                             "isc_dsql_execute",
                                             "isc_dsql_set_cursor_name",
                                             "isc_dsql_fetch",
                                             "isc_dsql_sql_info",
                                             "isc_dsql_alloc_statement2",
                                             "isc_dsql_prepare",
                                             "isc_dsql_describe_bind",
                                             "isc_dsql_describe",
                                             "isc_dsql_execute_immediate",
                                             "isc_drop_database",
                                             "isc_detach_database",
                                             "isc_attach_database",
                                             "isc_database_info",
                                             "isc_start_multiple",
                                             "isc_commit_transaction",
                                             "isc_commit_retaining",
                                             "isc_rollback_transaction",
                                             "isc_cancel_events",
                                             "isc_que_events",
                                             "isc_event_counts",
                                             "isc_event_block",
                                             "isc_free",
                                             "isc_add_user",
                                             "isc_delete_user",
                                             "isc_modify_user",
                                             "isc_prepare_transaction",
                                             "isc_prepare_transaction2"};
  // Asked for only from a library with isc_rollback_retaining, after every required one.
  const std::vector<std::string> services = {
      "isc_service_attach",  "isc_service_detach",  "isc_service_query",    "isc_service_start",
      "isc_decode_sql_date", "isc_decode_sql_time", "isc_decode_timestamp", "isc_encode_sql_date",
      "isc_encode_sql_time", "isc_encode_timestamp"};
  for (const std::vector<std::string>* list : {&required, &services}) {
    for (std::size_t first = 0; first < list->size(); ++first) {
      // This one and every later one are missing.
      const std::vector<std::string> hidden(list->begin() + static_cast<std::ptrdiff_t>(first), list->end());
      EXPECT_EQ("System Error.  Code: 2.\r\nundefined symbol: " + (*list)[first],
                MissingEntryPointText(hidden));
      EXPECT_FALSE(ClientLoaded());
    }
  }
}

}  // namespace
}  // namespace fbclient
