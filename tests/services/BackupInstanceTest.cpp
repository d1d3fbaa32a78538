// The window's Backup instance as ApplyBackupInstanceSettings leaves it, password included.

#include <gtest/gtest.h>

#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "services/BackupInstance.h"
#include "tests/services/ServiceDoubleFixture.h"
#include "tests/support/Hex.h"

namespace services {
namespace {

using testsupport::FromHex;

TEST_F(ServiceDoubleTest, TheBackupInstanceLogsInAsSysdbaWithTheBuildsServicePassword) {
  TIBBackupService backup;
  ApplyBackupInstanceSettings(backup);
  EXPECT_EQ(
      (std::vector<std::string>{"user_name=SYSDBA", "password=" + FromHex(EXPECTED_SERVICE_PASSWORD_HEX)}),
      backup.Params().Lines());
  EXPECT_FALSE(backup.LoginPrompt());
  EXPECT_TRUE(backup.Verbose());
  EXPECT_EQ(0, backup.BlockingFactor());
  EXPECT_EQ(0x08u, backup.Options().Word());
  EXPECT_FALSE(backup.Active());
  EXPECT_TRUE(ServerCalls().empty());
}

TEST(BackupInstance, ThePlainServicePasswordIsNotInThisProgramsFile) {
  const std::string password = FromHex(EXPECTED_SERVICE_PASSWORD_HEX);
  ASSERT_GE(password.size(), 4u);
  std::ifstream file("/proc/self/exe", std::ios::binary);
  ASSERT_TRUE(file);
  const std::string image((std::istreambuf_iterator<char>(file)), std::istreambuf_iterator<char>());
  ASSERT_GT(image.size(), 10000u);
  EXPECT_EQ(std::string::npos, image.find(password)) << "found the plain password in the program";
}

}  // namespace
}  // namespace services
