#include <gtest/gtest.h>

#include "tests/services/ServiceDoubleFixture.h"

namespace services {
namespace {

class ServiceLoaderTest : public ::testing::Test {
 protected:
  void SetUp() override { fbclient::UnloadClientLibrary(); }
  void TearDown() override {
    fbclient::UnloadClientLibrary();
    fbclient::SetClientLibraryFileName("libfbclient.so.2");
  }
};

TEST_F(ServiceLoaderTest, WithoutTheServicesInterfaceTheFirstAttachNamesIsc_service_attach) {
  fbdouble::Control& control = fbdouble::LoadVariant("no_rollback_retaining");
  fbclient::SetClientLibraryFileName(fbdouble::VariantPath("no_rollback_retaining"));
  TIBBackupService backup;
  ApplyBackupInstanceSettings(backup);
  backup.SetProtocol(TProtocol::TCP);
  backup.SetServerName("dbhost");
  std::string text;
  EXPECT_EQ(3, ClientErrorOf([&] { backup.SetActive(true); }, &text));
  EXPECT_EQ(
      "isc_service_attach is an InterBase 6 function. Please upgrade to InterBase 6 to use this functonality",
      text);
  EXPECT_FALSE(backup.Active());
  EXPECT_TRUE(fbdouble::ServerCalls(control.Calls()).empty());
}

TEST_F(ServiceLoaderTest, AnUnopenableLibraryIsClientError1UntilItCanBeOpened) {
  fbclient::SetClientLibraryFileName("/nonexistent/libfbclient.so.2");
  for (int attempt = 0; attempt < 3; ++attempt) {
    std::string text;
    EXPECT_EQ(1, ClientErrorOf([] { TIBBackupService backup; }, &text));
    EXPECT_EQ(
        "InterBase library gds32.dll not found in the path. Please install InterBase to use this "
        "functionality",
        text);
  }
  fbdouble::LoadVariant("full").SetForwarding(false);
  fbclient::SetClientLibraryFileName(fbdouble::VariantPath("full"));
  TIBBackupService backup;
  backup.SetActive(true);
  EXPECT_TRUE(backup.Active());
}

TEST_F(ServiceLoaderTest, AComponentOutlivingItsLibraryGetsClientError1NotACrash) {
  fbdouble::LoadVariant("full").SetForwarding(false);
  fbclient::SetClientLibraryFileName(fbdouble::VariantPath("full"));
  TIBBackupService backup;
  fbclient::UnloadClientLibrary();
  EXPECT_EQ(1, ClientErrorOf([&] { backup.SetActive(true); }));
  EXPECT_FALSE(backup.Active());
}

}  // namespace
}  // namespace services
